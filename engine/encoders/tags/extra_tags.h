#pragma once

#include <optional>
#include <string>

#include "engine/encoders/tags/cover_picture.h"

namespace sonorell {

// What an output carries beside the nine texts of TagRecord. The texts are UTF-8 and any of
// them may be empty; numbers are kept as the decimal text the source held ("2", not "2/3").
struct ExtraTags {
  std::string albumArtist;
  std::string disc;        // the disc's number within the set
  std::string discTotal;   // discs in the set
  std::string trackTotal;  // tracks on the disc
  std::optional<CoverPicture> cover;

  bool operator==(const ExtraTags&) const = default;
};

}  // namespace sonorell
