#pragma once

#include <cstddef>
#include <cstdint>

namespace sonorell {

// Where a DWVW decoder takes its coded bytes from. ReadBytes returns how many arrived; 0
// means the coded data has ended.
class DwvwByteSource {
 public:
  virtual size_t ReadBytes(uint8_t* buffer, size_t size) = 0;

 protected:
  ~DwvwByteSource() = default;
};

// Delta With Variable Word width (the AIFC "DWVW" compression): each sample is coded as a
// change of the delta's bit width followed by the delta itself, most significant bit first.
// Past the end of the coded data the decoder reads zero bits, so a last value shorter than
// the width-modifier field still decodes; a value that would need any of those made-up bits
// is never delivered, which also bounds the work on any input by the number of coded bits.
class DwvwDecoder {
 public:
  static constexpr int kMinBits = 8;
  static constexpr int kMaxBits = 24;

  // Starts a stream of bitWidth-bit samples; false (and nothing set up) outside 8 .. 24.
  bool Init(int bitWidth);
  bool Valid() const { return bitWidth_ != 0; }
  // True once the coded data is used up; Decode then returns 0.
  bool Finished() const { return finished_; }

  // Decodes up to count samples into values, each justified to the top of 32 bits. Returns
  // the count decoded: fewer than asked only at the end of the stream.
  int Decode(DwvwByteSource& input, int32_t* values, int count);

 private:
  // Makes sure the reservoir holds at least want bits (want <= 24), reading coded bytes
  // as needed and filling with zero bits once they run out.
  void Load(DwvwByteSource& input, int want);
  uint32_t Take(int count);
  // One sample into value; false at the end of the stream.
  bool DecodeOne(DwvwByteSource& input, int32_t& value);

  int bitWidth_ = 0;
  int maxModifier_ = 0;
  int32_t maxDelta_ = 0;
  int32_t span_ = 0;

  uint64_t bits_ = 0;  // the low bitCount_ bits are pending, oldest highest
  int bitCount_ = 0;
  int padBits_ = 0;  // zero bits added at the bottom after the coded data ended
  int lastWidth_ = 0;
  int32_t lastSample_ = 0;
  bool exhausted_ = false;
  bool finished_ = false;

  uint8_t input_[256] = {};
  size_t index_ = 0;
  size_t end_ = 0;
};

}  // namespace sonorell
