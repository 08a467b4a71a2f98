#pragma once

#include <string_view>

namespace sonorell {

// What a picture's bytes are, by their signature (whatever MIME type came with them).
enum class ImageKind { kOther, kJpeg, kPng };

ImageKind ImageKindOf(std::string_view data);

// "image/jpeg" or "image/png"; empty for other kinds.
std::string_view ImageMimeOf(ImageKind kind);

}  // namespace sonorell
