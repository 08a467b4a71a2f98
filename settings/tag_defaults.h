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

  bool operator==(const TagDefaults&) const = default;
};

}  // namespace sonorell
