#include "platform/bass/mpeg_audio_start.h"

#include "platform/bass/file_bytes.h"
#include "platform/bass/id3_blocks.h"

namespace platform::bass {

std::optional<int64_t> MpegAudioStart(const std::string& path, int64_t fileSize) {
  uint64_t offset = 0;
  for (int tags = 0; tags < 16; ++tags) {  // a file may carry more than one tag in a row
    const auto header = ReadFileRange(path, offset, kId3v2HeaderBytes);
    if (!header || header->size() < kId3v2HeaderBytes) return std::nullopt;
    const uint64_t tagBytes = Id3v2DeclaredBytes(header->data());
    if (tagBytes == 0) break;
    offset += tagBytes;
    if (offset >= static_cast<uint64_t>(fileSize)) return std::nullopt;
  }
  const auto sync = ReadFileRange(path, offset, 2);
  if (!sync || sync->size() < 2 || (*sync)[0] != 0xFF || ((*sync)[1] & 0xE0) != 0xE0) {
    return std::nullopt;
  }
  return static_cast<int64_t>(offset);
}

}  // namespace platform::bass
