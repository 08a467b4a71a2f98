#pragma once

#include <cstdint>

namespace sonorell {

// IMA/DVI ADPCM expansion with the standard 89-entry step table and the index table.
// WAVE's IMA ADPCM, Apple's IMA4 and any other IMA flavour share this one arithmetic.
struct ImaChannelState {
  int predictor = 0;  // -32768 .. 32767
  int stepIndex = 0;  // 0 .. 88
};

inline constexpr int kImaMaxStepIndex = 88;

// Expands one 4-bit code and advances the channel's state; returns the new sample.
int16_t ImaExpandNibble(ImaChannelState& state, unsigned nibble);

// Clamps a step index read from a block header (values above 88 become 88).
inline int ImaClampStepIndex(int index) {
  return index < 0 ? 0 : (index > kImaMaxStepIndex ? kImaMaxStepIndex : index);
}

}  // namespace sonorell
