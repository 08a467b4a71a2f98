#pragma once

#include <cstdlib>
#include <optional>
#include <string>

#include "tests/support/decoding.h"

namespace sonorell::testing {

// ffmpeg's EBU R128 measure of a file (its ebur128 filter's summary): the integrated
// loudness in LUFS and the sample peak in dBFS.
struct Ebur128Summary {
  double integrated = 0;
  double peakDb = 0;
};

inline std::optional<Ebur128Summary> FfmpegEbur128(const std::string& path) {
  const std::optional<std::string> log =
      CommandOutput("ffmpeg -nostats -hide_banner -i " + ShellQuote(path) +
                    " -af ebur128=peak=sample -f null - 2>&1 | sed -n '/Summary:/,$p'");
  if (!log) return std::nullopt;
  // The number after a label, as in "    I:         -23.4 LUFS".
  const auto after = [&](const char* label) -> std::optional<double> {
    const size_t at = log->find(label);
    if (at == std::string::npos) return std::nullopt;
    const char* start = log->c_str() + at + std::string(label).size();
    char* end = nullptr;
    const double value = std::strtod(start, &end);
    if (end == start) return std::nullopt;
    return value;
  };
  const std::optional<double> integrated = after("I:");
  const std::optional<double> peak = after("Peak:");
  if (!integrated || !peak) return std::nullopt;
  return Ebur128Summary{*integrated, *peak};
}

}  // namespace sonorell::testing
