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

void AmplifyBlockWide(int32_t* left, int32_t* right, int frames, int channels, float factor,
                      int bits) {
  if (left) {
    for (int i = 0; i < frames; ++i) left[i] = AmplifySampleWide(left[i], factor, bits);
  }
  if (channels == 2 && right) {
    for (int i = 0; i < frames; ++i) right[i] = AmplifySampleWide(right[i], factor, bits);
  }
}

void AmplifyBlock(void* left, void* right, int frames, int channels, float factor, int bits) {
  if (bits > 16) {
    AmplifyBlockWide(static_cast<int32_t*>(left), static_cast<int32_t*>(right), frames, channels,
                     factor, bits);
  } else if (bits == 16) {
    AmplifyBlock16(static_cast<int16_t*>(left), static_cast<int16_t*>(right), frames, channels,
                   factor);
  } else {
    AmplifyBlock8(static_cast<uint8_t*>(left), static_cast<uint8_t*>(right), frames, channels,
                  factor);
  }
}

}  // namespace sonorell
