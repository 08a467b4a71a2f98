#include "engine/encoders/mp3/reservoir_layout.h"

#include <algorithm>

namespace sonorell {
namespace {

// The layout with the given frames padded, or nullopt.
std::optional<RunLayout> TryLayout(std::span<const RunFrame> frames, int maxBegin,
                                   const std::vector<bool>& pad) {
  RunLayout layout;
  if (frames.empty()) return layout;
  layout.end = frames.size();
  int area = 0;     // the current slot's main-data start
  int dataEnd = 0;  // where the data laid so far ends
  for (size_t i = 0; i < frames.size(); ++i) {
    const RunFrame& frame = frames[i];
    const int areaEnd = area + frame.areaBytes + (pad[i] ? 1 : 0);
    int start = area - frame.ownBegin;
    if (i > 0) {
      // Its own placement, when the data before it ends in time and it begins within the
      // run's slots (the bytes it takes from before its slot are copied there).
      if (frame.mayKeepOwn && dataEnd <= start && start >= 0) {
        layout.end = i;
        layout.areaStarts.push_back(area);
        return layout;
      }
      start = std::max({dataEnd, area - maxBegin, 0});
    }
    if (start > area || start + frame.dataBytes > areaEnd) return std::nullopt;
    layout.begins.push_back(area - start);
    layout.padded.push_back(pad[i]);
    layout.areaStarts.push_back(area);
    dataEnd = start + frame.dataBytes;
    area = areaEnd;
  }
  layout.areaStarts.push_back(area);
  return layout;
}

}  // namespace

std::optional<RunLayout> LayOutRun(std::span<const RunFrame> frames, int maxBegin,
                                   std::span<const size_t> padOrder) {
  std::vector<bool> pad(frames.size(), false);
  for (size_t used = 0;; ++used) {
    if (auto layout = TryLayout(frames, maxBegin, pad)) return layout;
    // One more byte where it helps most: the next unpadded frame in the caller's order.
    while (used < padOrder.size() &&
           (padOrder[used] >= frames.size() || frames[padOrder[used]].padded)) {
      ++used;
    }
    if (used >= padOrder.size()) return std::nullopt;
    pad[padOrder[used]] = true;
  }
}

}  // namespace sonorell
