#pragma once

#include <string>
#include <vector>

namespace sonorell {

// sonorell-cli probe [--json] PATH...: what the file list shows of each file (duration,
// bit rate, frequency, channels, type) and its tags, as an aligned table or as JSON.
int RunProbeCommand(const std::vector<std::string>& args);

}  // namespace sonorell
