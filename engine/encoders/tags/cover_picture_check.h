#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/encoders/tags/cover_picture.h"

namespace sonorell {

// The largest picture carried: 16 MiB. Real covers stay far below it (a 3000 x 3000 JPEG
// is a few MB, a lossless scan of a booklet page rarely passes 10 MB), and FLAC, the
// tightest output, cannot hold a picture block beyond 16 MiB (24-bit length). Anything
// larger is not a cover, and keeping it out bounds what one file can make a worker hold.
inline constexpr int64_t kMaxCoverBytes = 16 * 1024 * 1024;

// The MIME type that the bytes' signature shows: "image/jpeg", "image/png", "image/gif",
// "image/bmp" or "image/webp"; empty when they are no image of these kinds.
std::string ImageMimeType(std::string_view bytes);

// Whether a picture can be carried: sets its MIME type from its bytes and returns an empty
// text, or returns why it is left out ("it is no image", "it is larger than 16 MB"). size is
// the picture's full size, which may exceed the bytes at hand.
std::string CheckCoverPicture(CoverPicture& picture, int64_t size);

}  // namespace sonorell
