#include "engine/encoders/opus/opus_gain_tags.h"

#include "engine/encoders/tags/gain_comment_fields.h"
#include "engine/encoders/tags/ogg_comment_header.h"
#include "engine/encoders/tags/vorbis_comment_packet.h"

namespace sonorell {

bool WriteOpusGainTags(const std::string& path, const GainTags& gains) {
  using namespace std::string_view_literals;
  static constexpr OggCodecHeaders kOpus{"OpusHead"sv, 2, "Opus"};
  const std::vector<CommentField> fields = GainCommentFields(gains, GainCommentStyle::kR128);
  return ReplaceOggCommentPacket(
      path, kOpus, [&fields](const std::string& old) -> std::optional<std::string> {
        std::optional<VorbisCommentPacket> packet = ParseVorbisCommentPacket(old, "OpusTags"sv);
        if (!packet) return std::nullopt;
        // After the comments: binary data when its first byte's lowest bit is set, kept as
        // it is; else padding, which may take any length.
        const bool padding = packet->tail.empty() || (packet->tail[0] & 1) == 0;
        ReplaceGainComments(*packet, fields);
        if (padding) {
          const size_t listEnd = packet->ListEnd();
          packet->tail.assign(old.size() >= listEnd ? old.size() - listEnd : kOpusCommentPadding,
                              '\0');
        }
        return packet->Bytes();
      });
}

}  // namespace sonorell
