#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/sources/audio_source.h"

namespace sonorell::testing {

// A decoder of a made-up file: a 16-bit (or 8-bit) tone of a given number of frames, with
// a position in bytes of PCM like the native readers. Blocks may be short on purpose.
class GeneratedSource : public AudioSource {
 public:
  struct Shape {
    int64_t frames = 44100;
    int channels = 2;
    int sampleRate = 44100;
    int bits = 16;
    int blockFrames = BlockFrames;  // frames per Read, at most BlockFrames
    bool reportNoLength = false;    // a length of 0, as some streams report
  };

  explicit GeneratedSource(Shape shape) : shape_(shape) {}
  ~GeneratedSource() override { Close(); }

  void Close() override {
    ResetProperties();
    delivered_ = 0;
  }

  bool Open(const std::string&, int) override {
    Close();
    SetFormat(shape_.channels, shape_.bits, shape_.sampleRate);
    const uint64_t bytes =
        static_cast<uint64_t>(shape_.frames) * shape_.channels * (shape_.bits / 8);
    length_ = shape_.reportNoLength ? 0 : bytes;
    duration_ = static_cast<int>(shape_.frames / shape_.sampleRate);
    return true;
  }

  int Read(void* left, void* right) override {
    const int64_t remaining = shape_.frames - delivered_;
    const int frames = static_cast<int>(std::min<int64_t>(remaining, shape_.blockFrames));
    if (frames <= 0) return 0;
    for (int i = 0; i < frames; ++i) {
      const int64_t n = delivered_ + i;
      const double v = std::sin(static_cast<double>(n) * 0.05);
      if (shape_.bits == 16) {
        static_cast<int16_t*>(left)[i] = static_cast<int16_t>(v * 12000);
        if (right) static_cast<int16_t*>(right)[i] = static_cast<int16_t>(-v * 8000);
      } else {
        static_cast<uint8_t*>(left)[i] = static_cast<uint8_t>(128 + v * 100);
        if (right) static_cast<uint8_t*>(right)[i] = static_cast<uint8_t>(128 - v * 60);
      }
    }
    delivered_ += frames;
    position_ = static_cast<uint64_t>(delivered_) * shape_.channels * (shape_.bits / 8);
    return frames;
  }

 private:
  Shape shape_;
  int64_t delivered_ = 0;
};

}  // namespace sonorell::testing
