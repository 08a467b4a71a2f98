#pragma once

#include <cstdint>

namespace sonorell {

// Stereo to mono as (L + R) / 2. The sum is formed in a wider integer, so it cannot
// overflow; odd negative sums round toward minus infinity (-1 and 0 give -1).
inline int16_t MixSamples16(int16_t left, int16_t right) {
  return static_cast<int16_t>((static_cast<int32_t>(left) + static_cast<int32_t>(right)) >> 1);
}

// Floor of the mean of the stored unsigned bytes.
inline uint8_t MixSamples8(uint8_t left, uint8_t right) {
  return static_cast<uint8_t>((static_cast<unsigned>(left) + static_cast<unsigned>(right)) >> 1);
}

// The same for samples wider than 16 bits in 32-bit cells.
inline int32_t MixSamplesWide(int32_t left, int32_t right) {
  return static_cast<int32_t>((static_cast<int64_t>(left) + static_cast<int64_t>(right)) >> 1);
}

// frames samples of each channel mixed into out; out may be the left buffer itself.
void MixToMono16(const int16_t* left, const int16_t* right, int16_t* out, int frames);
void MixToMono8(const uint8_t* left, const uint8_t* right, uint8_t* out, int frames);
void MixToMonoWide(const int32_t* left, const int32_t* right, int32_t* out, int frames);

}  // namespace sonorell
