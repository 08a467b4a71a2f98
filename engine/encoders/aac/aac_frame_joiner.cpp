#include "engine/encoders/aac/aac_frame_joiner.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "engine/encoders/aac/aac_frame_window.h"

namespace sonorell {
namespace {

// The encoder decides a frame's window with the next frame's input in view: the last frame
// kept from the earlier chunk must have had input of its own that far, not the end of it.
constexpr int64_t kLookAheadFrames = 2;

}  // namespace

AacFrameJoiner::AacFrameJoiner(std::unique_ptr<AacFrameSink> sink, bool adts, int frameSize)
    : sink_(std::move(sink)), adts_(adts), frameSize_(std::max(1, frameSize)) {}

int64_t AacFrameJoiner::FirstFrame(const ChunkSpan& span) const {
  return span.inputStart / frameSize_;
}

int64_t AacFrameJoiner::FrameAt(int64_t position) const {
  // Frame f plays the input from (f - 1) frames on: the first frame is the start-up delay.
  return position / frameSize_ + 1;
}

int64_t AacFrameJoiner::ChooseCut(const EncodedChunk& earlier, const EncodedChunk& later,
                                  int64_t nominal) const {
  const int64_t last = earlier.span.inputEnd / frameSize_ - kLookAheadFrames;
  std::optional<int64_t> partial;
  for (int64_t cut = nominal; cut <= last; ++cut) {
    const std::vector<uint8_t>* before = UnitAt(earlier, cut - 1);
    const std::vector<uint8_t>* after = UnitAt(later, cut - 1);
    if (before == nullptr || after == nullptr) continue;
    const std::optional<AacFrameWindow> window = FrameWindow(before->data(), before->size(), adts_);
    if (!window || window != FrameWindow(after->data(), after->size(), adts_)) continue;
    if (window->Complete()) return cut;
    if (!partial) partial = cut;  // a channel pair with a window each: the first agrees
  }
  // Where no window agrees all through the tail (a long run of transients that the two
  // encoders met differently), the nominal frame: both encoders have settled there, and the
  // worst a decoder meets is one frame overlapping halves shaped for different neighbours.
  return partial.value_or(nominal);
}

bool AacFrameJoiner::Splice(EncodedChunk& /*earlier*/, EncodedChunk& later, int64_t /*cut*/) {
  // Nothing to mend: AAC frames borrow no bits from each other. But the later chunk's
  // input ends no later than the file, and every frame kept from the earlier one starts
  // within it, so the sink may give those frames their whole duration at once.
  inputKnown_ = std::max(inputKnown_, static_cast<uint64_t>(later.span.inputEnd));
  return true;
}

bool AacFrameJoiner::Emit(std::vector<uint8_t>& unit, int64_t /*frame*/) {
  return sink_->WriteFrame(unit.data(), unit.size(), inputKnown_);
}

bool AacFrameJoiner::Close(int64_t totalFrames, int64_t /*framesEmitted*/) {
  return sink_->Close(static_cast<uint64_t>(std::max<int64_t>(0, totalFrames)));
}

}  // namespace sonorell
