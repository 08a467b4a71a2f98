#pragma once

#include <cstddef>
#include <cstdint>

namespace sonorell {

// Width changes between unsigned 8-bit (silence 128) and signed 16-bit samples at equal
// rates, without float arithmetic. 8 -> 16 -> 8 returns the same bytes.

// (u - 128) × 256: 0 -> -32768, 128 -> 0, 255 -> 32512.
inline int16_t Sample8To16(uint8_t sample) {
  return static_cast<int16_t>((sample - 128) * 256);
}

// The high byte with its top bit inverted: -32768 -> 0, 0 -> 128, 32767 -> 255.
inline uint8_t Sample16To8(int16_t sample) {
  return static_cast<uint8_t>((sample >> 8) + 128);
}

// The cell a sample of a width lives in: a byte for 8 bits (unsigned), two bytes for 16,
// and a signed 32-bit integer holding the value at its own width for anything wider (the
// wide path of lossless outputs: 24-bit samples lie in -8388608 .. 8388607).
inline int SampleBytes(int bits) {
  return bits <= 8 ? 1 : (bits <= 16 ? 2 : 4);
}

// The bytes of one channel's block of frames samples of a width.
inline size_t BlockBytes(int frames, int bits) {
  return static_cast<size_t>(frames) * static_cast<size_t>(SampleBytes(bits));
}

// Any width to any other at equal rates, by arithmetic shifts: a wider result moves the
// value up, a narrower one drops the low bits (rounding toward minus infinity, as 16 -> 8
// does). With both widths 8 or 16 the results are those of the functions above.
void ChangeSampleWidth(const void* in, int fromBits, void* out, int toBits, int frames);

void Convert8To16(const uint8_t* in, int16_t* out, int frames);
void Convert16To8(const int16_t* in, uint8_t* out, int frames);

}  // namespace sonorell
