#include "engine/encoders/tags/ogg_gain_comments.h"

namespace sonorell {

bool ReplaceOggGainComments(const std::string& path, const OggCommentLayout& layout,
                            const std::vector<CommentField>& fields) {
  return ReplaceOggCommentPacket(path, layout.headers,
                                 [&](const std::string& old) -> std::optional<std::string> {
                                   std::optional<VorbisCommentPacket> packet =
                                       ParseVorbisCommentPacket(old, layout.commentMagic);
                                   if (!packet) return std::nullopt;
                                   ReplaceGainComments(*packet, fields);
                                   if (layout.fitTail != nullptr)
                                     layout.fitTail(*packet, old.size());
                                   return packet->Bytes();
                                 });
}

}  // namespace sonorell
