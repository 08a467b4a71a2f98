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

// ASCII letters compared without case; a text shorter than prefix never starts with it.
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    const char c = text[i];
    const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    if (upper != prefix[i]) return false;
  }
  return true;
}

}  // namespace

bool IsReplayGainName(std::string_view name) {
  return StartsWithIgnoringCase(name, "REPLAYGAIN_");
}

bool IsR128GainName(std::string_view name) {
  return name.size() == 15 && (StartsWithIgnoringCase(name, "R128_TRACK_GAIN") ||
                               StartsWithIgnoringCase(name, "R128_ALBUM_GAIN"));
}

std::string ReplayGainText(const Loudness& loudness) {
  double gain = kReplayGainReferenceLufs - loudness.lufs;
  if (std::fabs(gain) < 0.005) gain = 0.0;  // no "-0.00"
  return (gain >= 0 ? "+" : "") + FixedText(gain, 2) + " dB";
}

std::string ReplayGainPeakText(const Loudness& loudness) {
  return FixedText(std::max(0.0, loudness.peak), 6);
}

std::vector<ReplayGainItem> ReplayGainItems(const GainTags& gains) {
  std::vector<ReplayGainItem> items;
  if (gains.track) {
    items.push_back(
        {"REPLAYGAIN_TRACK_GAIN", "replaygain_track_gain", ReplayGainText(*gains.track)});
    items.push_back(
        {"REPLAYGAIN_TRACK_PEAK", "replaygain_track_peak", ReplayGainPeakText(*gains.track)});
  }
  if (gains.album) {
    items.push_back(
        {"REPLAYGAIN_ALBUM_GAIN", "replaygain_album_gain", ReplayGainText(*gains.album)});
    items.push_back(
        {"REPLAYGAIN_ALBUM_PEAK", "replaygain_album_peak", ReplayGainPeakText(*gains.album)});
  }
  return items;
}

std::string R128GainText(const Loudness& loudness) {
  const double steps = std::round((kR128ReferenceLufs - loudness.lufs) * 256.0);
  return std::to_string(static_cast<int>(std::clamp(steps, -32768.0, 32767.0)));
}

}  // namespace sonorell
