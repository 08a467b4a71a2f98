#pragma once

// Sources with cover pictures and extra tags, written by third-party tools (ffmpeg, metaflac,
// opusenc, oggenc and python3-mutagen), and the images they carry.
#include <string>

#include "tests/support/decoding.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// Runs a Python script under MutagenPython in folder; false when it fails.
inline bool RunMutagen(const std::string& folder, const std::string& script) {
  const std::string python = MutagenPython();
  if (python.empty()) return false;
  return CommandOutput("cd " + ShellQuote(folder) + " && " + python + " -c " + ShellQuote(script))
      .has_value();
}

inline bool RunIn(const std::string& folder, const std::string& command) {
  return CommandOutput("cd " + ShellQuote(folder) + " && " + command).has_value();
}

// tone.wav (one second of 16-bit stereo), front.jpg and back.png in folder.
inline bool MakeToneAndImages(const std::string& folder) {
  return RunIn(folder, "sox -n -b 16 -r 44100 -c 2 tone.wav synth 1 sine 440") &&
         RunIn(folder,
               "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=64x48 -frames:v 1 "
               "front.jpg") &&
         RunIn(folder,
               "ffmpeg -nostdin -v error -y -f lavfi -i testsrc=size=32x32 -frames:v 1 "
               "back.png");
}

}  // namespace sonorell::testing
