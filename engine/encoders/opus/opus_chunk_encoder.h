#pragma once

#include "engine/encoders/opus/ogg_opus_encoder.h"
#include "engine/encoders/opus/opus_parameters.h"
#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// The encoder of one chunk of an Ogg Opus file encoded on several cores: libopusenc with the
// file's options and input rate (so its resampler and pre-skip are the file's), whose pages
// are dropped; the chunk's units are its audio packets, the first one that of the chunk's
// first 20 ms at 48 kHz.
class OpusChunkEncoder : public ChunkEncoder {
 public:
  // keyframe: the number of the chunk's audio packet a decoder must be able to start at (a
  // join may fall there), or -1. False, with a failure note, when libopusenc refuses the
  // options.
  bool Open(int rate, int channels, const OpusParameters& parameters, int serial, int64_t keyframe);

  bool Write(const void* left, const void* right, int frames) override;
  // Drains the encoder; its audio packets become the chunk's units.
  bool Finish(EncodedChunk& chunk) override;

 private:
  OpusPackets packets_;  // before the encoder: it writes here until it is gone
  OggOpusEncoder encoder_;
};

}  // namespace sonorell
