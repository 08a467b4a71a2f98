#include "engine/sources/codecs/ms_adpcm.h"

#include <algorithm>
#include <utility>

namespace sonorell {
namespace {

// Step adaptation per code, 8.8 fixed point: small codes shrink the step, large ones grow it.
constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                 768, 614, 512, 409, 307, 230, 230, 230};

constexpr int kHeaderBytesPerChannel = 7;
constexpr int kMinDelta = 16;

int16_t LoadI16(const uint8_t* p) {
  return static_cast<int16_t>(p[0] | (p[1] << 8));
}

}  // namespace

int16_t MsAdpcmExpandNibble(MsAdpcmChannelState& state, unsigned nibble) {
  nibble &= 0x0F;
  const int code = nibble >= 8 ? static_cast<int>(nibble) - 16 : static_cast<int>(nibble);
  // 64-bit: two full-scale samples times full-scale weights overflow 32 bits. Division
  // truncates toward zero.
  const int64_t predicted = (static_cast<int64_t>(state.sample1) * state.pair.first +
                             static_cast<int64_t>(state.sample2) * state.pair.second) /
                            256;
  const int64_t next =
      std::clamp<int64_t>(predicted + static_cast<int64_t>(code) * state.delta, -32768, 32767);
  const int adapted = static_cast<int>(state.delta) * kAdaptation[nibble] / 256;
  state.delta = static_cast<uint16_t>(std::max(adapted, kMinDelta));
  state.sample2 = state.sample1;
  state.sample1 = static_cast<int>(next);
  return static_cast<int16_t>(next);
}

bool MsAdpcmDecoder::Configure(int channels, int blockAlign, int samplesPerBlock,
                               std::vector<MsAdpcmCoefficientPair> pairs) {
  channels_ = blockAlign_ = samplesPerBlock_ = 0;
  pairs_.clear();
  if (channels < 1 || channels > 2 || pairs.empty()) return false;
  const int dataBytes = blockAlign - kHeaderBytesPerChannel * channels;
  if (dataBytes < 0) return false;
  // Two samples come from the header; each further frame needs one nibble per channel.
  if (samplesPerBlock < 2 || samplesPerBlock > 2 + dataBytes * 2 / channels) return false;
  channels_ = channels;
  blockAlign_ = blockAlign;
  samplesPerBlock_ = samplesPerBlock;
  pairs_ = std::move(pairs);
  return true;
}

bool MsAdpcmDecoder::DecodeBlock(const uint8_t* block, int16_t* values) const {
  if (channels_ == 0) return false;
  MsAdpcmChannelState state[2];
  const int ch = channels_;
  // Header fields, each field for every channel in turn: predictor index (1 byte), delta,
  // sample 1, sample 2 (2 bytes each).
  for (int c = 0; c < ch; ++c) {
    const unsigned index = block[c];
    if (index >= pairs_.size()) return false;
    state[c].pair = pairs_[index];
    state[c].delta = static_cast<uint16_t>(LoadI16(block + ch + 2 * c));
    state[c].sample1 = LoadI16(block + 3 * ch + 2 * c);
    state[c].sample2 = LoadI16(block + 5 * ch + 2 * c);
  }
  int out = 0;
  for (int c = 0; c < ch; ++c) values[out++] = static_cast<int16_t>(state[c].sample2);
  for (int c = 0; c < ch; ++c) values[out++] = static_cast<int16_t>(state[c].sample1);

  // Nibbles, high first; in stereo the high nibble is left and the low one right, so the
  // channel simply alternates from nibble to nibble.
  const uint8_t* data = block + kHeaderBytesPerChannel * ch;
  const int nibbles = ch * (samplesPerBlock_ - 2);
  for (int i = 0; i < nibbles; ++i) {
    const uint8_t byte = data[i / 2];
    const unsigned nibble = (i % 2 == 0) ? (byte >> 4) : (byte & 0x0F);
    values[out++] = MsAdpcmExpandNibble(state[i % ch], nibble);
  }
  return true;
}

}  // namespace sonorell
