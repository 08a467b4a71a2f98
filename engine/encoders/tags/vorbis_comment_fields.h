#pragma once

#include <string>
#include <vector>

#include "engine/encoders/tags/cover_picture.h"
#include "engine/encoders/tags/extra_tags.h"
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

// The extras' texts as ALBUMARTIST, DISCNUMBER, DISCTOTAL and TRACKTOTAL comments; empty
// texts are left out. The picture is not among them: FLAC carries it as a block of its own.
std::vector<CommentField> VorbisExtraFields(const ExtraTags& extras);

// The cover as Ogg Vorbis and Opus files carry it: a METADATA_BLOCK_PICTURE comment holding
// FLAC's picture block in base64.
CommentField PictureCommentField(const CoverPicture& cover);

// Everything the comment header of an Ogg Vorbis or Opus output holds: the texts (when tags
// are written), the extras' texts, then the cover's picture comment.
std::vector<CommentField> OggCommentFields(const TagRecord* tags, const ExtraTags& extras);

}  // namespace sonorell
