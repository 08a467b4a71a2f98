#include "engine/encoders/tags/vorbis_comment_fields.h"

#include <array>
#include <utility>

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

}  // namespace sonorell
