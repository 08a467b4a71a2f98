#include "platform/ffmpeg/stated_data_size.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "platform/files/unique_fd.h"

namespace platform::ffmpeg {
namespace {

uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

}  // namespace

std::optional<StatedData> StatedDataOf(std::span<const uint8_t> head) {
  if (head.size() < 12) return std::nullopt;
  const bool wave =
      std::memcmp(head.data(), "RIFF", 4) == 0 && std::memcmp(head.data() + 8, "WAVE", 4) == 0;
  const bool aiff =
      std::memcmp(head.data(), "FORM", 4) == 0 && (std::memcmp(head.data() + 8, "AIFF", 4) == 0 ||
                                                   std::memcmp(head.data() + 8, "AIFC", 4) == 0);
  if (!wave && !aiff) return std::nullopt;
  const char* wanted = wave ? "data" : "SSND";
  uint64_t at = 12;
  // Each step moves on by at least a chunk header, so the walk ends within the bytes.
  while (at + 8 <= head.size()) {
    const uint8_t* chunk = head.data() + at;
    const uint32_t size = wave ? Le32(chunk + 4) : Be32(chunk + 4);
    if (std::memcmp(chunk, wanted, 4) == 0) {
      if (size == 0 || size == 0xFFFFFFFF) return std::nullopt;
      if (wave) return StatedData{at + 8, size};
      // SSND: an offset and a block size come first; the sound follows the offset.
      if (size < 8 || at + 16 > head.size()) return std::nullopt;
      const uint64_t skip = 8 + static_cast<uint64_t>(Be32(chunk + 8));
      if (skip > size) return std::nullopt;
      return StatedData{at + 8 + skip, size - skip};
    }
    at += 8 + static_cast<uint64_t>(size) + (size & 1);  // chunks are padded to even sizes
  }
  return std::nullopt;
}

std::optional<StatedData> ReadStatedData(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) return std::nullopt;
  std::vector<uint8_t> head(kStatedDataHeadBytes);
  size_t got = 0;
  while (got < head.size()) {
    const ssize_t n =
        ::pread(fd.get(), head.data() + got, head.size() - got, static_cast<off_t>(got));
    if (n <= 0) break;
    got += static_cast<size_t>(n);
  }
  head.resize(got);
  return StatedDataOf(head);
}

}  // namespace platform::ffmpeg
