#pragma once

#include <cstddef>
#include <cstdint>

namespace sonorell {

// Where encoded AAC frames go, in stream order: a raw ADTS file or an MP4 track. The
// single-pass writers store their encoder's frames into one, and so does the join of a file
// encoded on several cores, so both make the same file.
class AacFrameSink {
 public:
  virtual ~AacFrameSink() = default;
  // One frame. inputKnown: the per-channel input samples the stream is known to hold at
  // least (the frames the encoder makes past the end of the input play less or nothing).
  // False when it could not be written.
  virtual bool WriteFrame(const uint8_t* bytes, size_t size, uint64_t inputKnown) = 0;
  // After the last frame, for a stream made from inputSamples per-channel samples.
  // False when anything of the file failed.
  virtual bool Close(uint64_t inputSamples) = 0;
};

}  // namespace sonorell
