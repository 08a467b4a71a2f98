#pragma once

#include <optional>
#include <string>

#include "settings/settings.h"

namespace sonorell {

// Output options given on the command line; they replace the stored options of the chosen
// format for one run and are never saved.
struct FormatOverrides {
  std::optional<int> rate;      // Hz
  std::optional<int> bits;      // 8 or 16
  std::optional<int> channels;  // 1 mono, 2 stereo
  std::optional<int> gain;      // percent
  std::optional<int> bitrate;   // kbps (MP3: constant, Ogg Vorbis: nominal, Opus: target)
  // An entry of the page's "Encoding Options" list: "auto", "low", "ok", "medium", "cd",
  // or its number 0 .. 4 in that order.
  std::optional<std::string> quality;
  // Opus only: "vbr", "cvbr" or "cbr", and the encoder's complexity 0 .. 10.
  std::optional<std::string> rateControl;
  std::optional<int> complexity;
  bool Any() const {
    return rate || bits || channels || gain || bitrate || quality || rateControl || complexity;
  }
};

// Checks the values against the limits of the format's option page and applies them.
// False with a message when a value is refused.
bool ApplyFormatOverrides(Settings& settings, int outputFormat, const FormatOverrides& overrides,
                          std::string& error);

}  // namespace sonorell
