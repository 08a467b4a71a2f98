#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "engine/dsp/loudness_histogram.h"
#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// One converted file of a run as the album gain sees it.
struct AlbumTrack {
  size_t index = 0;    // the file's index in the run
  std::string source;  // its album is the folder of its source
  std::string target;  // the committed output
  LoudnessHistogram loudness;
  double peak = 0.0;
};

// A file whose album gain could not be written, and why.
struct AlbumGainFailure {
  size_t index = 0;
  std::string note;
};

// The album of a run's files is the folder of their sources: the files of one folder
// converted together. Each album's loudness is that of all its files' blocks together and
// its peak their largest; every file of it is then tagged with its own track gain and the
// album's, through writeGains on a copy that replaces the committed output once complete,
// so a killed run never leaves one half-edited. A file of an album
// without measurable loudness (silence throughout) keeps the tags it has.
std::vector<AlbumGainFailure> WriteAlbumGains(const std::vector<AlbumTrack>& tracks,
                                              GainTagWriter writeGains);

}  // namespace sonorell
