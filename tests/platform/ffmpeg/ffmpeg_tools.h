#pragma once

// What the ffmpeg and ffprobe programs make of a file: the reference the FFmpeg-backed
// decoders are held against, and the writer of test inputs no other tool makes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/decoding.h"

namespace sonorell::testing {

// Runs "ffmpeg -nostdin -v error -y ARGS OUT"; true when it wrote OUT.
inline bool MakeWithFfmpeg(const std::string& args, const std::string& out) {
  return CommandOutput("ffmpeg -nostdin -v error -y " + args + " " + ShellQuote(out)).has_value() &&
         std::filesystem::exists(out);
}

// The raw bytes ffmpeg writes for a file's audio in a raw format such as "s16le", "f32le",
// "s32le". before goes before -i (decoder options), after before the format (-map, -ac).
inline std::optional<std::string> FfmpegRaw(const std::string& path, const std::string& format,
                                            const std::string& before = "",
                                            const std::string& after = "") {
  return CommandOutput("ffmpeg -nostdin -v error " + before + " -i " + ShellQuote(path) + " " +
                       after + " -f " + format + " -");
}

inline std::optional<std::vector<int16_t>> FfmpegS16(const std::string& path,
                                                     const std::string& before = "",
                                                     const std::string& after = "") {
  const auto raw = FfmpegRaw(path, "s16le", before, after + " -acodec pcm_s16le");
  if (!raw) return std::nullopt;
  std::vector<int16_t> samples(raw->size() / 2);
  std::memcpy(samples.data(), raw->data(), samples.size() * 2);
  return samples;
}

// One value of ffprobe's report, e.g. Ffprobe(path, "format=duration") or
// Ffprobe(path, "stream=channels", "a:0").
inline std::optional<std::string> Ffprobe(const std::string& path, const std::string& entry,
                                          const std::string& streams = "") {
  const std::string select = streams.empty() ? "" : " -select_streams " + streams;
  auto out = CommandOutput("ffprobe -v error" + select + " -show_entries " + entry +
                           " -of default=nw=1:nk=1 " + ShellQuote(path));
  if (!out) return std::nullopt;
  while (!out->empty() && (out->back() == '\n' || out->back() == '\r')) out->pop_back();
  const size_t nl = out->find('\n');
  if (nl != std::string::npos) out->resize(nl);
  if (out->empty() || *out == "N/A") return std::nullopt;
  return out;
}

inline std::optional<double> FfprobeNumber(const std::string& path, const std::string& entry,
                                           const std::string& streams = "") {
  const auto text = Ffprobe(path, entry, streams);
  if (!text) return std::nullopt;
  char* end = nullptr;
  const double v = std::strtod(text->c_str(), &end);
  if (end == text->c_str()) return std::nullopt;
  return v;
}

// Seconds of sound ffprobe decodes from the first audio stream (its frames' sample counts).
inline std::optional<double> FfprobeDecodedSeconds(const std::string& path) {
  const auto out = CommandOutput(
      "ffprobe -v error -select_streams a:0 -show_entries "
      "frame=nb_samples -of csv=p=0 " +
      ShellQuote(path));
  const auto rate = FfprobeNumber(path, "stream=sample_rate", "a:0");
  if (!out || !rate || *rate <= 0) return std::nullopt;
  std::istringstream in(*out);
  long long total = 0;
  for (long long n; in >> n;) total += n;
  return static_cast<double>(total) / *rate;
}

// Largest difference between two sample sequences of equal length.
inline int MaxAbsDiff(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < a.size() && i < b.size(); ++i) {
    worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
  }
  return worst;
}

}  // namespace sonorell::testing

#define SONORELL_REQUIRE_FFMPEG()     \
  do {                                \
    SONORELL_REQUIRE_TOOL("ffmpeg");  \
    SONORELL_REQUIRE_TOOL("ffprobe"); \
  } while (0)
