#include "engine/encoders/mp3/mp3_frame_joiner.h"

#include <algorithm>
#include <cstring>

#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

// Samples before a frame's own that its coding reaches back over: the granule its
// transform overlaps and the history of the analysis filter bank.
constexpr int kTransformReach = 576 + 512;

// Frames at the end of a chunk that its encoder made with less than a frame of its audio
// still ahead (psychoacoustic look-ahead, the overlap of the transform), or from the
// silence its flush adds. No cut falls there.
constexpr int64_t kFlushReachFrames = 4;

// The later chunk's frames a cut may fall on, from its first joinable one: its reservoir
// grows with every frame, so only the first few are worth trying (for matching windows).
constexpr int64_t kCutCandidates = 3;

// The highest bit rate index of a layer III header.
constexpr int kMaxRaiseSteps = 14;

// How long emitted frames are held back from the file: a chunk and a half, so that the
// padding bytes one join leaves unused serve the next.
constexpr int kUnwrittenSeconds = 30;

// A chunk encoder's first frame that a cut may fall on: the first whose coding reaches back
// over nothing but the chunk's own audio (not the silence its encoder starts with).
int FirstJoinable(const Mp3FrameGrid& grid) {
  return (grid.encoderDelay + kTransformReach + grid.frameSamples - 1) / grid.frameSamples;
}

}  // namespace

Mp3FrameJoiner::Mp3FrameJoiner(StagedOutput& out, Mp3TagBlocks tags, const Mp3FrameGrid& grid)
    : out_(out),
      tags_(std::move(tags)),
      grid_(grid),
      firstJoinable_(FirstJoinable(grid)),
      unwrittenLimit_(static_cast<size_t>(kUnwrittenSeconds * grid.outRate / grid.frameSamples)) {}

int Mp3FrameJoiner::TailFrames(const Mp3FrameGrid& grid) {
  return FirstJoinable(grid) + static_cast<int>(kCutCandidates + kFlushReachFrames) + 1;
}

int64_t Mp3FrameJoiner::FirstFrame(const ChunkSpan& span) const {
  // Chunk inputs begin on the grid, a whole number of frames at the output rate.
  return span.inputStart * grid_.outRate / grid_.inRate / grid_.frameSamples;
}

int64_t Mp3FrameJoiner::FrameAt(int64_t position) const {
  return (position * grid_.outRate / grid_.inRate + grid_.encoderDelay) / grid_.frameSamples;
}

const std::vector<uint8_t>* Mp3FrameJoiner::FrameIn(const EncodedChunk& chunk, bool earlierSide,
                                                    int64_t g) const {
  if (earlierSide && g < runStart_) {
    const int64_t i = g - unwrittenFirst_;
    if (i < 0 || i >= static_cast<int64_t>(unwritten_.size())) return nullptr;
    return &unwritten_[static_cast<size_t>(i)];
  }
  const std::vector<uint8_t>* unit = UnitAt(chunk, g);
  return unit && !unit->empty() ? unit : nullptr;
}

std::vector<uint8_t>* Mp3FrameJoiner::FrameIn(EncodedChunk& chunk, bool earlierSide, int64_t g) {
  return const_cast<std::vector<uint8_t>*>(
      FrameIn(static_cast<const EncodedChunk&>(chunk), earlierSide, g));
}

std::optional<Layer3SideInfo> Mp3FrameJoiner::SideInfoIn(const EncodedChunk& chunk,
                                                         bool earlierSide, int64_t g) const {
  const std::vector<uint8_t>* frame = FrameIn(chunk, earlierSide, g);
  if (!frame) return std::nullopt;
  return ReadLayer3SideInfo(*frame);
}

bool Mp3FrameJoiner::CopyMainData(const EncodedChunk& chunk, bool earlierSide, int64_t f,
                                  int offset, int count, uint8_t* out) const {
  int64_t g = f;
  int at = offset;
  while (at < 0) {
    const std::optional<Layer3SideInfo> info = SideInfoIn(chunk, earlierSide, --g);
    if (!info) return false;
    at += info->AreaBytes();
  }
  while (count > 0) {
    const std::optional<Layer3SideInfo> info = SideInfoIn(chunk, earlierSide, g);
    if (!info) return false;
    const int area = info->AreaBytes();
    if (at < area) {
      const int n = std::min(count, area - at);
      const uint8_t* from =
          FrameIn(chunk, earlierSide, g)->data() + info->header.MainDataOffset() + at;
      std::memcpy(out, from, static_cast<size_t>(n));
      out += n;
      count -= n;
      at = 0;
    } else {
      at -= area;
    }
    ++g;
  }
  return true;
}

std::optional<Mp3FrameJoiner::JoinPlan> Mp3FrameJoiner::PlanJoin(const EncodedChunk& earlier,
                                                                 const EncodedChunk& later,
                                                                 int64_t cut) const {
  const int64_t laterFirst = FirstFrame(later.span);
  const int64_t laterEnd = laterFirst + static_cast<int64_t>(later.units.size());
  if (cut - laterFirst < firstJoinable_ || cut >= laterEnd) return std::nullopt;
  const std::optional<Layer3SideInfo> earlierBefore = SideInfoIn(earlier, true, cut - 1);
  const std::optional<Layer3SideInfo> laterBefore = SideInfoIn(later, false, cut - 1);
  if (!earlierBefore || !laterBefore || !SideInfoIn(earlier, true, cut)) return std::nullopt;

  JoinPlan plan;
  plan.cut = cut;
  plan.sameWindows = earlierBefore->LastWindows() == laterBefore->LastWindows();
  // The run: the frames not yet written, then the later chunk's. It starts with a frame
  // whose main data reaches into its own slot: what lies before that slot was written
  // already, and stays.
  plan.first = unwritten_.empty() ? std::max(runStart_, FirstFrame(earlier.span)) : unwrittenFirst_;
  for (;; ++plan.first) {
    if (plan.first >= cut) return std::nullopt;
    const std::optional<Layer3SideInfo> info = SideInfoIn(earlier, true, plan.first);
    if (!info) return std::nullopt;
    if (info->mainDataBytes > info->mainDataBegin) break;
  }
  std::vector<RunFrame> frames;
  std::vector<size_t> padOrder;
  for (int64_t g = plan.first; g < laterEnd; ++g) {
    const bool fromLater = g >= cut;
    const std::optional<Layer3SideInfo> info =
        SideInfoIn(fromLater ? later : earlier, !fromLater, g);
    if (!info) return std::nullopt;
    frames.push_back({info->AreaBytes(), info->mainDataBytes, info->mainDataBegin,
                      info->header.padded, fromLater});
  }
  // Padding bytes help most right before the cut, and right after it while the later
  // chunk's reservoir still has room to give.
  const auto beforeCut = static_cast<size_t>(cut - plan.first);
  for (size_t i = beforeCut; i-- > 0;) padOrder.push_back(i);
  for (size_t i = beforeCut; i < frames.size(); ++i) padOrder.push_back(i);
  const int maxBegin = earlierBefore->MaxMainDataBegin();
  std::optional<RunLayout> layout = LayOutRun(frames, maxBegin, padOrder);
  // Too few padding bytes within reach: the frame before the cut takes a higher bit rate.
  std::vector<uint8_t> raised = *FrameIn(earlier, true, cut - 1);
  for (int steps = 1; !layout && steps <= kMaxRaiseSteps; ++steps) {
    if (!RaiseFrameBitrate(raised, 1)) break;
    frames[beforeCut - 1].areaBytes = ReadLayer3SideInfo(raised)->AreaBytes();
    layout = LayOutRun(frames, maxBegin, padOrder);
    plan.raisedSteps = steps;
  }
  if (!layout) return std::nullopt;
  plan.layout = std::move(*layout);
  return plan;
}

int64_t Mp3FrameJoiner::ChooseCut(const EncodedChunk& earlier, const EncodedChunk& later,
                                  int64_t nominal) const {
  const int64_t first = std::max(nominal, FirstFrame(later.span) + firstJoinable_);
  const int64_t last =
      std::min(first + kCutCandidates - 1, FrameAt(earlier.span.inputEnd) - kFlushReachFrames);
  // Best: the frame before the cut ends in the same windows in both chunks, so the
  // overlap at the join adds up as within one stream, and every frame keeps its bit rate.
  int64_t best = first;
  int bestRank = -1;
  for (int64_t f = first; f <= last; ++f) {
    const std::optional<JoinPlan> plan = PlanJoin(earlier, later, f);
    if (!plan) continue;
    const int rank = (plan->raisedSteps == 0 ? 2 : 0) + (plan->sameWindows ? 1 : 0);
    if (rank > bestRank) {
      best = f;
      bestRank = rank;
    }
    if (rank == 3) break;
  }
  return best;
}

bool Mp3FrameJoiner::Splice(EncodedChunk& earlier, EncodedChunk& later, int64_t cut) {
  const std::optional<JoinPlan> plan = PlanJoin(earlier, later, cut);
  if (!plan) {
    SetFailureNote("the MP3 encoder could not join the parts encoded on several cores");
    return false;
  }
  const RunLayout& layout = plan->layout;
  const auto chunkOf = [&](int64_t g) -> EncodedChunk& { return g < cut ? earlier : later; };
  const auto frameOf = [&](int64_t g) { return FrameIn(chunkOf(g), g < cut, g); };
  // Every frame's main data as it stands, before any slot changes; of the first frame only
  // what lies in its own slot (it keeps its placement, and what lies before was written).
  std::vector<std::vector<uint8_t>> data(layout.end);
  for (size_t i = 0; i < layout.end; ++i) {
    const int64_t g = plan->first + static_cast<int64_t>(i);
    const std::optional<Layer3SideInfo> info = ReadLayer3SideInfo(*frameOf(g));
    const int from = i == 0 ? 0 : -info->mainDataBegin;
    data[i].resize(static_cast<size_t>(info->mainDataBytes - info->mainDataBegin - from));
    if (!CopyMainData(chunkOf(g), g < cut, g, from, static_cast<int>(data[i].size()),
                      data[i].data())) {
      return false;
    }
  }
  // The slots' main-data parts laid anew.
  std::vector<uint8_t> slots(static_cast<size_t>(layout.areaStarts[layout.end]), 0);
  for (size_t i = 0; i < layout.end; ++i) {
    const int start = i == 0 ? 0 : layout.areaStarts[i] - layout.begins[i];
    std::copy(data[i].begin(), data[i].end(), slots.begin() + start);
  }
  // The first frame that keeps its own placement takes what it took before its slot.
  const int64_t kept = plan->first + static_cast<int64_t>(layout.end);
  const int64_t laterEnd = FirstFrame(later.span) + static_cast<int64_t>(later.units.size());
  if (const std::optional<Layer3SideInfo> info = SideInfoIn(later, false, kept);
      info && kept < laterEnd) {
    const int begin = info->mainDataBegin;
    uint8_t* to = slots.data() + slots.size() - static_cast<size_t>(begin);
    if (!CopyMainData(later, false, kept, -begin, begin, to)) return false;
  }
  for (size_t i = 0; i < layout.end; ++i) {
    const int64_t g = plan->first + static_cast<int64_t>(i);
    std::vector<uint8_t>& unit = *frameOf(g);
    if (g == cut - 1 && plan->raisedSteps > 0) RaiseFrameBitrate(unit, plan->raisedSteps);
    if (layout.padded[i]) PadFrame(unit);
    const size_t offset = ReadLayer3SideInfo(unit)->header.MainDataOffset();
    const auto from = static_cast<size_t>(layout.areaStarts[i]);
    const auto to = static_cast<size_t>(layout.areaStarts[i + 1]);
    if (unit.size() - offset != to - from) return false;
    std::copy(slots.begin() + static_cast<std::ptrdiff_t>(from),
              slots.begin() + static_cast<std::ptrdiff_t>(to),
              unit.begin() + static_cast<std::ptrdiff_t>(offset));
    SetMainDataBegin(unit, layout.begins[i]);
  }
  runStart_ = cut;
  return true;
}

bool Mp3FrameJoiner::WriteTagOnce() {
  if (tagWritten_) return true;
  tagWritten_ = true;
  return tags_.WriteId3v2(out_);
}

bool Mp3FrameJoiner::WriteOldest() {
  const std::vector<uint8_t>& frame = unwritten_.front();
  if (!WriteTagOnce() || !out_.Write(frame.data(), frame.size())) return false;
  unwritten_.pop_front();
  ++unwrittenFirst_;
  return true;
}

bool Mp3FrameJoiner::Emit(std::vector<uint8_t>& unit, int64_t frame) {
  if (unwritten_.empty()) unwrittenFirst_ = frame;
  unwritten_.push_back(std::move(unit));
  while (unwritten_.size() > unwrittenLimit_) {
    if (!WriteOldest()) return false;
  }
  return true;
}

bool Mp3FrameJoiner::Close(int64_t, int64_t) {
  while (!unwritten_.empty()) {
    if (!WriteOldest()) return false;
  }
  return WriteTagOnce() && tags_.WriteId3v1(out_) && !out_.Failed();
}

}  // namespace sonorell
