#pragma once

#include <string>
#include <vector>

namespace sonorell {

// Exit statuses of the batch command.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitSomeFailed = 1;
inline constexpr int kExitUsage = 2;

// sonorell-cli convert --format FMT [--out DIR] PATH...
int RunConvertCommand(const std::vector<std::string>& args);

}  // namespace sonorell
