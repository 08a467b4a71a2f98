#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace sonorell {

// BS.1770 loudness and the mean square energy it is taken from, both ways; silence (energy 0)
// is -infinity LUFS.
double EnergyOfLufs(double lufs);
double LufsOfEnergy(double energy);

// The 400 ms loudness blocks of EBU R128 (taken every 100 ms), counted by level in steps of
// 1/100 LU. Integrated loudness needs every block of a programme, but only their levels:
// the counts are all one file hands on, and the counts of several files merged give the
// loudness of their album. A level is off by at most half a step (0.005 LU).
class LoudnessHistogram {
 public:
  // One block's loudness in LUFS; blocks below the absolute gate (-70 LUFS) are not kept.
  void Add(double blockLufs);
  void Merge(const LoudnessHistogram& other);
  bool Empty() const { return counts_.empty(); }

  // BS.1770 gated loudness: the blocks above -70 LUFS and above 10 LU under their mean.
  // Nothing when no block passes (silence, or less than 400 ms of audio).
  std::optional<double> Integrated() const;

  // "step:count" pairs joined by commas, and back; nothing for text that is no histogram.
  std::string Text() const;
  static std::optional<LoudnessHistogram> FromText(std::string_view text);

  bool operator==(const LoudnessHistogram&) const = default;

 private:
  std::map<int, uint64_t> counts_;  // level in 1/100 LU -> blocks
};

}  // namespace sonorell
