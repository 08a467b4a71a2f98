#pragma once

#include <cstdint>
#include <optional>

#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// The join of every format whose chunks' units are codec frames on one grid: unit j of a
// chunk is frame FirstFrame(chunk) + j of the stream a single encoder would have made.
// Each chunk is held until the next arrives; the frames before the cut come from the
// earlier chunk, the rest from the later one, and the last chunk's frames all stay.
class FrameJoiner : public ChunkJoiner {
 public:
  bool Join(EncodedChunk chunk) final;
  bool Finish(int64_t totalFrames) final;

 protected:
  // The stream frame of the chunk's unit 0.
  virtual int64_t FirstFrame(const ChunkSpan& span) const = 0;
  // The stream frame where the later chunk's frames take over, at or after nominal (the
  // frame that holds the later chunk's keepStart). Only frames both chunks hold may be
  // chosen; the default is nominal.
  virtual int64_t ChooseCut(const EncodedChunk& earlier, const EncodedChunk& later,
                            int64_t nominal) const;
  // Mends the frames on either side of the cut (the earlier chunk's before it, the later
  // chunk's from it on) so that the later chunk's kept frames decode as in their own stream
  // (what they borrow from before the cut). False fails.
  virtual bool Splice(EncodedChunk& /*earlier*/, EncodedChunk& /*later*/, int64_t /*cut*/) {
    return true;
  }
  // The stream frame that holds writer-input frame position.
  virtual int64_t FrameAt(int64_t position) const = 0;
  // Writes one kept frame, in stream order; frame is its number in the stream.
  virtual bool Emit(std::vector<uint8_t>& unit, int64_t frame) = 0;
  // After the last frame.
  virtual bool Close(int64_t totalFrames, int64_t framesEmitted) = 0;

  // Unit of chunk for stream frame, or null when the chunk does not hold it.
  std::vector<uint8_t>* UnitAt(EncodedChunk& chunk, int64_t frame) const;
  const std::vector<uint8_t>* UnitAt(const EncodedChunk& chunk, int64_t frame) const;

 private:
  bool EmitFrom(EncodedChunk& chunk, int64_t until);

  std::optional<EncodedChunk> held_;
  int64_t next_ = 0;  // the stream frame to emit next
  int64_t emitted_ = 0;
};

}  // namespace sonorell
