#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace platform::ffmpeg {

// An MD5 digest of a byte stream fed in pieces (FFmpeg's implementation).
class Md5Digest {
 public:
  Md5Digest();
  ~Md5Digest();
  Md5Digest(const Md5Digest&) = delete;
  Md5Digest& operator=(const Md5Digest&) = delete;

  void Add(const uint8_t* bytes, size_t size);
  // The digest of everything added; the digest starts over afterwards.
  std::array<uint8_t, 16> Result();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace platform::ffmpeg
