#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

namespace sonorell::testing {

// The largest difference of any sample between two decodes of the same audio (interleaved
// 16-bit samples of channels), over frames [from, to) of a against the frames of b that lie
// shift frames later; frames either decode lacks are left out.
inline int LargestDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b,
                             int channels, int64_t from, int64_t to, int64_t shift = 0) {
  const auto c = static_cast<int64_t>(channels);
  const int64_t aFrames = static_cast<int64_t>(a.size()) / c;
  const int64_t bFrames = static_cast<int64_t>(b.size()) / c;
  from = std::max<int64_t>({from, 0, -shift});
  to = std::min({to, aFrames, bFrames - shift});
  int largest = 0;
  for (int64_t i = from * c; i < to * c; ++i) {
    largest = std::max(largest,
                       std::abs(a[static_cast<size_t>(i)] - b[static_cast<size_t>(i + shift * c)]));
  }
  return largest;
}

// How a file encoded in chunks differs from its single-pass encode: the largest difference
// within window frames either side of every join (a multiple of every frames, after the
// offset frames a decode keeps before the audio, such as an encoder delay), and the largest
// anywhere else.
struct JoinDifferences {
  int atJoins = 0;
  int elsewhere = 0;
  int joins = 0;
};

inline JoinDifferences MeasureJoins(const std::vector<int16_t>& split,
                                    const std::vector<int16_t>& single, int channels, int64_t every,
                                    int64_t window, int64_t offset = 0) {
  JoinDifferences d;
  const int64_t frames = static_cast<int64_t>(std::min(split.size(), single.size())) / channels;
  int64_t outside = 0;  // where the audio outside the join windows begins
  for (int64_t join = offset + every; join < frames; join += every) {
    d.elsewhere =
        std::max(d.elsewhere, LargestDifference(split, single, channels, outside, join - window));
    d.atJoins = std::max(d.atJoins,
                         LargestDifference(split, single, channels, join - window, join + window));
    outside = join + window;
    ++d.joins;
  }
  d.elsewhere = std::max(d.elsewhere, LargestDifference(split, single, channels, outside, frames));
  return d;
}

}  // namespace sonorell::testing
