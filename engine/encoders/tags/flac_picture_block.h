#pragma once

#include <cstdint>
#include <string>

#include "engine/encoders/tags/cover_picture.h"
#include "engine/encoders/tags/image_shape.h"

namespace sonorell {

// A FLAC PICTURE metadata block's length field has 24 bits.
inline constexpr uint64_t kLongestFlacBlock = (uint64_t{1} << 24) - 1;

// What a FLAC picture block says of a cover, made valid for the block: a type outside the
// 21 that FLAC names becomes 0 (other), a MIME type that is not printable ASCII becomes
// the one the image's header shows, a description that is not UTF-8 is left empty.
struct PictureBlockFields {
  uint32_t type = 0;
  std::string mime;
  std::string description;
  ImageShape shape;
};
PictureBlockFields FlacPictureFields(const CoverPicture& cover);

// The picture block that FLAC files carry as a PICTURE metadata block and Ogg Vorbis and
// Opus files as a METADATA_BLOCK_PICTURE comment (in base64): type, MIME type, description,
// width, height, depth, colours, then the image. Its length, for the 24-bit limit of FLAC's
// blocks, and the block itself (without FLAC's metadata block header).
uint64_t FlacPictureBlockLength(const CoverPicture& cover);
std::string FlacPictureBlock(const CoverPicture& cover);

}  // namespace sonorell
