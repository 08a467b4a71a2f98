#pragma once

// What every fuzz target of a file parser shares: the input bytes become a scratch file
// (one per fuzzing process, removed at exit) that the parser opens like any user's file.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"

namespace sonorell::fuzzing {

inline const std::string& ScratchPath(const char* extension) {
  struct Scratch {
    std::string path;
    ~Scratch() { std::remove(path.c_str()); }
  };
  static const Scratch scratch{"/tmp/sonorell-fuzz-" + std::to_string(::getpid()) + extension};
  return scratch.path;
}

inline bool WriteScratch(const std::string& path, const uint8_t* data, size_t size) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool ok = size == 0 || std::fwrite(data, 1, size, f) == size;
  return std::fclose(f) == 0 && ok;
}

// Reads an opened source to the end with buffers of exactly one block, so that any write
// past a block is caught; a count above a block is a crash. Sample is the cell of the read.
template <typename Sample, typename ReadBlock>
void ReadToTheEnd(AudioSource& source, ReadBlock read) {
  std::vector<Sample> left(BlockFrames), right(BlockFrames);
  const bool stereo = source.GetOutputChannels() == 2;
  for (int block = 0; block < 100000; ++block) {
    const int n = read(left.data(), stereo ? right.data() : nullptr);
    if (n <= 0) break;
    if (n > BlockFrames) __builtin_trap();
    (void)source.GetPosition();
  }
}

// Opens the bytes with the decoder and reads them to the end, and where the source holds
// more than 16 bits once more through the wide read of lossless outputs.
inline void DecodeScratch(AudioSource& source, const uint8_t* data, size_t size,
                          const char* extension) {
  const std::string& path = ScratchPath(extension);
  if (!WriteScratch(path, data, size) || !source.Open(path, 44100)) return;
  ReadToTheEnd<int16_t>(source, [&](int16_t* l, int16_t* r) { return source.Read(l, r); });
  if (source.GetWideBits() > 16 && source.Open(path, 44100)) {
    ReadToTheEnd<int32_t>(source, [&](int32_t* l, int32_t* r) { return source.ReadWide(l, r); });
  }
  source.Close();
}

// Opens the scratch file again and reads its tags, as the file list does.
inline void ReadScratchTags(AudioSource& source, const char* extension) {
  if (!source.Open(ScratchPath(extension), 0)) return;
  std::string f[9];
  source.ReadTags(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]);
}

}  // namespace sonorell::fuzzing
