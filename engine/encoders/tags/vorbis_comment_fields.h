#pragma once

#include <string>
#include <vector>

#include "engine/encoders/tags/tag_record.h"

namespace sonorell {

// One comment of an Ogg stream's comment header (Vorbis and Opus share the format).
struct VorbisCommentField {
  const char* name;  // TITLE, ARTIST, ...
  std::string text;  // UTF-8
};

// The comments a tag record becomes, in this order: TITLE, ARTIST, ALBUM, DATE, GENRE,
// COMMENT, COMPOSER, COPYRIGHT, TRACKNUMBER, each text converted from the system code page
// to UTF-8 (characters that do not convert become replacement characters). Empty texts are
// left out, the track number when its value is not above 0.
std::vector<VorbisCommentField> VorbisCommentFields(const TagRecord& tags);

}  // namespace sonorell
