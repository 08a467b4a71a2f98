#pragma once

#include <cstdint>
#include <vector>

namespace sonorell {

// Microsoft ADPCM (WAVE format tag 2): 4-bit codes predicted from the two previous samples
// with a coefficient pair chosen per block, and an adaptive step ("delta").

struct MsAdpcmCoefficientPair {
  int16_t first = 0;   // weight of the previous sample, 8.8 fixed point
  int16_t second = 0;  // weight of the one before
};

struct MsAdpcmChannelState {
  int sample1 = 0;  // the previous sample
  int sample2 = 0;  // the one before it
  uint16_t delta = 16;
  MsAdpcmCoefficientPair pair;
};

// Expands one 4-bit code (high bit = sign) and advances the channel's state.
int16_t MsAdpcmExpandNibble(MsAdpcmChannelState& state, unsigned nibble);

// The block layout of one file: channel count, bytes and samples per block and the
// coefficient pairs the blocks select from.
class MsAdpcmDecoder {
 public:
  // False when the layout cannot describe real blocks: channels other than 1 or 2, a block
  // too small for its headers, a sample count outside what the block can hold, or no
  // coefficient pairs at all.
  bool Configure(int channels, int blockAlign, int samplesPerBlock,
                 std::vector<MsAdpcmCoefficientPair> pairs);

  int Channels() const { return channels_; }
  int BlockAlign() const { return blockAlign_; }
  int SamplesPerBlock() const { return samplesPerBlock_; }
  // Interleaved values one block decodes to (samples per block x channels).
  int ValuesPerBlock() const { return samplesPerBlock_ * channels_; }

  // Decodes one block of BlockAlign() bytes into ValuesPerBlock() interleaved values. False
  // (nothing usable) when a block header selects a coefficient pair the file lacks.
  bool DecodeBlock(const uint8_t* block, int16_t* values) const;

 private:
  int channels_ = 0;
  int blockAlign_ = 0;
  int samplesPerBlock_ = 0;
  std::vector<MsAdpcmCoefficientPair> pairs_;
};

}  // namespace sonorell
