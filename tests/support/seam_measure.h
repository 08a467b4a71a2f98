#pragma once

// How seamless a long file encoded in chunks is: its decode is compared with the decode of
// a single-pass encode of the same audio. Lossy encoders that start afresh make different
// choices from the first join on, so the two decodes differ a little everywhere; a click at a
// join shows as a difference there far beyond the difference elsewhere.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/decoding.h"

namespace sonorell::testing {

// The file's audio as ffmpeg decodes it: interleaved 32-bit floats at the file's own rate
// and channel count (encoder delay and end trimming applied as the container says).
inline std::optional<std::vector<float>> FfmpegFloats(const std::string& path) {
  const std::optional<std::string> raw = CommandOutput(
      "ffmpeg -v error -nostdin -i " + ShellQuote(path) + " -f f32le -acodec pcm_f32le -");
  if (!raw) return std::nullopt;
  std::vector<float> samples(raw->size() / sizeof(float));
  std::memcpy(samples.data(), raw->data(), samples.size() * sizeof(float));
  return samples;
}

struct SeamReport {
  double worstAtJoins = 0;    // the largest difference within the windows around the joins
  double worstElsewhere = 0;  // the largest difference in every other window of that size
};

// Compares two decodes of channels interleaved at rate, in windows of ±window seconds
// around each join and in the windows of the same size between them (the first and last
// window of the file, where encoders start and end, are left out of both).
inline SeamReport CompareAtJoins(const std::vector<float>& a, const std::vector<float>& b,
                                 int channels, int rate, const std::vector<double>& joins,
                                 double window = 0.05) {
  SeamReport report;
  const size_t frames = std::min(a.size(), b.size()) / static_cast<size_t>(channels);
  const auto span = static_cast<size_t>(window * rate);
  const auto worstIn = [&](size_t from, size_t to) {
    double worst = 0;
    for (size_t f = from; f < std::min(to, frames); ++f) {
      for (int c = 0; c < channels; ++c) {
        const size_t i = f * static_cast<size_t>(channels) + static_cast<size_t>(c);
        worst = std::max(worst, static_cast<double>(std::fabs(a[i] - b[i])));
      }
    }
    return worst;
  };
  std::vector<bool> atJoin(frames / (2 * span) + 1, false);
  for (const double join : joins) {
    const auto centre = static_cast<size_t>(join * rate);
    if (centre < span || centre + span > frames) continue;
    report.worstAtJoins = std::max(report.worstAtJoins, worstIn(centre - span, centre + span));
    for (size_t w = (centre - span) / (2 * span); w <= (centre + span) / (2 * span); ++w) {
      if (w < atJoin.size()) atJoin[w] = true;
    }
  }
  for (size_t w = 1; w + 1 < atJoin.size(); ++w) {
    if (!atJoin[w]) {
      report.worstElsewhere =
          std::max(report.worstElsewhere, worstIn(w * 2 * span, (w + 1) * 2 * span));
    }
  }
  return report;
}

// The joins of a file cut every chunkSeconds: each multiple below its length.
inline std::vector<double> JoinTimes(double lengthSeconds, double chunkSeconds) {
  std::vector<double> joins;
  for (double t = chunkSeconds; t < lengthSeconds; t += chunkSeconds) joins.push_back(t);
  return joins;
}

}  // namespace sonorell::testing
