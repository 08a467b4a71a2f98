#pragma once

#include <cstdint>
#include <vector>

#include "engine/encoders/aac/aac_frame_encoder.h"
#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// One chunk of a long file encoded on a worker thread: a fresh encoder, opened and
// configured as the single-pass writers open theirs, whose frames (ADTS ones when opened
// so) are kept in stream order for the join.
class AacChunkEncoder : public ChunkEncoder {
 public:
  // False when the encoder cannot take the rate or channel count.
  bool Open(int rate, int channels, bool adts) { return encoder_.Open(rate, channels, adts); }
  platform::faacEncConfiguration& Configuration() { return encoder_.Configuration(); }
  // False when the encoder refuses the configuration.
  bool Start();
  // The stream's AudioSpecificConfig, for MP4 tracks.
  std::vector<uint8_t> DecoderSpecificInfo() const { return encoder_.DecoderSpecificInfo(); }
  int FrameSize() const { return encoder_.FrameSize(); }

  bool Write(const void* left, const void* right, int frames) override;
  bool Finish(EncodedChunk& chunk) override;

 private:
  AacFrameEncoder encoder_;
  std::vector<std::vector<uint8_t>> frames_;
};

}  // namespace sonorell
