#include "engine/encoders/tags/flac_picture_blocks.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "platform/bass/file_bytes.h"

namespace sonorell {
namespace {

constexpr int kPictureBlock = 6;
// FLAC's metadata types are 7 bits wide, but no stream needs more blocks than this; a
// chain longer than that is damaged and is not followed further.
constexpr int kMaxBlocks = 1024;

uint32_t BigEndian(const std::vector<uint8_t>& b, size_t at, size_t bytes) {
  uint32_t value = 0;
  for (size_t i = 0; i < bytes; ++i) value = value << 8 | b[at + i];
  return value;
}

// Where the stream's "fLaC" starts: 0, or after an ID3v2 tag (its size is syncsafe).
std::optional<uint64_t> StreamStart(const std::string& path) {
  const auto head = platform::bass::ReadFileRange(path, 0, 10);
  if (!head || head->size() < 10) return std::nullopt;
  const std::vector<uint8_t>& h = *head;
  if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') return 0;
  uint64_t size = 0;
  for (size_t i = 6; i < 10; ++i) size = size << 7 | (h[i] & 0x7F);
  return 10 + size + ((h[5] & 0x10) != 0 ? 10 : 0);  // a footer follows when flagged
}

}  // namespace

int CountFlacPictureBlocks(const std::string& path) {
  const std::optional<uint64_t> start = StreamStart(path);
  if (!start) return 0;
  const auto magic = platform::bass::ReadFileRange(path, *start, 4);
  if (!magic || *magic != std::vector<uint8_t>{'f', 'L', 'a', 'C'}) return 0;
  int pictures = 0;
  uint64_t at = *start + 4;
  for (int block = 0; block < kMaxBlocks; ++block) {
    const auto header = platform::bass::ReadFileRange(path, at, 4);
    if (!header || header->size() < 4) break;
    if (((*header)[0] & 0x7F) == kPictureBlock) ++pictures;
    if (((*header)[0] & 0x80) != 0) break;  // the last metadata block
    at += 4 + BigEndian(*header, 1, 3);
  }
  return pictures;
}

}  // namespace sonorell
