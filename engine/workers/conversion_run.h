#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "engine/workers/run_plan.h"

namespace sonorell {

// The outcome of one file of a run.
struct FileOutcome {
  std::string source;
  std::string target;  // empty when nothing was written
  std::string status;  // the Status text the list shows
  bool converted = false;
  double durationSeconds = 0;  // of the source, as far as it was read
  double secondsTaken = 0;
};

// The Status text of a file no worker looked at because the run was cancelled first.
inline constexpr const char* kStatusNotConverted = "Not converted";

// How a run is carried out.
struct RunControl {
  int parallel = 1;                        // files converted at once
  std::chrono::seconds silenceLimit{600};  // a worker silent this long has hung; 0 = never
  std::chrono::milliseconds cancelGrace{3000};
  int niceIncrement = 0;                  // workers run this much nicer than we do
  std::function<bool()> cancelRequested;  // asked between events
};

// What a run tells its caller, on the caller's thread.
struct RunEvents {
  std::function<void(size_t index)> started;
  std::function<void(size_t index, int percent)> percent;
  // Every file gets exactly one call, in the order they end; refused files first.
  std::function<void(size_t index, const FileOutcome& outcome)> finished;
  // Something to add to a finished file's Status text: its album gain could not be
  // written once the run's files were done.
  std::function<void(size_t index, const std::string& note)> noted;
};

// Converts every file of the plan, each in a worker process forked from this one, at most
// control.parallel at once; files planned to the same target run one after the other, in
// list order. A worker that crashes, hangs or ends without a result fails its file alone
// ("Conversion Failure (worker crashed: signal 11)", "... (timed out after 600 s)"). On
// Cancel the running workers stop, their partial outputs go, and the files not started end
// as "Not converted". With album gains (ReplayGainMode 2) the files are tagged with their
// album's gain once all have ended (not after Cancel). This process must be
// single-threaded (see worker_pool.h). Returns true when the run was cancelled.
bool RunConversions(const RunPlan& plan, const RunControl& control, const RunEvents& events);

// Makes ready, once in the parent, what every worker of a run would otherwise each set up:
// for WMA output, the Windows Media runtime and its list of encodings.
void PrepareRunLibraries(const Settings& settings);

}  // namespace sonorell
