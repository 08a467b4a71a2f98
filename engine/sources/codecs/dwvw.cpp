#include "engine/sources/codecs/dwvw.h"

namespace sonorell {

bool DwvwDecoder::Init(int bitWidth) {
  *this = DwvwDecoder();
  if (bitWidth < kMinBits || bitWidth > kMaxBits) return false;
  bitWidth_ = bitWidth;
  maxModifier_ = bitWidth / 2;
  maxDelta_ = int32_t{1} << (bitWidth - 1);
  span_ = int32_t{1} << bitWidth;
  return true;
}

void DwvwDecoder::Load(DwvwByteSource& input, int want) {
  while (bitCount_ < want) {
    if (!exhausted_ && index_ >= end_) {
      end_ = input.ReadBytes(input_, sizeof input_);
      if (end_ > sizeof input_) end_ = sizeof input_;
      index_ = 0;
      exhausted_ = end_ == 0;
    }
    if (exhausted_) {
      // Zero fill lets a last value shorter than the modifier field still be read; a value
      // that actually uses the fill is refused by the caller.
      bits_ <<= 8;
      padBits_ += 8;
    } else {
      bits_ = (bits_ << 8) | input_[index_++];
    }
    bitCount_ += 8;
  }
}

uint32_t DwvwDecoder::Take(int count) {
  bitCount_ -= count;
  return static_cast<uint32_t>(bits_ >> bitCount_) & ((uint32_t{1} << count) - 1);
}

bool DwvwDecoder::DecodeOne(DwvwByteSource& input, int32_t& value) {
  // The width modifier: zero bits before a one, at most maxModifier_ of them.
  Load(input, maxModifier_);
  int modifier = 0;
  while (modifier < maxModifier_) {
    if (Take(1) != 0) break;
    ++modifier;
  }
  if (modifier != 0) {
    Load(input, 1);
    if (Take(1) != 0) modifier = -modifier;
  }
  const int width = (modifier + lastWidth_ + bitWidth_) % bitWidth_;

  int32_t delta = 0;
  if (width != 0) {
    Load(input, width - 1);
    delta = static_cast<int32_t>(Take(width - 1)) | (int32_t{1} << (width - 1));
    Load(input, 1);
    const bool negative = Take(1) != 0;
    if (delta == maxDelta_ - 1) {
      Load(input, 1);
      delta += static_cast<int32_t>(Take(1));
    }
    if (negative) delta = -delta;
  }

  // A value that reached into the zero fill after the coded data is not real.
  if (bitCount_ < padBits_) return false;

  int32_t sample = lastSample_ + delta;
  if (sample >= maxDelta_) {
    sample -= span_;
  } else if (sample < -maxDelta_) {
    sample += span_;
  }
  lastWidth_ = width;
  lastSample_ = sample;
  value = static_cast<int32_t>(static_cast<uint32_t>(sample) << (32 - bitWidth_));
  return true;
}

int DwvwDecoder::Decode(DwvwByteSource& input, int32_t* values, int count) {
  int decoded = 0;
  while (decoded < count && !finished_ && Valid()) {
    if (!DecodeOne(input, values[decoded])) {
      finished_ = true;
      break;
    }
    ++decoded;
    // Nothing but the zero fill is left: any further value would be made up.
    if (exhausted_ && bitCount_ == padBits_) finished_ = true;
  }
  return decoded;
}

}  // namespace sonorell
