#pragma once

#include <array>

namespace sonorell {

// The sample rates the "Sample Frequency" list of the WAV page offers (0 there means the
// source's own rate).
inline constexpr std::array<int, 12> kWavPageRates{6000,  8000,  11025, 12000, 16000, 22050,
                                                   24000, 32000, 44100, 48000, 88200, 96000};

}  // namespace sonorell
