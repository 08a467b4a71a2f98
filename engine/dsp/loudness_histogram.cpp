#include "engine/dsp/loudness_histogram.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sonorell {
namespace {

constexpr double kAbsoluteGateLufs = -70.0;
constexpr double kRelativeGateLu = 10.0;
constexpr int kStepsPerLu = 100;
// Levels beyond any real programme are kept at this bound, so a hostile text cannot make
// the energy sums overflow.
constexpr int kHighestStep = 30 * kStepsPerLu;

double LevelOf(int step) {
  return static_cast<double>(step) / kStepsPerLu;
}

// The mean loudness of the blocks at or above `gateLufs`; nothing when none is.
std::optional<double> GatedMean(const std::map<int, uint64_t>& counts, double gateLufs) {
  double energy = 0.0;
  uint64_t blocks = 0;
  for (const auto& [step, count] : counts) {
    if (LevelOf(step) < gateLufs) continue;
    energy += EnergyOfLufs(LevelOf(step)) * static_cast<double>(count);
    blocks += count;
  }
  if (blocks == 0) return std::nullopt;
  return LufsOfEnergy(energy / static_cast<double>(blocks));
}

}  // namespace

double EnergyOfLufs(double lufs) {
  return std::pow(10.0, (lufs + 0.691) / 10.0);
}
double LufsOfEnergy(double energy) {
  return -0.691 + 10.0 * std::log10(energy);
}

void LoudnessHistogram::Add(double blockLufs) {
  if (!(blockLufs >= kAbsoluteGateLufs)) return;  // also NaN and -inf (digital silence)
  const double steps = std::round(blockLufs * kStepsPerLu);
  ++counts_[steps > kHighestStep ? kHighestStep : static_cast<int>(steps)];
}

void LoudnessHistogram::Merge(const LoudnessHistogram& other) {
  for (const auto& [step, count] : other.counts_) counts_[step] += count;
}

std::optional<double> LoudnessHistogram::Integrated() const {
  const std::optional<double> ungated = GatedMean(counts_, kAbsoluteGateLufs);
  if (!ungated) return std::nullopt;
  return GatedMean(counts_, std::max(kAbsoluteGateLufs, *ungated - kRelativeGateLu));
}

std::string LoudnessHistogram::Text() const {
  std::string text;
  for (const auto& [step, count] : counts_) {
    if (!text.empty()) text += ',';
    text += std::to_string(step) + ':' + std::to_string(count);
  }
  return text;
}

std::optional<LoudnessHistogram> LoudnessHistogram::FromText(std::string_view text) {
  LoudnessHistogram histogram;
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view pair = text.substr(0, comma);
    const size_t colon = pair.find(':');
    if (colon == std::string_view::npos) return std::nullopt;
    int step = 0;
    uint64_t count = 0;
    const char* stepEnd = pair.data() + colon;
    const char* countEnd = pair.data() + pair.size();
    const auto [stepStop, stepError] = std::from_chars(pair.data(), stepEnd, step);
    const auto [countStop, countError] = std::from_chars(stepEnd + 1, countEnd, count);
    if (stepError != std::errc() || stepStop != stepEnd || countError != std::errc() ||
        countStop != countEnd || step < kAbsoluteGateLufs * kStepsPerLu || step > kHighestStep ||
        count == 0) {
      return std::nullopt;
    }
    histogram.counts_[step] += count;
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
  }
  return histogram;
}

}  // namespace sonorell
