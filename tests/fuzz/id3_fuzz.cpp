// Feeds arbitrary bytes to the raw ID3 block readers as a file: a block they return is the
// file's own bytes, never more than the file holds.
#include <cstring>

#include "platform/bass/id3_blocks.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace bass = platform::bass;
  const std::string& path = sonorell::fuzzing::ScratchPath(".mp3");
  if (!sonorell::fuzzing::WriteScratch(path, data, size)) return 0;
  if (const auto v1 = bass::ReadId3v1Block(path)) {
    if (v1->size() != bass::kId3v1Bytes || size < bass::kId3v1Bytes ||
        std::memcmp(v1->data(), data + size - bass::kId3v1Bytes, bass::kId3v1Bytes) != 0) {
      __builtin_trap();
    }
  }
  if (const auto v2 = bass::ReadId3v2Block(path)) {
    if (v2->size() > size || v2->size() < bass::kId3v2HeaderBytes ||
        v2->size() != bass::Id3v2DeclaredBytes(data) ||
        std::memcmp(v2->data(), data, v2->size()) != 0) {
      __builtin_trap();
    }
  }
  return 0;
}
