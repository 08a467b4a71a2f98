#include "engine/dsp/float_samples.h"

namespace sonorell {

void Convert16ToFloat(const int16_t* in, float* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = Sample16ToFloat(in[i]);
}

void Convert8ToFloat(const uint8_t* in, float* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = Sample8ToFloat(in[i]);
}

void ConvertFloatTo16(const float* in, int16_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = FloatToSample16(in[i]);
}

void ConvertFloatTo8(const float* in, uint8_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = FloatToSample8(in[i]);
}

}  // namespace sonorell
