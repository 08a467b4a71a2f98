#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "engine/encoders/mp3/lame_encoder.h"
#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// One chunk of an MP3 file encoded on several cores: a fresh LAME instance of exactly the
// single-pass parameters, without tags, flushed at the chunk's end. Its units are the MPEG
// audio frames it made, cut at the frame headers.
class Mp3ChunkEncoder : public ChunkEncoder {
 public:
  // Null when LAME cannot be started or refuses the parameters.
  static std::unique_ptr<Mp3ChunkEncoder> Open(const Mp3Parameters& parameters, int channels);

  bool Write(const void* left, const void* right, int frames) override;
  // False when LAME fails or what it made is not a run of whole layer III frames.
  bool Finish(EncodedChunk& chunk) override;

 private:
  // Keeps what LAME hands over.
  LameEncoder::ByteSink Collector();

  LameEncoder lame_;
  std::vector<uint8_t> bytes_;
};

// Cuts a run of MPEG audio layer III frames at their headers; false when anything else is
// in it (a broken header, a frame cut short).
bool CutLayer3Frames(const std::vector<uint8_t>& bytes, std::vector<std::vector<uint8_t>>& frames);

}  // namespace sonorell
