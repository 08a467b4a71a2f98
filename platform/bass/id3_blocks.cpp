#include "platform/bass/id3_blocks.h"

#include "platform/bass/file_bytes.h"

namespace platform::bass {

std::optional<std::vector<uint8_t>> ReadId3v1Block(const std::string& path) {
  const std::optional<uint64_t> size = RegularFileSize(path);
  if (!size || *size < kId3v1Bytes) return std::nullopt;
  auto block = ReadFileRange(path, *size - kId3v1Bytes, kId3v1Bytes);
  if (!block || block->size() != kId3v1Bytes) return std::nullopt;
  if ((*block)[0] != 'T' || (*block)[1] != 'A' || (*block)[2] != 'G') return std::nullopt;
  return block;
}

uint64_t Id3v2DeclaredBytes(const uint8_t* h) {
  if (h[0] != 'I' || h[1] != 'D' || h[2] != '3') return 0;
  if (h[3] == 0xFF || h[4] == 0xFF) return 0;  // versions are never 0xFF
  const uint64_t body = (static_cast<uint64_t>(h[6] & 0x7F) << 21) |
                        (static_cast<uint64_t>(h[7] & 0x7F) << 14) |
                        (static_cast<uint64_t>(h[8] & 0x7F) << 7) | (h[9] & 0x7F);
  const bool footer = h[3] >= 4 && (h[5] & 0x10) != 0;
  return kId3v2HeaderBytes + body + (footer ? kId3v2HeaderBytes : 0);
}

std::optional<std::vector<uint8_t>> ReadId3v2Block(const std::string& path) {
  const std::optional<uint64_t> size = RegularFileSize(path);
  if (!size || *size < kId3v2HeaderBytes) return std::nullopt;
  const auto header = ReadFileRange(path, 0, kId3v2HeaderBytes);
  if (!header || header->size() != kId3v2HeaderBytes) return std::nullopt;
  const uint64_t declared = Id3v2DeclaredBytes(header->data());
  if (declared == 0 || declared > *size) return std::nullopt;
  auto block = ReadFileRange(path, 0, static_cast<size_t>(declared));
  if (!block || block->size() != declared) return std::nullopt;
  return block;
}

}  // namespace platform::bass
