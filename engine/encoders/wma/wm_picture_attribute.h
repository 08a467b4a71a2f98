#pragma once

#include "engine/encoders/tags/cover_picture.h"
#include "platform/wmf/asf_header.h"

namespace sonorell {

// The WM/Picture attribute of a cover picture, as Windows Media stores it: a byte-array
// value of the picture type (one byte), the image's length (32 bits), the MIME type and the
// description (UTF-16LE, each with its terminator) and the image's bytes. A type outside a
// byte is written as 0 (other); a description that is not UTF-8 is written empty.
platform::wm::AsfAttribute WmPictureAttribute(const CoverPicture& picture);

}  // namespace sonorell
