#pragma once

#include <string>

namespace platform {

// The folder of the running program, ending in "/"; files shipped beside the program
// (help, sound font) are looked up there. Empty when it cannot be determined.
std::string ProgramFolder();

}  // namespace platform
