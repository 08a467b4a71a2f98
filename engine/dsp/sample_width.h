#pragma once

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

void Convert8To16(const uint8_t* in, int16_t* out, int frames);
void Convert16To8(const int16_t* in, uint8_t* out, int frames);

}  // namespace sonorell
