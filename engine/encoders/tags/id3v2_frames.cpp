#include "engine/encoders/tags/id3v2_frames.h"

#include <algorithm>

#include "engine/encoders/tags/cover_picture_check.h"
#include "engine/encoders/tags/gain_texts.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

constexpr size_t kFrameHeaderSize = 10;
constexpr size_t kFooterSize = 10;

// Header flags.
constexpr uint8_t kTagUnsynchronised = 0x80;
constexpr uint8_t kTagExtendedHeader = 0x40;
constexpr uint8_t kTagFooter = 0x10;
// ID3v2.4 frame format flags (the second flag byte).
constexpr uint16_t kV4Grouped = 0x0040;
constexpr uint16_t kV4Compressed = 0x0008;
constexpr uint16_t kV4Encrypted = 0x0004;
constexpr uint16_t kV4Unsynchronised = 0x0002;
constexpr uint16_t kV4LengthIndicator = 0x0001;
// ID3v2.3 frame encoding flags.
constexpr uint16_t kV3Compressed = 0x0080;
constexpr uint16_t kV3Encrypted = 0x0040;
constexpr uint16_t kV3Grouped = 0x0020;

constexpr uint8_t kLatin1 = 0;
constexpr uint8_t kUtf16WithMark = 1;
constexpr uint8_t kUtf16BigEndian = 2;
constexpr uint8_t kUtf8 = 3;

uint8_t Byte(std::string_view bytes, size_t pos) {
  return static_cast<uint8_t>(bytes[pos]);
}

uint32_t BigEndian32(std::string_view bytes, size_t pos) {
  return (uint32_t{Byte(bytes, pos)} << 24) | (uint32_t{Byte(bytes, pos + 1)} << 16) |
         (uint32_t{Byte(bytes, pos + 2)} << 8) | uint32_t{Byte(bytes, pos + 3)};
}

std::optional<uint32_t> SyncSafe32(std::string_view bytes, size_t pos) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i) {
    const uint8_t b = Byte(bytes, pos + i);
    if (b & 0x80) return std::nullopt;
    value = (value << 7) | b;
  }
  return value;
}

void AppendBigEndian32(std::string& out, uint32_t value) {
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

void AppendSyncSafe32(std::string& out, uint32_t value) {
  for (int shift = 21; shift >= 0; shift -= 7) {
    out.push_back(static_cast<char>((value >> shift) & 0x7F));
  }
}

// Undoes unsynchronisation: every 0xFF 0x00 pair loses its 0x00.
std::string Resynchronised(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    out.push_back(bytes[i]);
    if (Byte(bytes, i) == 0xFF && i + 1 < bytes.size() && bytes[i + 1] == '\0') ++i;
  }
  return out;
}

bool IsFrameId(std::string_view id) {
  return std::all_of(id.begin(), id.end(),
                     [](char c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// The frame's body as its fields are laid out, when it is stored plainly enough to read.
std::optional<std::string> ReadableBody(const Id3v2Frame& frame, int major) {
  std::string_view body = frame.body;
  if (major == 3) {
    if (frame.flags & (kV3Compressed | kV3Encrypted)) return std::nullopt;
    if (frame.flags & kV3Grouped) body.remove_prefix(std::min<size_t>(1, body.size()));
    return std::string(body);
  }
  if (frame.flags & (kV4Compressed | kV4Encrypted)) return std::nullopt;
  if (frame.flags & kV4Grouped) body.remove_prefix(std::min<size_t>(1, body.size()));
  if (frame.flags & kV4LengthIndicator) body.remove_prefix(std::min<size_t>(4, body.size()));
  if (frame.flags & kV4Unsynchronised) return Resynchronised(body);
  return std::string(body);
}

// The first text of a text field in the given encoding, as ASCII: characters beyond it
// become '?'. Enough to recognise a frame's description.
std::string AsciiOfFirstText(uint8_t encoding, std::string_view text) {
  std::string out;
  if (encoding == kUtf16WithMark || encoding == kUtf16BigEndian) {
    bool bigEndian = encoding == kUtf16BigEndian;
    size_t pos = 0;
    if (encoding == kUtf16WithMark && text.size() >= 2) {
      bigEndian = Byte(text, 0) == 0xFE && Byte(text, 1) == 0xFF;
      pos = 2;
    }
    for (; pos + 1 < text.size(); pos += 2) {
      const unsigned unit = bigEndian ? (Byte(text, pos) << 8) | Byte(text, pos + 1)
                                      : (Byte(text, pos + 1) << 8) | Byte(text, pos);
      if (unit == 0) break;
      out.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return out;
  }
  for (const char c : text) {
    if (c == '\0') break;
    out.push_back(static_cast<unsigned char>(c) < 0x80 ? c : '?');
  }
  return out;
}

bool IsGainFrame(const Id3v2Frame& frame, int major) {
  if (frame.id != "TXXX") return false;
  const std::optional<std::string> body = ReadableBody(frame, major);
  if (!body || body->empty()) return false;
  const std::string description =
      AsciiOfFirstText(static_cast<uint8_t>((*body)[0]), std::string_view(*body).substr(1));
  return IsReplayGainName(description);
}

// A text field with its terminator: Latin-1 when every character fits, else UTF-16 (little
// endian, with its mark), which both tag versions read. Invalid UTF-8 gives an empty text.
std::pair<uint8_t, std::string> EncodedText(std::string_view utf8) {
  if (const auto latin1 = platform::Utf8ToLatin1(utf8, '\0');
      latin1 && latin1->find('\0') == std::string::npos) {
    return {kLatin1, *latin1 + std::string(1, '\0')};
  }
  const std::optional<std::u16string> units = platform::Utf8ToUtf16(utf8);
  if (!units) return {kLatin1, std::string(1, '\0')};
  std::string out("\xFF\xFE", 2);
  for (const char16_t unit : *units) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  out.append(2, '\0');
  return {kUtf16WithMark, out};
}

// A MIME type as the APIC frame holds it (Latin-1, no terminator inside): the given one when
// it is plain ASCII, else the one the bytes show.
std::string PictureMime(const CoverPicture& picture) {
  const bool plain =
      !picture.mime.empty() && std::all_of(picture.mime.begin(), picture.mime.end(),
                                           [](char c) { return c > ' ' && c < 0x7F; });
  if (plain) return picture.mime;
  return ImageMimeType(picture.data);
}

void AddGainFrame(Id3v2Tag& tag, std::string_view description, const std::string& value) {
  Id3v2Frame frame{"TXXX", 0, std::string(1, static_cast<char>(kLatin1))};
  frame.body.append(description);
  frame.body.push_back('\0');
  frame.body.append(value);
  tag.frames.push_back(std::move(frame));
}

}  // namespace

std::optional<size_t> Id3v2TagLength(std::string_view bytes) {
  if (bytes.size() < kId3v2HeaderSize || !bytes.starts_with("ID3")) return std::nullopt;
  if (Byte(bytes, 3) == 0xFF || Byte(bytes, 4) == 0xFF) return std::nullopt;
  const std::optional<uint32_t> size = SyncSafe32(bytes, 6);
  if (!size) return std::nullopt;
  const bool footer = Byte(bytes, 3) == 4 && (Byte(bytes, 5) & kTagFooter) != 0;
  return kId3v2HeaderSize + *size + (footer ? kFooterSize : 0);
}

std::optional<Id3v2Tag> ParseId3v2Tag(std::string_view bytes) {
  const std::optional<size_t> length = Id3v2TagLength(bytes);
  if (!length || *length > bytes.size()) return std::nullopt;
  Id3v2Tag tag;
  tag.major = Byte(bytes, 3);
  if (tag.major != 3 && tag.major != 4) return std::nullopt;
  const uint8_t flags = Byte(bytes, 5);
  const size_t bodySize = *SyncSafe32(bytes, 6);
  std::string body(bytes.substr(kId3v2HeaderSize, bodySize));
  if (tag.major == 3 && (flags & kTagUnsynchronised)) body = Resynchronised(body);

  size_t pos = 0;
  if (flags & kTagExtendedHeader) {
    if (body.size() < 4) return std::nullopt;
    std::optional<uint32_t> extended = BigEndian32(body, 0);
    if (tag.major == 3) {
      *extended += 4;  // its size leaves out the size field itself
    } else {
      extended = SyncSafe32(body, 0);
    }
    if (!extended || *extended > body.size()) return std::nullopt;
    pos = *extended;
  }
  while (pos + kFrameHeaderSize <= body.size() && body[pos] != '\0') {
    Id3v2Frame frame;
    frame.id = body.substr(pos, 4);
    if (!IsFrameId(frame.id)) return std::nullopt;
    const std::optional<uint32_t> size = tag.major == 3
                                             ? std::optional<uint32_t>(BigEndian32(body, pos + 4))
                                             : SyncSafe32(body, pos + 4);
    const size_t start = pos + kFrameHeaderSize;
    if (!size || *size > body.size() - start) return std::nullopt;
    frame.flags = static_cast<uint16_t>((Byte(body, pos + 8) << 8) | Byte(body, pos + 9));
    // A 2.4 tag unsynchronised as a whole says so once for all of its frames.
    if (tag.major == 4 && (flags & kTagUnsynchronised)) frame.flags |= kV4Unsynchronised;
    frame.body = body.substr(start, *size);
    tag.frames.push_back(std::move(frame));
    pos = start + *size;
  }
  return tag;
}

std::optional<std::string> RenderId3v2Tag(const Id3v2Tag& tag, size_t padding) {
  size_t bodySize = padding;
  for (const Id3v2Frame& frame : tag.frames) {
    if (frame.body.size() > kId3v2MaxBodySize) return std::nullopt;
    bodySize += kFrameHeaderSize + frame.body.size();
  }
  if (bodySize > kId3v2MaxBodySize) return std::nullopt;
  std::string out("ID3", 3);
  out.push_back(static_cast<char>(tag.major));
  out.push_back('\0');
  out.push_back('\0');
  AppendSyncSafe32(out, static_cast<uint32_t>(bodySize));
  out.reserve(kId3v2HeaderSize + bodySize);
  for (const Id3v2Frame& frame : tag.frames) {
    out.append(frame.id, 0, 4);
    const auto size = static_cast<uint32_t>(frame.body.size());
    if (tag.major == 3) {
      AppendBigEndian32(out, size);
    } else {
      AppendSyncSafe32(out, size);
    }
    out.push_back(static_cast<char>(frame.flags >> 8));
    out.push_back(static_cast<char>(frame.flags & 0xFF));
    out.append(frame.body);
  }
  out.append(padding, '\0');
  return out;
}

bool PictureFitsId3v2(const CoverPicture& picture) {
  // Room for the frame's own fields and for any texts a tag holds beside the picture.
  constexpr size_t kRoomForTexts = size_t{1} << 20;
  const size_t fields = picture.mime.size() + 2 * picture.description.size() + 16;
  return picture.data.size() <= kId3v2MaxBodySize - kRoomForTexts - std::min(fields, kRoomForTexts);
}

size_t RemovePictureFrames(Id3v2Tag& tag) {
  return std::erase_if(tag.frames, [](const Id3v2Frame& frame) { return frame.id == "APIC"; });
}

void AddPictureFrame(Id3v2Tag& tag, const CoverPicture& picture) {
  const auto [encoding, description] = EncodedText(picture.description);
  Id3v2Frame frame{"APIC", 0, {}};
  frame.body.reserve(picture.data.size() + description.size() + 32);
  frame.body.push_back(static_cast<char>(encoding));
  frame.body.append(PictureMime(picture));
  frame.body.push_back('\0');
  // Types 0..20 are defined; any other is "other".
  frame.body.push_back(
      static_cast<char>(picture.type >= 0 && picture.type <= 20 ? picture.type : 0));
  frame.body.append(description);
  frame.body.append(picture.data);
  tag.frames.push_back(std::move(frame));
}

size_t RemoveGainFrames(Id3v2Tag& tag) {
  return std::erase_if(tag.frames,
                       [&](const Id3v2Frame& frame) { return IsGainFrame(frame, tag.major); });
}

void AddGainFrames(Id3v2Tag& tag, const GainTags& gains) {
  for (const ReplayGainItem& item : ReplayGainItems(gains)) {
    AddGainFrame(tag, item.upperName, item.value);
  }
}

}  // namespace sonorell
