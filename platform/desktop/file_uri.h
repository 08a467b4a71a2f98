#pragma once

#include <string>

namespace platform {

// file:// address of an absolute path, every byte outside the unreserved set escaped.
std::string FileUri(const std::string& absolutePath);

}  // namespace platform
