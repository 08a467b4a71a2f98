#include "engine/encoders/opus/opus_gain_tags.h"

#include "engine/encoders/tags/gain_comment_fields.h"
#include "engine/encoders/tags/ogg_gain_comments.h"

namespace sonorell {
namespace {

// After the comments: binary data when its first byte's lowest bit is set, kept as it is;
// else padding, which may take any length: as much as keeps the packet's size, or the
// usual room when the comments outgrew it.
void FitPadding(VorbisCommentPacket& packet, size_t oldSize) {
  if (!packet.tail.empty() && (packet.tail[0] & 1) != 0) return;
  const size_t listEnd = packet.ListEnd();
  packet.tail.assign(oldSize >= listEnd ? oldSize - listEnd : kOpusCommentPadding, '\0');
}

}  // namespace

bool WriteOpusGainTags(const std::string& path, const GainTags& gains) {
  using namespace std::string_view_literals;
  static constexpr OggCommentLayout kOpus{{"OpusHead"sv, 2, "Opus"}, "OpusTags"sv, FitPadding};
  return ReplaceOggGainComments(path, kOpus, GainCommentFields(gains, GainCommentStyle::kR128));
}

}  // namespace sonorell
