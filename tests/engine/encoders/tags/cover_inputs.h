#pragma once

// Sources with cover pictures and extra tags, written by third-party tools (ffmpeg, metaflac,
// opusenc, oggenc and python3-mutagen), and the images they carry.
#include <string>

#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// A Python that imports mutagen (Debian's python3-mutagen is for /usr/bin/python3, which a
// python3 earlier on PATH may not see); empty when there is none.
inline std::string MutagenPython() {
  for (const char* python : {"python3", "/usr/bin/python3"}) {
    if (CommandOutput(std::string(python) + " -c 'import mutagen'")) return python;
  }
  return {};
}

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
