#include "engine/encoders/aac/aac_chunk_encoder.h"

#include <utility>

namespace sonorell {

bool AacChunkEncoder::Start() {
  return encoder_.Start([this](const uint8_t* bytes, int size) {
    frames_.emplace_back(bytes, bytes + size);
    return true;
  });
}

bool AacChunkEncoder::Write(const void* left, const void* right, int frames) {
  return encoder_.Write16(static_cast<const int16_t*>(left), static_cast<const int16_t*>(right),
                          frames);
}

bool AacChunkEncoder::Finish(EncodedChunk& chunk) {
  if (!encoder_.Flush()) return false;
  chunk.units = std::move(frames_);
  return true;
}

}  // namespace sonorell
