#include "engine/encoders/mp3/mp3_chunk_encoder.h"

#include "platform/ffmpeg/mpeg_audio_header.h"

namespace sonorell {

bool CutLayer3Frames(const std::vector<uint8_t>& bytes, std::vector<std::vector<uint8_t>>& frames) {
  size_t at = 0;
  while (at < bytes.size()) {
    if (bytes.size() - at < 4) return false;
    const auto header = platform::ffmpeg::ParseMpegAudioHeader(bytes.data() + at);
    if (!header || header->layer != 3) return false;
    const size_t size = header->FrameBytes();
    if (size < header->MainDataOffset() || size > bytes.size() - at) return false;
    const auto begin = bytes.begin() + static_cast<std::ptrdiff_t>(at);
    frames.emplace_back(begin, begin + static_cast<std::ptrdiff_t>(size));
    at += size;
  }
  return true;
}

std::unique_ptr<Mp3ChunkEncoder> Mp3ChunkEncoder::Open(const Mp3Parameters& parameters,
                                                       int channels) {
  auto encoder = std::make_unique<Mp3ChunkEncoder>();
  if (!encoder->lame_.Open() || !encoder->lame_.Accept(parameters, channels)) return nullptr;
  return encoder;
}

LameEncoder::ByteSink Mp3ChunkEncoder::Collector() {
  return [this](const uint8_t* data, size_t size) {
    bytes_.insert(bytes_.end(), data, data + size);
    return true;
  };
}

bool Mp3ChunkEncoder::Write(const void* left, const void* right, int frames) {
  return lame_.Encode(left, right, frames, Collector());
}

bool Mp3ChunkEncoder::Finish(EncodedChunk& chunk) {
  if (!lame_.Flush(Collector())) return false;
  chunk.units.clear();
  const bool cut = CutLayer3Frames(bytes_, chunk.units);
  std::vector<uint8_t>().swap(bytes_);
  return cut;
}

}  // namespace sonorell
