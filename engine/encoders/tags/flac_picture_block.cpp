#include "engine/encoders/tags/flac_picture_block.h"

#include <algorithm>

#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

constexpr uint32_t kLastFlacPictureType = 20;  // the publisher's logo
// The eight 32-bit fields: type, MIME length, description length, width, height, depth,
// colours, data length.
constexpr uint64_t kFieldBytes = 8 * 4;

bool IsPrintableAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

void AppendBigEndian32(std::string& out, uint64_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>((value >> shift) & 0xFF);
}

}  // namespace

PictureBlockFields FlacPictureFields(const CoverPicture& cover) {
  PictureBlockFields fields;
  fields.type = cover.type >= 0 && static_cast<uint32_t>(cover.type) <= kLastFlacPictureType
                    ? static_cast<uint32_t>(cover.type)
                    : 0;
  fields.shape = ReadImageShape(cover.data);
  fields.mime =
      !cover.mime.empty() && IsPrintableAscii(cover.mime) ? cover.mime : fields.shape.mime;
  if (platform::IsValidUtf8(cover.description)) fields.description = cover.description;
  return fields;
}

uint64_t FlacPictureBlockLength(const CoverPicture& cover) {
  const PictureBlockFields fields = FlacPictureFields(cover);
  return kFieldBytes + fields.mime.size() + fields.description.size() + cover.data.size();
}

std::string FlacPictureBlock(const CoverPicture& cover) {
  const PictureBlockFields fields = FlacPictureFields(cover);
  std::string block;
  block.reserve(kFieldBytes + fields.mime.size() + fields.description.size() + cover.data.size());
  AppendBigEndian32(block, fields.type);
  AppendBigEndian32(block, fields.mime.size());
  block += fields.mime;
  AppendBigEndian32(block, fields.description.size());
  block += fields.description;
  AppendBigEndian32(block, fields.shape.width);
  AppendBigEndian32(block, fields.shape.height);
  AppendBigEndian32(block, fields.shape.depth);
  AppendBigEndian32(block, fields.shape.colours);
  AppendBigEndian32(block, cover.data.size());
  block += cover.data;
  return block;
}

}  // namespace sonorell
