#include "engine/encoders/tags/gain_comment_fields.h"

#include <algorithm>
#include <cctype>

#include "engine/encoders/tags/gain_texts.h"

namespace sonorell {
namespace {

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::toupper(static_cast<unsigned char>(a)) ==
                  std::toupper(static_cast<unsigned char>(b));
         });
}

}  // namespace

std::vector<CommentField> GainCommentFields(const GainTags& gains, GainCommentStyle style) {
  std::vector<CommentField> fields;
  if (style == GainCommentStyle::kR128) {
    if (gains.track) fields.push_back({"R128_TRACK_GAIN", R128GainText(*gains.track)});
    if (gains.album) fields.push_back({"R128_ALBUM_GAIN", R128GainText(*gains.album)});
    return fields;
  }
  if (gains.track) {
    fields.push_back({"REPLAYGAIN_TRACK_GAIN", ReplayGainText(*gains.track)});
    fields.push_back({"REPLAYGAIN_TRACK_PEAK", ReplayGainPeakText(*gains.track)});
  }
  if (gains.album) {
    fields.push_back({"REPLAYGAIN_ALBUM_GAIN", ReplayGainText(*gains.album)});
    fields.push_back({"REPLAYGAIN_ALBUM_PEAK", ReplayGainPeakText(*gains.album)});
  }
  return fields;
}

bool IsGainComment(std::string_view comment) {
  const std::string_view name = comment.substr(0, comment.find('='));
  return StartsWithIgnoringCase(name, "REPLAYGAIN_") ||
         (name.size() == 15 && (StartsWithIgnoringCase(name, "R128_TRACK_GAIN") ||
                                StartsWithIgnoringCase(name, "R128_ALBUM_GAIN")));
}

}  // namespace sonorell
