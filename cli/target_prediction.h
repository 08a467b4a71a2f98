#pragma once

#include <set>
#include <string>

#include "settings/settings.h"

namespace sonorell {

// Where a source's output would go, worked out without creating anything: no folder is
// made and no file is probed, so a dry run leaves the disk as it was and the parent of a
// batch can plan its workers before any of them starts.
struct PredictedTarget {
  std::string folder;  // where the output (and its temporary parts) would be written
  std::string path;    // empty when the target-exists rule would leave the file
  std::string status;  // why there is no path
};

// claimed holds the targets earlier files of the same run would take; a rename rule steps
// over them as it would over files already on disk, and the chosen path is added.
PredictedTarget PredictTarget(const std::string& sourcePath, const Settings& settings,
                              std::set<std::string>* claimed = nullptr);

// The folder and name stem a source writes, lower-cased: two sources with the same key
// must not run at once, so that the second sees what the first wrote.
std::string TargetKey(const std::string& sourcePath, const Settings& settings);

}  // namespace sonorell
