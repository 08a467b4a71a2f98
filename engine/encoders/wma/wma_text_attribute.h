#pragma once

#include <string>

#include "platform/wmf/asf_header.h"

namespace sonorell {

// A file-level string attribute holding a UTF-8 text, stored as UTF-16LE with its
// terminator. Text that is not UTF-8 is written empty.
platform::wm::AsfAttribute WmaTextAttribute(std::u16string name, const std::string& utf8);

}  // namespace sonorell
