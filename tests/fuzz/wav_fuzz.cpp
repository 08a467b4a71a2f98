// Feeds arbitrary bytes to the WAVE reader as a file and reads it to the end.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/sources/wav/wav_reader.h"

namespace {

// One scratch file per fuzzing process, rewritten for every input and removed at exit.
struct Scratch {
  std::string path = "/tmp/sonorell-wav-fuzz-" + std::to_string(::getpid()) + ".wav";
  ~Scratch() { std::remove(path.c_str()); }
};

const std::string& ScratchPath() {
  static const Scratch scratch;
  return scratch.path;
}

bool WriteScratch(const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(ScratchPath().c_str(), "wb");
  if (!f) return false;
  const bool ok = std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!WriteScratch(data, size)) return 0;
  sonorell::WavReader reader;
  if (!reader.Open(ScratchPath(), 44100)) return 0;
  // Exactly one block of each buffer, so any write past a block shows up.
  std::vector<int16_t> left(sonorell::BlockFrames), right(sonorell::BlockFrames);
  const bool stereo = reader.GetOutputChannels() == 2;
  for (int block = 0; block < 100000; ++block) {
    const int n = reader.Read(left.data(), stereo ? right.data() : nullptr);
    if (n <= 0) break;
    if (n > sonorell::BlockFrames) __builtin_trap();
  }
  reader.Close();
  return 0;
}
