#pragma once

#include <cstdint>
#include <cstring>

// Conversions of stored samples to the 16-bit samples the decoders deliver. Every reader
// that meets the same stored width uses these, whatever its container.
namespace sonorell {

// The two most significant bytes of a wider integer sample, no rounding.
inline int16_t Int24ToInt16(int32_t sample24) {
  return static_cast<int16_t>(sample24 >> 8);
}
inline int16_t Int32ToInt16(int32_t sample32) {
  return static_cast<int16_t>(sample32 >> 16);
}

// x × 2147483647 truncated toward zero (FloatToInt32), as a 32-bit value shifted right by
// 16. Values outside -1 .. 1 (and NaN) are clamped to full scale instead of wrapping around, which
// would turn a slightly hot master into loud clicks.
inline int32_t FloatToInt32(double x) {
  if (!(x == x)) return 0;
  const double scaled = x * 2147483647.0;
  if (scaled >= 2147483647.0) return INT32_MAX;
  if (scaled <= -2147483648.0) return INT32_MIN;
  return static_cast<int32_t>(scaled);
}
inline int16_t FloatToInt16(double x) {
  return Int32ToInt16(FloatToInt32(x));
}
// The same at the 24 bits a float sample is read at on the wide path (a float holds 24
// significant bits).
inline int32_t FloatToInt24(double x) {
  return FloatToInt32(x) >> 8;
}

// Byte-order helpers for reading stored samples from a byte buffer.
inline uint16_t LoadLe16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
inline uint16_t LoadBe16(const uint8_t* p) {
  return static_cast<uint16_t>((p[0] << 8) | p[1]);
}
inline uint32_t LoadLe32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
inline uint32_t LoadBe32(const uint8_t* p) {
  return (static_cast<uint32_t>(p[0]) << 24) | (static_cast<uint32_t>(p[1]) << 16) |
         (static_cast<uint32_t>(p[2]) << 8) | static_cast<uint32_t>(p[3]);
}
inline uint64_t LoadLe64(const uint8_t* p) {
  return static_cast<uint64_t>(LoadLe32(p)) | (static_cast<uint64_t>(LoadLe32(p + 4)) << 32);
}
inline uint64_t LoadBe64(const uint8_t* p) {
  return (static_cast<uint64_t>(LoadBe32(p)) << 32) | static_cast<uint64_t>(LoadBe32(p + 4));
}
// 24-bit signed, sign-extended to 32 bits.
inline int32_t LoadLe24(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0] << 8 | p[1] << 16 | p[2] << 24)) >> 8;
}
inline int32_t LoadBe24(const uint8_t* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[2] << 8 | p[1] << 16 | p[0] << 24)) >> 8;
}
inline float BitsToFloat(uint32_t bits) {
  float f;
  std::memcpy(&f, &bits, sizeof f);
  return f;
}
inline double BitsToDouble(uint64_t bits) {
  double d;
  std::memcpy(&d, &bits, sizeof d);
  return d;
}

}  // namespace sonorell
