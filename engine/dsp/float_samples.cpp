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

void ConvertWideToFloat(const int32_t* in, int bits, float* out, int frames) {
  const double scale = 1.0 / static_cast<double>(int64_t{1} << (bits - 1));
  for (int i = 0; i < frames; ++i) out[i] = static_cast<float>(in[i] * scale);
}

void ConvertFloatToWide(const float* in, int bits, int32_t* out, int frames) {
  const double full = static_cast<double>((int64_t{1} << (bits - 1)) - 1);
  for (int i = 0; i < frames; ++i) out[i] = static_cast<int32_t>(LimitToFullScale(in[i]) * full);
}

}  // namespace sonorell
