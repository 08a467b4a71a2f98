#pragma once

#include <cstdint>

namespace sonorell {

// Integer samples to and from the floats the rate converter works on.

// s / 32768.
inline float Sample16ToFloat(int16_t sample) {
  return static_cast<float>(sample) * (1.0f / 32768);
}

// (u - 128) / 128.
inline float Sample8ToFloat(uint8_t sample) {
  return static_cast<float>(sample - 128) * (1.0f / 128);
}

// Filter overshoot beyond full scale is clipped rather than wrapped; a NaN becomes -1.
inline double LimitToFullScale(float x) {
  if (!(x >= -1.0f)) return -1.0;
  if (x > 1.0f) return 1.0;
  return x;
}

// x × 32767 truncated toward zero: 1.0 -> 32767, -1.0 -> -32767.
inline int16_t FloatToSample16(float x) {
  return static_cast<int16_t>(LimitToFullScale(x) * 32767.0);
}

// 128 + (x × 127 truncated toward zero), so results lie in 1 .. 255.
inline uint8_t FloatToSample8(float x) {
  return static_cast<uint8_t>(128 + static_cast<int>(LimitToFullScale(x) * 127.0));
}

// Samples of a wide width (17 .. 32 bits, in 32-bit cells) to and from floats, scaled as the
// 16-bit ones are: v / 2^(bits-1), and x × (2^(bits-1) - 1) truncated toward zero.
void ConvertWideToFloat(const int32_t* in, int bits, float* out, int frames);
void ConvertFloatToWide(const float* in, int bits, int32_t* out, int frames);

void Convert16ToFloat(const int16_t* in, float* out, int frames);
void Convert8ToFloat(const uint8_t* in, float* out, int frames);
void ConvertFloatTo16(const float* in, int16_t* out, int frames);
void ConvertFloatTo8(const float* in, uint8_t* out, int frames);

}  // namespace sonorell
