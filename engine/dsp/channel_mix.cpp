#include "engine/dsp/channel_mix.h"

namespace sonorell {

void MixToMono16(const int16_t* left, const int16_t* right, int16_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = MixSamples16(left[i], right[i]);
}

void MixToMono8(const uint8_t* left, const uint8_t* right, uint8_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = MixSamples8(left[i], right[i]);
}

void MixToMonoWide(const int32_t* left, const int32_t* right, int32_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = MixSamplesWide(left[i], right[i]);
}

}  // namespace sonorell
