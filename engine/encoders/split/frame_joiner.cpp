#include "engine/encoders/split/frame_joiner.h"

#include <algorithm>
#include <limits>

namespace sonorell {

int64_t FrameJoiner::ChooseCut(const EncodedChunk&, const EncodedChunk&, int64_t nominal) const {
  return nominal;
}

const std::vector<uint8_t>* FrameJoiner::UnitAt(const EncodedChunk& chunk, int64_t frame) const {
  const int64_t j = frame - FirstFrame(chunk.span);
  if (j < 0 || j >= static_cast<int64_t>(chunk.units.size())) return nullptr;
  return &chunk.units[static_cast<size_t>(j)];
}

std::vector<uint8_t>* FrameJoiner::UnitAt(EncodedChunk& chunk, int64_t frame) const {
  return const_cast<std::vector<uint8_t>*>(UnitAt(static_cast<const EncodedChunk&>(chunk), frame));
}

bool FrameJoiner::EmitFrom(EncodedChunk& chunk, int64_t until) {
  for (; next_ < until; ++next_) {
    std::vector<uint8_t>* unit = UnitAt(chunk, next_);
    if (!unit) break;  // the chunk ends here (the last one's frames are all taken)
    if (!Emit(*unit, next_)) return false;
    ++emitted_;
    unit->clear();
    unit->shrink_to_fit();
  }
  return true;
}

bool FrameJoiner::Join(EncodedChunk chunk) {
  if (!held_) {
    held_ = std::move(chunk);
    next_ = FirstFrame(held_->span);
    return true;
  }
  EncodedChunk& earlier = *held_;
  const int64_t earlierEnd = FirstFrame(earlier.span) + static_cast<int64_t>(earlier.units.size());
  const int64_t laterStart = FirstFrame(chunk.span);
  // The cut lies where both chunks have frames, and never before what is already out.
  const int64_t low = std::max(next_, laterStart);
  const int64_t nominal = std::clamp(FrameAt(chunk.span.keepStart), low, std::max(low, earlierEnd));
  int64_t cut = std::clamp(ChooseCut(earlier, chunk, nominal), low, std::max(low, earlierEnd));
  if (!Splice(earlier, chunk, cut) || !EmitFrom(earlier, cut)) return false;
  // Frames the earlier chunk lacked (it ended early) come from the later one.
  next_ = std::max(next_, laterStart);
  held_ = std::move(chunk);
  return true;
}

bool FrameJoiner::Finish(int64_t totalFrames) {
  if (held_ && !EmitFrom(*held_, std::numeric_limits<int64_t>::max())) return false;
  held_.reset();
  return Close(totalFrames, emitted_);
}

}  // namespace sonorell
