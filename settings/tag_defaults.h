#pragma once

#include <string>

namespace sonorell {

// The user's default tag texts for one tagging output family (MP3, OGG, WMA, M4A).
// Persisted in the sub-key named after the family followed by "Tag".
struct TagDefaults {
  int TitleAsFileName = 1;
  std::string Title;
  std::string Artist;
  std::string Album;
  std::string Year;
  std::string Genre;
  std::string Comment;
  std::string Composer;
  std::string Copyright;
  int TrackNumType = 0;
  int CustomTrackNum = 0;
  // Beyond the texts: whether the source's cover picture is carried to the output (1) or
  // not (0); the picture written with the defaults in Add mode (a path; empty: the carried
  // one, if any); and the ReplayGain tags written: 0 none, 1 the track's, 2 the track's and
  // the album's (the files of one folder converted together).
  int CarryCover = 1;
  std::string CoverPicture;
  int ReplayGain = 0;

  bool operator==(const TagDefaults&) const = default;
};

}  // namespace sonorell
