#pragma once

#include <string>
#include <vector>

#include "engine/encoders/tags/tag_record.h"

namespace sonorell {

// One "NAME=value" comment of the Vorbis comment block that Ogg Vorbis, FLAC and Opus
// files carry; the value is UTF-8.
struct CommentField {
  const char* name;
  std::string value;
};

// The record's texts as comments, in a fixed order: empty texts are left out, and the
// track only when it holds a track number.
std::vector<CommentField> VorbisCommentFields(const TagRecord& tags);

}  // namespace sonorell
