#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// A Vorbis comment header as Ogg Vorbis and Opus files carry it in their second packet:
// the codec's magic ("\x03vorbis", "OpusTags"), the vendor text, the "NAME=value"
// comments (each length a 32-bit little-endian number), then what the codec puts after
// them (Vorbis's framing bit; Opus's padding or binary data), kept as it is.
struct VorbisCommentPacket {
  std::string magic;
  std::string vendor;
  std::vector<std::string> comments;
  std::string tail;

  // How long the packet is without its tail; the packet's bytes, tail included.
  size_t ListEnd() const;
  std::string Bytes() const;
};

// Nothing when the packet does not start with magic or its lengths run past its end.
std::optional<VorbisCommentPacket> ParseVorbisCommentPacket(std::string_view packet,
                                                            std::string_view magic);

// Removes every gain comment the packet holds (IsGainComment) and appends the fields.
void ReplaceGainComments(VorbisCommentPacket& packet, const std::vector<CommentField>& gains);

}  // namespace sonorell
