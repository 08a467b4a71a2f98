#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/sources/aiff/aiff_reader.h"

// Opens the bytes as an AIFF/AIFC file and reads it to the end, checking the block contract.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/sonorell-aiff-fuzz-" + std::to_string(::getpid()) + ".aif";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  sonorell::AiffReader reader;
  if (reader.Open(path, 44100)) {
    const int outputs = reader.GetOutputChannels();
    const int bits = reader.GetBitsPerSample();
    if ((outputs != 1 && outputs != 2) || (bits != 8 && bits != 16)) __builtin_trap();
    if (reader.GetSampleRate() < 1) __builtin_trap();
    // Exactly one block of the delivered width each, so an overrun is seen by the sanitizer.
    const size_t bytes = static_cast<size_t>(sonorell::BlockFrames) * static_cast<size_t>(bits / 8);
    std::vector<uint8_t> left(bytes), right(bytes);
    uint64_t position = reader.GetPosition();
    for (int i = 0; i < 100000; ++i) {
      const int n = reader.Read(left.data(), outputs == 2 ? right.data() : nullptr);
      if (n <= 0) break;
      if (n > sonorell::BlockFrames) __builtin_trap();
      if (reader.GetPosition() < position || reader.GetPosition() > reader.GetLength()) {
        __builtin_trap();
      }
      position = reader.GetPosition();
    }
  }
  reader.Close();
  return 0;
}
