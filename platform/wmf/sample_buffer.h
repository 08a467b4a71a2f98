#pragma once

#include <cstdint>
#include <vector>

namespace platform::wm {

// A sample's bytes, as the runtime hands them out (reader) or lends them to be filled
// (writer): a fixed capacity and the length in use.
class SampleBuffer {
 public:
  explicit SampleBuffer(uint32_t capacity) : bytes_(capacity) {}

  uint8_t* Buffer() { return bytes_.data(); }
  const uint8_t* Buffer() const { return bytes_.data(); }
  uint32_t Length() const { return length_; }
  uint32_t MaxLength() const { return static_cast<uint32_t>(bytes_.size()); }
  // False when length exceeds the capacity.
  bool SetLength(uint32_t length) {
    if (length > bytes_.size()) return false;
    length_ = length;
    return true;
  }

 private:
  std::vector<uint8_t> bytes_;
  uint32_t length_ = 0;
};

}  // namespace platform::wm
