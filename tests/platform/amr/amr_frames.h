#pragma once

// Reading AMR and AMR-WB storage files (the "#!AMR\n" / "#!AMR-WB\n" magic, then frames
// of one header byte and a payload whose size the frame type gives) frame by frame.

#include <array>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace sonorell::testing {

inline constexpr int kAmrNbSid = 8;
inline constexpr int kAmrWbSid = 9;
inline constexpr int kAmrNoData = 15;

struct AmrFrames {
  bool ok = false;  // the magic, then whole frames with valid headers up to the last byte
  std::string problem;
  std::vector<int> types;  // frame type of every frame, in order

  int Count(int type) const {
    int n = 0;
    for (const int t : types) n += t == type;
    return n;
  }
  // Frames that carry speech (types below the SID type).
  int SpeechFrames(bool wideBand) const {
    int n = 0;
    for (const int t : types) n += t < (wideBand ? kAmrWbSid : kAmrNbSid);
    return n;
  }
  // True when every speech frame is of this mode.
  bool SpeechAllOfMode(int mode, bool wideBand) const {
    for (const int t : types) {
      if (t < (wideBand ? kAmrWbSid : kAmrNbSid) && t != mode) return false;
    }
    return true;
  }
};

inline AmrFrames WalkAmrFrames(const std::string& bytes, bool wideBand) {
  // Payload bytes per frame type; -1 for types a storage file never holds.
  static constexpr std::array<int, 16> kNb{12, 13, 15, 17, 19, 20, 26, 31,
                                           5,  -1, -1, -1, -1, -1, -1, 0};
  static constexpr std::array<int, 16> kWb{17, 23, 32, 36, 40, 46, 50, 58,
                                           60, 5,  -1, -1, -1, -1, 0,  0};
  AmrFrames f;
  const std::string magic = wideBand ? "#!AMR-WB\n" : "#!AMR\n";
  if (bytes.compare(0, magic.size(), magic) != 0) {
    f.problem = "no " + std::string(wideBand ? "AMR-WB" : "AMR") + " magic";
    return f;
  }
  size_t at = magic.size();
  while (at < bytes.size()) {
    const auto header = static_cast<uint8_t>(bytes[at]);
    const int type = (header >> 3) & 0x0F;
    const int size = (wideBand ? kWb : kNb)[static_cast<size_t>(type)];
    // The follow bit and the two padding bits are zero in storage files.
    if (size < 0 || (header & 0x83) != 0) {
      f.problem = "bad frame header " + std::to_string(header) + " at byte " + std::to_string(at);
      return f;
    }
    if (at + 1 + static_cast<size_t>(size) > bytes.size()) {
      f.problem = "the last frame is cut short";
      return f;
    }
    f.types.push_back(type);
    at += 1 + static_cast<size_t>(size);
  }
  f.ok = true;
  return f;
}

// Energy of a signal at one frequency: a single DFT bin over the whole signal.
inline double ToneEnergy(const std::vector<int16_t>& samples, int rate, double hz) {
  double re = 0;
  double im = 0;
  const double w = 2 * M_PI * hz / rate;
  for (size_t i = 0; i < samples.size(); ++i) {
    re += samples[i] * std::cos(w * static_cast<double>(i));
    im += samples[i] * std::sin(w * static_cast<double>(i));
  }
  return (re * re + im * im) / static_cast<double>(samples.size() ? samples.size() : 1);
}

inline double Rms(const std::vector<int16_t>& samples) {
  double sum = 0;
  for (const int16_t v : samples) sum += double(v) * v;
  return samples.empty() ? 0 : std::sqrt(sum / static_cast<double>(samples.size()));
}

}  // namespace sonorell::testing
