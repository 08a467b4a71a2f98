#include "engine/dsp/sample_width.h"

namespace sonorell {

void Convert8To16(const uint8_t* in, int16_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = Sample8To16(in[i]);
}

void Convert16To8(const int16_t* in, uint8_t* out, int frames) {
  for (int i = 0; i < frames; ++i) out[i] = Sample16To8(in[i]);
}

}  // namespace sonorell
