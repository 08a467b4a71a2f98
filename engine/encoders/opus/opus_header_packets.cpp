#include "engine/encoders/opus/opus_header_packets.h"

#include <string_view>

#include "engine/encoders/tags/vorbis_comment_packet.h"

namespace sonorell {
namespace {

// OpusHead: magic, version, channels, pre-skip (16 bits, little-endian), input rate, output
// gain and mapping family, 19 bytes before any channel mapping.
constexpr std::string_view kHeadMagic = "OpusHead";
constexpr size_t kHeadBytes = 19;
constexpr size_t kPreSkipAt = 10;

std::string_view Text(const std::vector<uint8_t>& packet) {
  return {reinterpret_cast<const char*>(packet.data()), packet.size()};
}

}  // namespace

std::optional<int> OpusPreSkip(const std::vector<uint8_t>& head) {
  if (head.size() < kHeadBytes || !Text(head).starts_with(kHeadMagic)) return std::nullopt;
  return head[kPreSkipAt] | (head[kPreSkipAt + 1] << 8);
}

bool IsOpusHeaderPair(const OpusPackets& packets) {
  return packets.size() >= kOpusHeaderPackets && OpusPreSkip(packets[0]) &&
         ParseVorbisCommentPacket(Text(packets[1]), "OpusTags").has_value();
}

}  // namespace sonorell
