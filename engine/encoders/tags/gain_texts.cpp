#include "engine/encoders/tags/gain_texts.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace sonorell {
namespace {

std::string FixedText(double value, int decimals) {
  char text[64];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, end) : std::string("0");
}

}  // namespace

std::string ReplayGainText(const Loudness& loudness) {
  double gain = kReplayGainReferenceLufs - loudness.lufs;
  if (std::fabs(gain) < 0.005) gain = 0.0;  // no "-0.00"
  return (gain >= 0 ? "+" : "") + FixedText(gain, 2) + " dB";
}

std::string ReplayGainPeakText(const Loudness& loudness) {
  return FixedText(std::max(0.0, loudness.peak), 6);
}

std::string R128GainText(const Loudness& loudness) {
  const double steps = std::round((kR128ReferenceLufs - loudness.lufs) * 256.0);
  return std::to_string(static_cast<int>(std::clamp(steps, -32768.0, 32767.0)));
}

}  // namespace sonorell
