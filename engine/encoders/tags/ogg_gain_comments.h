#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/encoders/tags/ogg_comment_header.h"
#include "engine/encoders/tags/vorbis_comment_packet.h"

namespace sonorell {

// How an Ogg codec's comment header is laid out around its comment list.
struct OggCommentLayout {
  OggCodecHeaders headers;
  std::string_view commentMagic;  // how the comment header starts
  // Makes the tail fit after the gains were replaced (Opus's padding), given the old
  // packet's size; null keeps the tail as it was.
  void (*fitTail)(VorbisCommentPacket& packet, size_t oldSize) = nullptr;
};

// Replaces the gain comments of the file's comment header with fields, every other comment
// kept (ReplaceOggCommentPacket writes it).
bool ReplaceOggGainComments(const std::string& path, const OggCommentLayout& layout,
                            const std::vector<CommentField>& fields);

}  // namespace sonorell
