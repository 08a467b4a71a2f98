#pragma once

#include <cstdint>
#include <memory>

#include "engine/encoders/aac/aac_frame_sink.h"
#include "engine/encoders/split/frame_joiner.h"

namespace sonorell {

// Joins the chunks of a long file encoded on several cores into one AAC stream in the
// output's frame sink. Every chunk's encoder starts on a frame boundary of the stream and
// holds back one frame as a single encoder does, so a chunk's frame j is stream frame
// inputStart / frameSize + j, and the start-up delay is the first chunk's alone. The
// later chunk takes over at the first frame at or after the nominal one whose predecessor
// has the same window in both chunks, so the frame it made to follow on from that window
// follows on from the one the decoder has.
class AacFrameJoiner : public FrameJoiner {
 public:
  // adts: the chunks' frames carry ADTS headers. frameSize: samples per channel per frame.
  AacFrameJoiner(std::unique_ptr<AacFrameSink> sink, bool adts, int frameSize);

 protected:
  int64_t FirstFrame(const ChunkSpan& span) const override;
  int64_t ChooseCut(const EncodedChunk& earlier, const EncodedChunk& later,
                    int64_t nominal) const override;
  bool Splice(EncodedChunk& earlier, EncodedChunk& later, int64_t cut) override;
  int64_t FrameAt(int64_t position) const override;
  bool Emit(std::vector<uint8_t>& unit, int64_t frame) override;
  bool Close(int64_t totalFrames, int64_t framesEmitted) override;

 private:
  std::unique_ptr<AacFrameSink> sink_;
  const bool adts_;
  const int64_t frameSize_;
  // The input the stream is known to hold at least: the end of the latest chunk's input.
  uint64_t inputKnown_ = 0;
};

}  // namespace sonorell
