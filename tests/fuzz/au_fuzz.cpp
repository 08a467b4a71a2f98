#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/sources/au/au_reader.h"

// Opens the bytes as a Sun/NeXT audio file and reads it to the end.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/sonorell-au-fuzz-" + std::to_string(::getpid()) + ".au";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  if (size > 0) std::fwrite(data, 1, size, f);
  std::fclose(f);

  sonorell::AuReader reader;
  if (reader.Open(path, 44100)) {
    std::vector<int16_t> left(sonorell::BlockFrames), right(sonorell::BlockFrames);
    for (int i = 0; i < 100000; ++i) {
      const int n =
          reader.Read(left.data(), reader.GetOutputChannels() == 2 ? right.data() : nullptr);
      if (n <= 0) break;
      if (n > sonorell::BlockFrames) __builtin_trap();
    }
  }
  reader.Close();
  return 0;
}
