#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace sonorell {

// The header packets of one Ogg codec, as the comment header's rewriter finds them: the
// identification header first (on the stream's first page), the comment header second.
struct OggCodecHeaders {
  std::string_view idMagic;  // how the identification header starts
  int packets = 0;           // header packets before the audio
  const char* name = "";     // the format, as failure notes name it
};

// What becomes of the comment header: the new packet, or nothing when the old one cannot
// be read.
using CommentPacketEdit = std::function<std::optional<std::string>(const std::string& packet)>;

// Replaces the comment header of the first stream of the codec in an Ogg file (one made by
// any program) with what edit makes of it.
//   When the new packet is as long as the old one, its bytes are written over the old ones
//   in the pages they lie in, whose checksums are recomputed; nothing else changes.
//   Otherwise the file is written again beside itself and renamed over itself: the header
//   packets on new pages, the stream's later pages renumbered with their checksums
//   recomputed, everything else (other streams, bytes that make no page) as it was.
// False with a failure note when the file holds no such stream, its headers are damaged or
// share a page with the audio, edit gives nothing, or the file cannot be read or written;
// the file is then unchanged.
bool ReplaceOggCommentPacket(const std::string& path, const OggCodecHeaders& codec,
                             const CommentPacketEdit& edit);

}  // namespace sonorell
