#include "engine/encoders/tags/gain_comment_fields.h"

#include "engine/encoders/tags/gain_texts.h"

namespace sonorell {

std::vector<CommentField> GainCommentFields(const GainTags& gains, GainCommentStyle style) {
  std::vector<CommentField> fields;
  if (style == GainCommentStyle::kR128) {
    if (gains.track) fields.push_back({"R128_TRACK_GAIN", R128GainText(*gains.track)});
    if (gains.album) fields.push_back({"R128_ALBUM_GAIN", R128GainText(*gains.album)});
    return fields;
  }
  for (ReplayGainItem& item : ReplayGainItems(gains)) {
    // The names are literals: their views end in the terminator.
    fields.push_back({item.upperName.data(), std::move(item.value)});
  }
  return fields;
}

bool IsGainComment(std::string_view comment) {
  const std::string_view name = comment.substr(0, comment.find('='));
  return IsReplayGainName(name) || IsR128GainName(name);
}

}  // namespace sonorell
