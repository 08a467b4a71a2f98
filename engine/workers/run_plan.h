#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/jobs/source_file.h"
#include "settings/settings.h"

namespace sonorell {

// One file of a run as the parent decided it before any worker starts.
struct PlannedFile {
  SourceFile file;     // path and input type (and what intake found)
  int fileNumber = 1;  // the run's number for the file (track numbering, Ogg serials)
  // The target it is expected to write; the worker confirms it as its turn comes (a file
  // that appeared meanwhile is stepped over as the existing-target rule says).
  std::string target;
  // The row's Status text when the file is not converted at all; empty otherwise.
  std::string refusal;
  // Folders where its worker may leave temporary parts when it is killed.
  std::vector<std::string> partFolders;
};

// Everything decided once for a run: the options as they stood when it started (a change
// saved meanwhile cannot alter a file half-way) and every file's plan. Workers read it;
// none re-reads the option store or redoes the intake.
struct RunPlan {
  Settings settings;
  std::vector<PlannedFile> files;
  bool verify = false;  // decode every output again and fail it when it is not what was encoded
};

// One file handed to PlanRun with its number in the run.
struct RunEntry {
  SourceFile file;
  int fileNumber = 1;
};

// Plans a run in list order: each file's target under the existing-target rule, with the
// targets of the files before it claimed as if they were already written, so two files
// never choose one name by the rename rule and the skip rule skips the second; MIDI files
// are refused without the sound font. Nothing is created on disk.
RunPlan PlanRun(const Settings& settings, const std::vector<RunEntry>& entries, bool soundFontReady,
                bool verify);

// The targets every other file of the plan claims.
std::set<std::string> ClaimedByOthers(const RunPlan& plan, size_t index);

}  // namespace sonorell
