#pragma once

#include <cstdint>

namespace sonorell {

// The user's volume change, applied in the encoder's sample format just before encoding.
// Every float-to-integer step truncates toward zero; there is no dither.

// coefficient × 0.01 in single precision (150 gives exactly 1.5f).
float GainFactor(int coefficientPercent);

// Gain is skipped entirely when it is switched off or would change nothing.
inline bool GainApplies(bool enabled, int coefficientPercent) {
  return enabled && coefficientPercent != 100;
}

// One 16-bit sample scaled and clamped to -32767 .. 32767 (symmetric, so a loud negative
// peak never reaches -32768 while its positive twin stops at 32767).
inline int16_t AmplifySample16(int16_t sample, float factor) {
  const double p = static_cast<double>(sample) * static_cast<double>(factor);  // exact
  if (p >= 32767.0) return 32767;
  if (p <= -32767.0) return -32767;
  if (!(p == p)) return 0;  // a NaN factor silences rather than being undefined
  return static_cast<int16_t>(p);
}

// One unsigned 8-bit sample scaled around its silence value 128, clamped to 0 .. 255.
inline uint8_t AmplifySample8(uint8_t sample, float factor) {
  const double p = static_cast<double>(sample - 128) * static_cast<double>(factor);
  int v;
  if (p >= 127.0) {
    v = 127;
  } else if (p <= -128.0) {
    v = -128;
  } else if (!(p == p)) {
    v = 0;
  } else {
    v = static_cast<int>(p);
  }
  return static_cast<uint8_t>(v + 128);
}

// One sample of a wide width (17 .. 32 bits) scaled and clamped symmetrically to
// ±(2^(bits-1) - 1), as the 16-bit one is.
inline int32_t AmplifySampleWide(int32_t sample, float factor, int bits) {
  const double limit = static_cast<double>((int64_t{1} << (bits - 1)) - 1);
  const double p = static_cast<double>(sample) * static_cast<double>(factor);
  if (p >= limit) return static_cast<int32_t>(limit);
  if (p <= -limit) return static_cast<int32_t>(-limit);
  if (!(p == p)) return 0;
  return static_cast<int32_t>(p);
}

// In place over the left buffer and, only when channels is 2, the right one; a mono block
// may pass no right buffer.
void AmplifyBlock16(int16_t* left, int16_t* right, int frames, int channels, float factor);
void AmplifyBlock8(uint8_t* left, uint8_t* right, int frames, int channels, float factor);
void AmplifyBlockWide(int32_t* left, int32_t* right, int frames, int channels, float factor,
                      int bits);
// Whichever of the three the width takes, over cells of SampleBytes(bits).
void AmplifyBlock(void* left, void* right, int frames, int channels, float factor, int bits);

}  // namespace sonorell
