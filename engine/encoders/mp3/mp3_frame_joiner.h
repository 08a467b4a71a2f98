#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <utility>
#include <vector>

#include "engine/encoders/mp3/layer3_frame.h"
#include "engine/encoders/mp3/mp3_tag_blocks.h"
#include "engine/encoders/mp3/reservoir_layout.h"
#include "engine/encoders/split/frame_joiner.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// Where the frames of one MP3 stream lie on the writer's input.
struct Mp3FrameGrid {
  int inRate = 0;        // the writer's input
  int outRate = 0;       // LAME's output, which it resamples to itself
  int frameSamples = 0;  // per frame at outRate
  int encoderDelay = 0;  // samples at outRate before the audio's first
};

// Joins the frames of MP3 chunks into one stream on the staged output, the tags around it
// as the single-pass writer places them.
//
// A layer III frame takes the start of its main data from the slots before it (its
// main_data_begin: the bit reservoir). A chunk's encoder starts with an empty reservoir,
// which LAME fills within a few frames and spends over ten seconds and more, so after a
// lead of a second or two the later chunk's frames need far more reservoir than the
// earlier chunk's leave (measured on dense material: about 250 bytes more at 128 kbit/s,
// at every frame of the overlap). The later chunk's encoder therefore starts right at its
// chunk, and the cut falls on its first frames whose transform saw only its audio, while
// its reservoir is still small. Its frames and the earlier ones before the cut keep their
// main data bit for bit, laid into the slots anew with the main_data_begin of each
// rewritten: where the earlier frames leave fewer reservoir bytes than the later chunk's
// take, unpadded frames around the cut (the earlier ones not yet written, the later
// chunk's first ones) take their padding byte, which a constant bit rate allows, as many
// as needed, until the later chunk's frames can keep their own placement. Both streams
// then decode exactly as their own encoders made them.
//
// Only when the padding bytes within reach are too few (64 kbit/s at 44.1 kHz, where
// nearly every frame is padded already, on dense material) does the last frame before the
// cut take a higher bit rate: one frame of the stream is then larger than the others,
// which decoders take as they take any bit rate change, rather than a frame whose main
// data is wrong.
class Mp3FrameJoiner : public FrameJoiner {
 public:
  Mp3FrameJoiner(StagedOutput& out, Mp3TagBlocks tags, const Mp3FrameGrid& grid);

  // The frames after a chunk's start that a join needs its earlier neighbour to hold too:
  // for the chunk encoders' tail.
  static int TailFrames(const Mp3FrameGrid& grid);

 protected:
  int64_t FirstFrame(const ChunkSpan& span) const override;
  int64_t FrameAt(int64_t position) const override;
  int64_t ChooseCut(const EncodedChunk& earlier, const EncodedChunk& later,
                    int64_t nominal) const override;
  bool Splice(EncodedChunk& earlier, EncodedChunk& later, int64_t cut) override;
  bool Emit(std::vector<uint8_t>& unit, int64_t frame) override;
  bool Close(int64_t totalFrames, int64_t framesEmitted) override;

 private:
  // How the frames around a cut are laid: frames [first, first + layout.end) rewritten.
  struct JoinPlan {
    int64_t first = 0;
    int64_t cut = 0;
    RunLayout layout;
    int raisedSteps = 0;  // bit rate steps the frame before the cut takes (0: none)
    bool sameWindows = false;
  };

  std::optional<JoinPlan> PlanJoin(const EncodedChunk& earlier, const EncodedChunk& later,
                                   int64_t cut) const;
  // Frame g of the stream one side of a join was encoded in. The earlier side's stream
  // is the output so far: the frames not yet written, then the earlier chunk's from the
  // last cut on. The later side's is the later chunk's own. Null where it holds no frame g.
  const std::vector<uint8_t>* FrameIn(const EncodedChunk& chunk, bool earlierSide, int64_t g) const;
  std::vector<uint8_t>* FrameIn(EncodedChunk& chunk, bool earlierSide, int64_t g);
  std::optional<Layer3SideInfo> SideInfoIn(const EncodedChunk& chunk, bool earlierSide,
                                           int64_t g) const;
  // count bytes of that stream's main data from offset bytes after the start of frame f's
  // main-data part (offset may be negative: the slots before it). False when the stream
  // does not hold them.
  bool CopyMainData(const EncodedChunk& chunk, bool earlierSide, int64_t f, int offset, int count,
                    uint8_t* out) const;
  bool WriteOldest();
  bool WriteTagOnce();

  StagedOutput& out_;
  const Mp3TagBlocks tags_;
  const Mp3FrameGrid grid_;
  const int firstJoinable_;  // a chunk encoder's first frame that a cut may fall on
  // Frames emitted but held back from the file for a while, so that the next join may
  // still give them their padding byte: the padding bytes of one chunk are often too few.
  const size_t unwrittenLimit_;
  std::deque<std::vector<uint8_t>> unwritten_;
  int64_t unwrittenFirst_ = 0;  // the stream frame of unwritten_.front()
  int64_t runStart_ = 0;        // the first frame the held chunk emits (the last cut)
  bool tagWritten_ = false;
};

}  // namespace sonorell
