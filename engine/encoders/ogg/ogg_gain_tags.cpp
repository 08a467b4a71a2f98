#include "engine/encoders/ogg/ogg_gain_tags.h"

#include "engine/encoders/tags/gain_comment_fields.h"
#include "engine/encoders/tags/ogg_gain_comments.h"

namespace sonorell {

bool WriteOggGainTags(const std::string& path, const GainTags& gains) {
  using namespace std::string_view_literals;
  // The tail after the comments is the framing bit; it stays.
  static constexpr OggCommentLayout kVorbis{{"\x01vorbis"sv, 3, "Ogg Vorbis"}, "\x03vorbis"sv};
  return ReplaceOggGainComments(path, kVorbis,
                                GainCommentFields(gains, GainCommentStyle::kReplayGain));
}

}  // namespace sonorell
