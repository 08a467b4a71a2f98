#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/jobs/source_file.h"
#include "settings/settings.h"

namespace sonorell {

// The files of one batch: files named directly and the whole trees of named folders (with
// the stored extension filter), each file once however often it is reached, in byte order
// of their absolute paths so that every machine of a sharded run sees the same list.
struct BatchInputs {
  std::vector<SourceFile> files;
  // Paths given on the command line that name nothing.
  std::vector<std::string> missing;
  // The files reached only through a folder walk, not named on the command line.
  std::set<std::string> walked;
};

BatchInputs CollectBatchInputs(const std::vector<std::string>& paths, const Settings& settings);

}  // namespace sonorell
