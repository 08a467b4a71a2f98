#include "engine/encoders/ogg/ogg_gain_tags.h"

#include "engine/encoders/tags/gain_comment_fields.h"
#include "engine/encoders/tags/ogg_comment_header.h"
#include "engine/encoders/tags/vorbis_comment_packet.h"

namespace sonorell {

bool WriteOggGainTags(const std::string& path, const GainTags& gains) {
  using namespace std::string_view_literals;
  static constexpr OggCodecHeaders kVorbis{"\x01vorbis"sv, 3, "Ogg Vorbis"};
  const std::vector<CommentField> fields = GainCommentFields(gains, GainCommentStyle::kReplayGain);
  return ReplaceOggCommentPacket(
      path, kVorbis, [&fields](const std::string& old) -> std::optional<std::string> {
        std::optional<VorbisCommentPacket> packet = ParseVorbisCommentPacket(old, "\x03vorbis"sv);
        if (!packet) return std::nullopt;
        // The tail is the framing bit; it stays.
        ReplaceGainComments(*packet, fields);
        return packet->Bytes();
      });
}

}  // namespace sonorell
