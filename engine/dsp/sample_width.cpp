#include "engine/dsp/sample_width.h"

namespace sonorell {

void Convert8To16(const uint8_t* in, int16_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = Sample8To16(in[i]);
}

void Convert16To8(const int16_t* in, uint8_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = Sample16To8(in[i]);
}

namespace {

// The value of sample i as a signed integer at its width.
int32_t LoadSample(const void* samples, int bits, int i) {
  if (bits <= 8) return static_cast<const uint8_t*>(samples)[i] - 128;
  if (bits <= 16) return static_cast<const int16_t*>(samples)[i];
  return static_cast<const int32_t*>(samples)[i];
}

void StoreSample(void* samples, int bits, int i, int32_t value) {
  if (bits <= 8) {
    static_cast<uint8_t*>(samples)[i] = static_cast<uint8_t>(value + 128);
  } else if (bits <= 16) {
    static_cast<int16_t*>(samples)[i] = static_cast<int16_t>(value);
  } else {
    static_cast<int32_t*>(samples)[i] = value;
  }
}

}  // namespace

void ChangeSampleWidth(const void* in, int fromBits, void* out, int toBits, int frames) {
  const int from = fromBits <= 8 ? 8 : fromBits;
  const int to = toBits <= 8 ? 8 : toBits;
  for (int i = 0; i < frames; ++i) {
    const int32_t v = LoadSample(in, from, i);
    // At most 24 places up from 8 bits, so the product always fits.
    const int32_t w = to >= from ? v * (int32_t{1} << (to - from)) : (v >> (from - to));
    StoreSample(out, to, i, w);
  }
}

}  // namespace sonorell
