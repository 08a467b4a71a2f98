#pragma once

#include <cstdint>

#include "engine/dsp/sample_converter.h"

namespace sonorell {

// A digest of planar PCM that does not depend on how the audio was cut into blocks: FNV-1a
// over the frames interleaved, each sample's bytes as they lie in memory.
class PcmDigest {
 public:
  void Add(const void* left, const void* right, int frames, int channels, int bytesPerSample);
  uint64_t Value() const { return value_; }

 private:
  uint64_t value_ = 14695981039346656037ull;
};

// What one conversion handed its writer, so the finished file can be checked against it
// without decoding the source a second time.
struct EncodeTally {
  double sourceSeconds = 0;   // of sound as the source delivered it, over all its formats
  uint64_t outputFrames = 0;  // as the writer received them
  PcmFormat output;
  PcmDigest digest;  // of the writer's PCM
  // Set by the caller when nothing will compare the samples: the digest is then skipped.
  bool skipDigest = false;
};

}  // namespace sonorell
