#pragma once

#include <string>

#include "engine/encoders/tags/extra_tags.h"

namespace sonorell {

// What a source holds beside its nine texts, read from its headers on the path (no decoder
// runs): the album artist, the disc number and the track and disc totals from "n/N" numbers
// or their own fields (TRACKTOTAL, TOTALTRACKS, DISCTOTAL, TOTALDISCS), and, with
// withCover, its cover picture: the front cover when it has one, else its first picture.
// A picture the source holds that cannot be carried leaves cover empty and says why in
// coverNote; a source without pictures leaves both empty.
ExtraTags ReadSourceExtras(const std::string& sourcePath, bool withCover, std::string& coverNote);

}  // namespace sonorell
