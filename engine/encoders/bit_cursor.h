#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace sonorell {

// Reads bits most significant first; reading past the end fails every later read.
class BitCursor {
 public:
  BitCursor(const uint8_t* data, size_t size) : data_(data), bits_(size * 8) {}

  std::optional<unsigned> Read(int count) {
    if (count < 0 || bits_ - at_ < static_cast<size_t>(count)) {
      at_ = bits_;
      return std::nullopt;
    }
    unsigned value = 0;
    for (int i = 0; i < count; ++i, ++at_) {
      value = (value << 1) | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1u);
    }
    return value;
  }
  bool Skip(size_t count) {
    if (bits_ - at_ < count) return false;
    at_ += count;
    return true;
  }
  // The next count bits, 0 for what lies past the end (where the caller knows none do).
  unsigned Take(int count) { return Read(count).value_or(0); }
  // To the next byte boundary of the block.
  void Align() { at_ = std::min(bits_, (at_ + 7) / 8 * 8); }

 private:
  const uint8_t* data_;
  size_t bits_;
  size_t at_ = 0;
};

}  // namespace sonorell
