#include "engine/encoders/opus/opus_split.h"

#include <memory>
#include <utility>

#include "engine/encoders/opus/ogg_opus_encoder.h"
#include "engine/encoders/opus/opus_chunk_encoder.h"
#include "engine/encoders/opus/opus_chunk_joiner.h"
#include "engine/encoders/opus/opus_header_packets.h"

namespace sonorell {
namespace {

// Audio a chunk's encoder takes before the chunk and drops: by then its bit rate control and
// signal analysis have settled, and the packets it keeps decode like a single-pass encode's
// (measured on pink noise, music and speech: the decodes differ at a join by less than two
// single-pass encodes 10 ms apart do anywhere).
constexpr double kLeadSeconds = 1.0;
// Audio it takes after the chunk, so that its last kept packets see what follows them as a
// single-pass encoder does (the codec's look-ahead, the analysis' glance ahead) rather than
// the padding of a stream's end: with 0.2 s they come out as the single-pass encoder's,
// bit for bit.
constexpr double kTailSeconds = 0.2;

// The stream's header packets as the file's single-pass encoder writes them.
std::optional<OpusPackets> HeaderPackets(int rate, int channels, const OpusParameters& parameters,
                                         int serial, const std::vector<CommentField>& comments) {
  OpusPackets packets;
  {
    OggOpusEncoder encoder;
    if (!encoder.OpenForPackets(packets, -1, rate, channels, parameters, serial, comments) ||
        !encoder.FlushHeader()) {
      return std::nullopt;
    }
  }
  if (packets.size() != kOpusHeaderPackets || !IsOpusHeaderPair(packets)) return std::nullopt;
  return packets;
}

}  // namespace

std::optional<SplitFormat> OpenOpusSplit(StagedOutput& out, int rate, int channels,
                                         const OpusParameters& parameters, int serial,
                                         const std::vector<CommentField>& comments) {
  std::optional<OpusPackets> header = HeaderPackets(rate, channels, parameters, serial, comments);
  if (!header) return std::nullopt;
  SplitFormat split;
  split.grid = MakeSplitGrid(SplitStep(rate, kOpusStreamRate, kOpusFrameSamples), rate,
                             kSplitChunkSeconds, kLeadSeconds, kTailSeconds);
  split.openEncoder = [=](const ChunkSpan& span) -> std::unique_ptr<ChunkEncoder> {
    const int64_t keyframe = span.index == 0 ? -1
                                             : OpusPacketsBefore(span.keepStart, rate) -
                                                   OpusPacketsBefore(span.inputStart, rate);
    auto encoder = std::make_unique<OpusChunkEncoder>();
    if (!encoder->Open(rate, channels, parameters, serial, keyframe)) return nullptr;
    return encoder;
  };
  split.joiner = std::make_unique<OpusChunkJoiner>(out, serial, rate, std::move(*header));
  return split;
}

}  // namespace sonorell
