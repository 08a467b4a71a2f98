#include "engine/encoders/tags/vorbis_comment_fields.h"

#include "engine/encoders/tags/track_number.h"
#include "platform/text/text_conversion.h"

namespace sonorell {

std::vector<VorbisCommentField> VorbisCommentFields(const TagRecord& tags) {
  const struct {
    const char* name;
    const std::string& text;
  } rows[] = {
      {"TITLE", tags.title},       {"ARTIST", tags.artist},       {"ALBUM", tags.album},
      {"DATE", tags.year},         {"GENRE", tags.genre},         {"COMMENT", tags.comment},
      {"COMPOSER", tags.composer}, {"COPYRIGHT", tags.copyright},
  };
  std::vector<VorbisCommentField> fields;
  for (const auto& row : rows) {
    if (!row.text.empty()) {
      fields.push_back({row.name, platform::AnsiToUtf8Replacing(row.text).text});
    }
  }
  if (!tags.track.empty() && TrackNumberValue(tags.track) > 0) {
    fields.push_back({"TRACKNUMBER", platform::AnsiToUtf8Replacing(tags.track).text});
  }
  return fields;
}

}  // namespace sonorell
