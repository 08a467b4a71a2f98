#pragma once

#include <string_view>

#include "engine/sources/input_type_code.h"

namespace sonorell {

// The kind of input a path names, from the extension of its file name (any case);
// kInputOther when the extension is unlisted or missing.
InputTypeCode InputTypeForPath(std::string_view path);

}  // namespace sonorell
