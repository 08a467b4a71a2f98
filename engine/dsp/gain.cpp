#include "engine/dsp/gain.h"

namespace sonorell {

float GainFactor(int coefficientPercent) {
  // Both operands and the product in single precision, so every encoder scales alike.
  const float coefficient = static_cast<float>(coefficientPercent);
  const float percent = 0.01f;
  return coefficient * percent;
}

void AmplifyBlock16(int16_t* left, int16_t* right, int frames, int channels, float factor) {
  if (left) {
    for (int i = 0; i < frames; ++i) left[i] = AmplifySample16(left[i], factor);
  }
  if (channels == 2 && right) {
    for (int i = 0; i < frames; ++i) right[i] = AmplifySample16(right[i], factor);
  }
}

void AmplifyBlock8(uint8_t* left, uint8_t* right, int frames, int channels, float factor) {
  if (left) {
    for (int i = 0; i < frames; ++i) left[i] = AmplifySample8(left[i], factor);
  }
  if (channels == 2 && right) {
    for (int i = 0; i < frames; ++i) right[i] = AmplifySample8(right[i], factor);
  }
}

}  // namespace sonorell
