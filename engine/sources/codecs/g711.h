#pragma once

#include <cstdint>

namespace sonorell {

// ITU-T G.711 expansion to 16-bit linear PCM, as the published reference conversion
// (Sun's g711.c) does it. Shared by every reader that meets companded audio.
int16_t ALawToLinear(uint8_t alaw);
int16_t MuLawToLinear(uint8_t ulaw);

}  // namespace sonorell
