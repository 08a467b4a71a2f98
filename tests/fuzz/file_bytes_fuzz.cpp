// Whole-file and range reads of arbitrary files, at offsets and sizes taken from the bytes
// themselves: what comes back is exactly the file's bytes there.
#include <algorithm>
#include <cstring>

#include "platform/bass/file_bytes.h"
#include "tests/fuzz/fuzz_scratch.h"

namespace {

uint64_t Le64(const uint8_t* data, size_t size) {
  uint64_t v = 0;
  for (size_t i = 0; i < 8 && i < size; ++i) v |= static_cast<uint64_t>(data[i]) << (8 * i);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace bass = platform::bass;
  const std::string& path = sonorell::fuzzing::ScratchPath(".bin");
  if (!sonorell::fuzzing::WriteScratch(path, data, size)) return 0;

  const auto fileSize = bass::RegularFileSize(path);
  if (!fileSize || *fileSize != size) __builtin_trap();

  const uint64_t limit = Le64(data, size) % (size + 2);
  std::vector<uint8_t> whole;
  const bass::ReadResult result = bass::ReadWholeFile(path, limit, whole);
  if (size > limit ? result != bass::ReadResult::kTooLarge || !whole.empty()
                   : result != bass::ReadResult::kOk || whole.size() != size ||
                         !std::equal(whole.begin(), whole.end(), data)) {
    __builtin_trap();
  }

  // Offsets anywhere (past the end, and past what a file offset can say), or near the end;
  // sizes up to a little beyond the file.
  uint64_t offset = size > 8 ? Le64(data + 8, size - 8) : 0;
  if (size > 0 && (data[0] & 1) != 0) offset %= size + 16;
  const size_t skip = std::min<size_t>(size, 4);
  const size_t wanted = static_cast<size_t>(Le64(data + skip, size - skip) % (size + 64));
  const auto range = bass::ReadFileRange(path, offset, wanted);
  if (!range) __builtin_trap();
  const size_t expected = offset >= size ? 0 : std::min<size_t>(wanted, size - offset);
  if (range->size() != expected ||
      (expected > 0 && std::memcmp(range->data(), data + offset, expected) != 0)) {
    __builtin_trap();
  }
  return 0;
}
