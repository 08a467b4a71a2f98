#pragma once

#include <cstdint>

namespace sonorell {

// Serial numbers for the logical streams of the Ogg files written (Vorbis and Opus): the
// sequence of the C library's classic generator (state × 214013 + 2531011, bits 16..30 of
// the state) from state 1, so a process's first Ogg file gets 41 and its second 18467, as
// with the program's earlier versions.
class OggSerialSequence {
 public:
  explicit OggSerialSequence(uint32_t state = 1) : state_(state) {}
  int Next();

 private:
  uint32_t state_;
};

// The next serial of the process's one sequence (every Ogg file written draws from it).
int NextOggStreamSerial();

}  // namespace sonorell
