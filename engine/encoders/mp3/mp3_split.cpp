#include "engine/encoders/mp3/mp3_split.h"

#include <memory>
#include <utility>

#include "engine/encoders/mp3/mp3_chunk_encoder.h"
#include "engine/encoders/mp3/mp3_frame_joiner.h"
#include "engine/encoders/split/split_grid.h"

namespace sonorell {
namespace {

// Below this, a fresh encoder's reservoir falls so far short of a running one's that a join
// could only be laid out with a frame of a higher bit rate, and the file would no longer be
// constant (64 kbit/s stereo at 44.1 kHz has 52 bytes); such files stay single-pass. 128
// kbit/s stereo and 64 kbit/s mono have 104 and always join within the padding bytes.
constexpr int kLeastGranuleBytes = 80;

}  // namespace

std::optional<SplitFormat> OpenMp3Split(StagedOutput& out, const Mp3Parameters& parameters,
                                        int channels, Mp3TagBlocks tags) {
  // One instance on this thread first: it tells the frame grid, and LAME sets up the tables
  // it shares between instances here, before the chunk encoders start several at a time.
  LameEncoder probe;
  if (!probe.Open() || !probe.Accept(parameters, channels) || !probe.ConstantBitRate() ||
      probe.GranuleBytesPerChannel() < kLeastGranuleBytes) {
    return std::nullopt;
  }
  const Mp3FrameGrid frames{parameters.inRate, probe.OutRate(), probe.FrameSamples(),
                            probe.EncoderDelay()};
  if (frames.inRate <= 0 || frames.outRate <= 0 || frames.frameSamples <= 0) return std::nullopt;
  SplitFormat split;
  // No lead: a chunk's encoder starts at its chunk, and the join falls on its first frames
  // (Mp3FrameJoiner says why). The tail holds the frames that join may fall on.
  const double tailSeconds = static_cast<double>(Mp3FrameJoiner::TailFrames(frames)) *
                             frames.frameSamples / frames.outRate;
  split.grid = MakeSplitGrid(SplitStep(frames.inRate, frames.outRate, frames.frameSamples),
                             frames.inRate, kSplitChunkSeconds, 0.0, tailSeconds);
  split.openEncoder = [parameters, channels](const ChunkSpan&) -> std::unique_ptr<ChunkEncoder> {
    return Mp3ChunkEncoder::Open(parameters, channels);
  };
  split.joiner = std::make_unique<Mp3FrameJoiner>(out, std::move(tags), frames);
  return split;
}

}  // namespace sonorell
