#include "engine/encoders/tags/vorbis_comment_fields.h"

#include <array>
#include <utility>

#include "engine/encoders/tags/base64_text.h"
#include "engine/encoders/tags/flac_picture_block.h"
#include "engine/encoders/tags/track_number.h"
#include "engine/encoders/tags/utf8_tag_text.h"

namespace sonorell {

std::vector<CommentField> VorbisCommentFields(const TagRecord& tags) {
  const std::array<std::pair<const char*, const std::string*>, 9> texts{{
      {"TITLE", &tags.title},
      {"ARTIST", &tags.artist},
      {"ALBUM", &tags.album},
      {"DATE", &tags.year},
      {"GENRE", &tags.genre},
      {"COMMENT", &tags.comment},
      {"COMPOSER", &tags.composer},
      {"COPYRIGHT", &tags.copyright},
      {"TRACKNUMBER", TrackNumberValue(tags.track) > 0 ? &tags.track : nullptr},
  }};
  std::vector<CommentField> fields;
  for (const auto& [name, text] : texts) {
    if (text == nullptr) continue;
    if (std::optional<std::string> utf8 = Utf8TagText(*text)) {
      fields.push_back({name, std::move(*utf8)});
    }
  }
  return fields;
}

std::vector<CommentField> VorbisExtraFields(const ExtraTags& extras) {
  const std::array<std::pair<const char*, const std::string*>, 4> texts{{
      {"ALBUMARTIST", &extras.albumArtist},
      {"DISCNUMBER", &extras.disc},
      {"DISCTOTAL", &extras.discTotal},
      {"TRACKTOTAL", &extras.trackTotal},
  }};
  std::vector<CommentField> fields;
  for (const auto& [name, text] : texts) {
    if (!text->empty()) fields.push_back({name, *text});
  }
  return fields;
}

CommentField PictureCommentField(const CoverPicture& cover) {
  return {"METADATA_BLOCK_PICTURE", Base64Text(FlacPictureBlock(cover))};
}

std::vector<CommentField> OggCommentFields(const TagRecord* tags, const ExtraTags& extras) {
  std::vector<CommentField> fields;
  if (tags != nullptr) fields = VorbisCommentFields(*tags);
  for (CommentField& field : VorbisExtraFields(extras)) fields.push_back(std::move(field));
  if (extras.cover) fields.push_back(PictureCommentField(*extras.cover));
  return fields;
}

}  // namespace sonorell
