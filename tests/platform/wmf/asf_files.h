#pragma once

// ASF files (WMA v1/v2, WMV with sound) made by ffmpeg, for the Windows Media tests.
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/decoding.h"

namespace sonorell::testing {

// A tone of seconds at rate Hz and channels, encoded by ffmpeg with codec (wmav1, wmav2,
// pcm_s16le) into an ASF file, with extra ffmpeg output options (-metadata ...).
inline bool MakeAsfAudio(const std::string& path, const std::string& codec, int rate, int channels,
                         double seconds, const std::string& extra = "") {
  return CommandOutput(
             "ffmpeg -nostdin -v error -y -f lavfi -i \"sine=f=440:r=" + std::to_string(rate) +
             ":d=" + std::to_string(seconds) + "\" -ac " + std::to_string(channels) + " -c:a " +
             codec + " " + extra + " -f asf " + ShellQuote(path))
      .has_value();
}

// A WMV: a small moving picture first, then the tone in WMA v2.
inline bool MakeWmv(const std::string& path, double seconds) {
  const std::string d = std::to_string(seconds);
  return CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48:rate=10:d=" + d +
                       " -f lavfi -i \"sine=f=440:r=44100:d=" + d +
                       "\" -map 0:v -map 1:a -c:v wmv2 -c:a wmav2 -f asf " + ShellQuote(path))
      .has_value();
}

// A text as ASF stores it: UTF-16LE with its terminator.
inline std::vector<uint8_t> Utf16z(const std::u16string& text) {
  std::vector<uint8_t> b;
  for (const char16_t c : text) {
    b.push_back(static_cast<uint8_t>(c));
    b.push_back(static_cast<uint8_t>(c >> 8));
  }
  b.push_back(0);
  b.push_back(0);
  return b;
}

// The length ffprobe gives an ASF file, in seconds; negative when it cannot.
inline double FfprobeSeconds(const std::string& path) {
  const auto out = CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                 ShellQuote(path));
  return out && !out->empty() ? std::stod(*out) : -1.0;
}

}  // namespace sonorell::testing
