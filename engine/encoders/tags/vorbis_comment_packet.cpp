#include "engine/encoders/tags/vorbis_comment_packet.h"

#include <cstdint>
#include <vector>

#include "engine/encoders/tags/gain_comment_fields.h"

namespace sonorell {
namespace {

constexpr size_t kLengthBytes = 4;

void AppendLittleEndian32(std::string& out, uint64_t value) {
  for (int shift = 0; shift < 32; shift += 8) out += static_cast<char>((value >> shift) & 0xFF);
}

// Reads one length-prefixed text at `at` and moves past it.
std::optional<std::string> ReadText(std::string_view bytes, size_t& at) {
  if (bytes.size() - at < kLengthBytes) return std::nullopt;
  uint64_t length = 0;
  for (size_t i = 0; i < kLengthBytes; ++i) {
    length |= static_cast<uint64_t>(static_cast<uint8_t>(bytes[at + i])) << (8 * i);
  }
  at += kLengthBytes;
  if (bytes.size() - at < length) return std::nullopt;
  std::string text(bytes.substr(at, length));
  at += length;
  return text;
}

}  // namespace

size_t VorbisCommentPacket::ListEnd() const {
  size_t size = magic.size() + kLengthBytes + vendor.size() + kLengthBytes;
  for (const std::string& comment : comments) size += kLengthBytes + comment.size();
  return size;
}

std::string VorbisCommentPacket::Bytes() const {
  std::string bytes;
  bytes.reserve(ListEnd() + tail.size());
  bytes += magic;
  AppendLittleEndian32(bytes, vendor.size());
  bytes += vendor;
  AppendLittleEndian32(bytes, comments.size());
  for (const std::string& comment : comments) {
    AppendLittleEndian32(bytes, comment.size());
    bytes += comment;
  }
  bytes += tail;
  return bytes;
}

std::optional<VorbisCommentPacket> ParseVorbisCommentPacket(std::string_view packet,
                                                            std::string_view magic) {
  if (packet.substr(0, magic.size()) != magic) return std::nullopt;
  VorbisCommentPacket parsed;
  parsed.magic = magic;
  size_t at = magic.size();
  std::optional<std::string> vendor = ReadText(packet, at);
  if (!vendor || packet.size() - at < kLengthBytes) return std::nullopt;
  parsed.vendor = std::move(*vendor);
  uint64_t count = 0;
  for (size_t i = 0; i < kLengthBytes; ++i) {
    count |= static_cast<uint64_t>(static_cast<uint8_t>(packet[at + i])) << (8 * i);
  }
  at += kLengthBytes;
  // Each comment takes at least its length: a count beyond that is a damaged header.
  if (count > (packet.size() - at) / kLengthBytes) return std::nullopt;
  parsed.comments.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    std::optional<std::string> comment = ReadText(packet, at);
    if (!comment) return std::nullopt;
    parsed.comments.push_back(std::move(*comment));
  }
  parsed.tail = packet.substr(at);
  return parsed;
}

void ReplaceGainComments(VorbisCommentPacket& packet, const std::vector<CommentField>& gains) {
  std::erase_if(packet.comments, [](const std::string& comment) { return IsGainComment(comment); });
  for (const CommentField& field : gains) {
    packet.comments.push_back(std::string(field.name) + "=" + field.value);
  }
}

}  // namespace sonorell
