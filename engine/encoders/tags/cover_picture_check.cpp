#include "engine/encoders/tags/cover_picture_check.h"

namespace sonorell {
namespace {

// The bytes an image file starts with, and for some a second mark further on.
struct ImageSignature {
  std::string_view mime;
  std::string_view magic;
  std::string_view mark = {};
  size_t markOffset = 0;
};

constexpr ImageSignature kSignatures[] = {
    {"image/jpeg", "\xFF\xD8\xFF"}, {"image/png", "\x89PNG\r\n\x1A\n"}, {"image/gif", "GIF87a"},
    {"image/gif", "GIF89a"},        {"image/webp", "RIFF", "WEBP", 8},  {"image/bmp", "BM"},
};

bool HasSignature(std::string_view bytes, const ImageSignature& s) {
  if (!bytes.starts_with(s.magic)) return false;
  return s.mark.empty() || (bytes.size() >= s.markOffset + s.mark.size() &&
                            bytes.substr(s.markOffset, s.mark.size()) == s.mark);
}

// "BM" alone is two letters any text may start with: a bitmap also has one of the known
// header lengths after its 14-byte file header.
bool PlausibleBitmap(std::string_view bytes) {
  if (bytes.size() < 18) return false;
  const auto byte = [&](size_t i) { return static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])); };
  const uint32_t header = byte(14) | byte(15) << 8 | byte(16) << 16 | byte(17) << 24;
  for (const uint32_t known : {12u, 40u, 52u, 56u, 64u, 108u, 124u}) {
    if (header == known) return true;
  }
  return false;
}

}  // namespace

std::string ImageMimeType(std::string_view bytes) {
  for (const ImageSignature& s : kSignatures) {
    if (!HasSignature(bytes, s)) continue;
    if (s.mime == "image/bmp" && !PlausibleBitmap(bytes)) continue;
    return std::string(s.mime);
  }
  return {};
}

std::string CheckCoverPicture(CoverPicture& picture, int64_t size) {
  if (size > kMaxCoverBytes) return "it is larger than 16 MB";
  picture.mime = ImageMimeType(picture.data);
  if (picture.mime.empty()) return "it is no image";
  return {};
}

}  // namespace sonorell
