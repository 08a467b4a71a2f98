#include "engine/encoders/opus/opus_chunk_encoder.h"

#include <iterator>

#include "engine/encoders/opus/opus_header_packets.h"

namespace sonorell {

bool OpusChunkEncoder::Open(int rate, int channels, const OpusParameters& parameters, int serial,
                            int64_t keyframe) {
  // The comments are the joined file's, written once: a chunk's own header needs none.
  return encoder_.OpenForPackets(packets_, keyframe, rate, channels, parameters, serial, {});
}

bool OpusChunkEncoder::Write(const void* left, const void* right, int frames) {
  return encoder_.Write(left, right, frames);
}

bool OpusChunkEncoder::Finish(EncodedChunk& chunk) {
  if (!encoder_.Drain() || !IsOpusHeaderPair(packets_)) return false;
  chunk.units.assign(std::make_move_iterator(packets_.begin() + kOpusHeaderPackets),
                     std::make_move_iterator(packets_.end()));
  packets_.clear();
  return true;
}

}  // namespace sonorell
