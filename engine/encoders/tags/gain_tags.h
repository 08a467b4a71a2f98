#pragma once

#include <optional>
#include <string>

namespace sonorell {

// The loudness of a track, and of the album it was converted with, as measured on the
// output's own samples (after gain and channel mixing): EBU R128 integrated loudness in
// LUFS and the linear sample peak (1.0 is full scale).
struct Loudness {
  double lufs = 0.0;
  double peak = 0.0;

  bool operator==(const Loudness&) const = default;
};

// The gains an output is tagged with. A missing track or album value writes no tags of it.
struct GainTags {
  std::optional<Loudness> track;
  std::optional<Loudness> album;

  bool operator==(const GainTags&) const = default;
};

// Edits a finished output of one format so that it carries exactly these gain tags (any it
// had are replaced): in place where the file has room, else by writing a temporary file
// beside it and renaming that over it, so the file is never left half-written. False, with
// a failure note, when the file could not be edited; it is then unchanged.
using GainTagWriter = bool (*)(const std::string& path, const GainTags& gains);

}  // namespace sonorell
