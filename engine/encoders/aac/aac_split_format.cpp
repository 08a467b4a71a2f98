#include "engine/encoders/aac/aac_split_format.h"

#include <utility>

#include "engine/encoders/aac/aac_encoder_setup.h"
#include "engine/encoders/aac/aac_frame_joiner.h"
#include "engine/encoders/split/split_grid.h"

namespace sonorell {
namespace {

// Audio a chunk's encoder takes before its own: the encoder's output matches a single
// encoder's once its rate control and psychoacoustic state have caught up, measured on
// pink noise with a tone within 12 frames at 128 kbit/s (5 in quality mode, where the
// frames then come out identical); this is about twice that.
constexpr double kLeadSeconds = 0.5;
// Audio a chunk's encoder takes after its own, where the join looks for agreeing windows:
// about 20 frames to choose from.
constexpr double kTailSeconds = 0.5;

}  // namespace

std::optional<SplitFormat> AacSplitFormat(const PcmFormat& format,
                                          const AacEncodingOptions& options, bool adts,
                                          const AacSinkOpener& openSink) {
  AacChunkEncoder probe;
  if (SetUpAacEncoder(probe, format, options, adts) != AacSetUp::kStarted) return std::nullopt;
  std::unique_ptr<AacFrameSink> sink = openSink(probe);
  if (!sink) return std::nullopt;
  // The encoder takes the writer's input as it is: its frames are on the input's grid.
  const int frameSize = probe.FrameSize();
  SplitFormat split;
  split.grid = MakeSplitGrid(SplitStep(format.rate, format.rate, frameSize), format.rate,
                             kSplitChunkSeconds, kLeadSeconds, kTailSeconds);
  split.openEncoder = [format, options, adts](const ChunkSpan&) -> std::unique_ptr<ChunkEncoder> {
    auto encoder = std::make_unique<AacChunkEncoder>();
    if (SetUpAacEncoder(*encoder, format, options, adts) != AacSetUp::kStarted) return nullptr;
    return encoder;
  };
  split.joiner = std::make_unique<AacFrameJoiner>(std::move(sink), adts, frameSize);
  return split;
}

}  // namespace sonorell
