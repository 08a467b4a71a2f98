#include "engine/encoders/tags/build_id3_tag.h"

#include <id3/tag.h>
#include <id3/writers.h>

#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <string_view>

#include "engine/encoders/tags/genre_names.h"
#include "engine/encoders/tags/id3v2_frames.h"
#include "engine/encoders/tags/track_number.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

constexpr int kOtherGenre = 12;

// Field widths of the 128-byte ID3v1.1 tag.
constexpr size_t kV1TextWidth = 30;
constexpr size_t kV1YearWidth = 4;
constexpr size_t kV1CommentWidthWithTrack = 28;

// A text as one frame holds it: Latin-1 bytes, or UTF-16 units for anything beyond Latin-1.
struct FrameText {
  bool utf16 = false;
  std::string latin1;
  std::u16string units;
};

// Well-formed UTF-8: bytes that are no text in the code page become replacement characters.
std::string LocaleTextAsUtf8(std::string_view text) {
  return platform::AnsiToUtf8Replacing(text).text;
}

FrameText ForId3v2FromUtf8(const std::string& utf8) {
  FrameText out;
  const auto codePoints = platform::DecodeUtf8(utf8);
  if (!codePoints) return out;
  bool fitsLatin1 = true;
  for (const char32_t cp : *codePoints) fitsLatin1 = fitsLatin1 && cp <= 0xFF;
  if (fitsLatin1) {
    out.latin1 = platform::Utf8ToLatin1(utf8, '?').value_or(std::string());
  } else {
    out.utf16 = true;
    out.units = platform::Utf8ToUtf16(utf8).value_or(std::u16string());
  }
  return out;
}

FrameText ForId3v2(std::string_view text) {
  return ForId3v2FromUtf8(LocaleTextAsUtf8(text));
}

// Latin-1 has one byte per character, so cutting the converted text never splits one.
FrameText ForId3v1(std::string_view text, size_t width) {
  FrameText out;
  out.latin1 = platform::Utf8ToLatin1(LocaleTextAsUtf8(text), '?').value_or(std::string());
  if (out.latin1.size() > width) out.latin1.resize(width);
  return out;
}

FrameText Plain(std::string text) {
  FrameText out;
  out.latin1 = std::move(text);
  return out;
}

// id3lib builds each UTF-16 unit it writes from the unit's two bytes in memory read high
// byte first, and writes the result after a byte order mark, both in the machine's order.
// Laying every unit out high byte first makes the written text agree with its mark.
std::vector<unicode_t> Id3libUnits(std::u16string_view text) {
  std::vector<unicode_t> units;
  units.reserve(text.size() + 1);
  for (const char16_t unit : text) {
    const unsigned char bytes[2] = {static_cast<unsigned char>(unit >> 8),
                                    static_cast<unsigned char>(unit & 0xFF)};
    unicode_t laidOut = 0;
    std::memcpy(&laidOut, bytes, sizeof laidOut);
    units.push_back(laidOut);
  }
  units.push_back(0);
  return units;
}

void SetText(ID3_Frame& frame, ID3_FieldID fieldId, const FrameText& text) {
  ID3_Field* field = frame.GetField(fieldId);
  if (!field) return;
  if (text.utf16) {
    field->SetEncoding(ID3TE_UTF16);
    const auto units = Id3libUnits(text.units);
    field->Set(units.data());
  } else {
    field->SetEncoding(ID3TE_ISO8859_1);
    field->Set(text.latin1.c_str());
  }
}

void SetFrameEncoding(ID3_Frame& frame, bool utf16) {
  if (ID3_Field* encoding = frame.GetField(ID3FN_TEXTENC)) {
    encoding->Set(static_cast<uint32>(utf16 ? ID3TE_UTF16 : ID3TE_ISO8859_1));
  }
}

// Frames belong to the tag once attached; until then to the unique_ptr.
void Attach(ID3_Tag& tag, std::unique_ptr<ID3_Frame> frame) {
  if (tag.AttachFrame(frame.get())) frame.release();
}

void AttachTextFrame(ID3_Tag& tag, ID3_FrameID id, const FrameText& text) {
  auto frame = std::make_unique<ID3_Frame>(id);
  SetFrameEncoding(*frame, text.utf16);
  SetText(*frame, ID3FN_TEXT, text);
  Attach(tag, std::move(frame));
}

void AttachComment(ID3_Tag& tag, const FrameText& text) {
  auto frame = std::make_unique<ID3_Frame>(ID3FID_COMMENT);
  SetFrameEncoding(*frame, text.utf16);
  if (ID3_Field* language = frame->GetField(ID3FN_LANGUAGE)) language->Set("XXX");
  FrameText description;  // empty, in the frame's encoding
  description.utf16 = text.utf16;
  SetText(*frame, ID3FN_DESCRIPTION, description);
  SetText(*frame, ID3FN_TEXT, text);
  Attach(tag, std::move(frame));
}

// id3lib writes an empty UTF-16 string without its byte order mark, which strict readers
// (FFmpeg's among them) take for a broken frame and drop: a UTF-16 comment would be lost. The
// comment's empty description gets its mark here. Only frames without flags, as id3lib
// writes them, are touched. Returns the bytes added.
size_t MarkEmptyUtf16Descriptions(Id3v2Tag& tag) {
  size_t added = 0;
  for (Id3v2Frame& frame : tag.frames) {
    std::string& body = frame.body;
    // encoding 1 (UTF-16), language (3 bytes), then an empty description: 00 00 at once
    if (frame.id == "COMM" && frame.flags == 0 && body.size() >= 6 && body[0] == 1 &&
        body[4] == 0 && body[5] == 0) {
      body.insert(4, "\xFF\xFE", 2);
      added += 2;
    }
  }
  return added;
}

std::string GenreNumberText(std::string_view genre) {
  return "(" + std::to_string(GenreIndexOf(genre).value_or(kOtherGenre)) + ")";
}

// "n" or "n/N" for TRCK and TPOS; the total only when it is a positive number.
std::string NumberWithTotal(int number, std::string_view total) {
  const int count = TrackNumberValue(total);
  return std::to_string(number) + (count > 0 ? "/" + std::to_string(count) : std::string());
}

// The ID3v2 frames beyond the designed ones: album artist and disc.
void AttachExtraFrames(ID3_Tag& tag, const ExtraTags& extras) {
  if (!extras.albumArtist.empty()) {
    AttachTextFrame(tag, ID3FID_BAND, ForId3v2FromUtf8(extras.albumArtist));
  }
  if (const int disc = TrackNumberValue(extras.disc); disc > 0) {
    AttachTextFrame(tag, ID3FID_PARTINSET, Plain(NumberWithTotal(disc, extras.discTotal)));
  }
}

// The tag id3lib rendered, laid out again: the comments' marks added (paid for from the
// padding when there is any), the cover picture added, and minPadding bytes of padding when
// a picture or padding was asked for. Without the picture when it makes the tag larger
// than an ID3v2 tag can be; nullopt when the rendering is no tag.
std::optional<std::string> LaidOutAgain(const std::string& rendered,
                                        const std::optional<CoverPicture>& cover,
                                        size_t minPadding) {
  std::optional<Id3v2Tag> tag;
  if (Id3v2TagLength(rendered) == rendered.size()) tag = ParseId3v2Tag(rendered);
  if (!tag) return std::nullopt;
  const std::optional<std::string> frames = RenderId3v2Tag(*tag, 0);
  if (!frames) return std::nullopt;
  const size_t added = MarkEmptyUtf16Descriptions(*tag);
  const size_t padding = rendered.size() - frames->size();
  if (!cover && minPadding == 0) return RenderId3v2Tag(*tag, padding > added ? padding - added : 0);
  if (cover) {
    Id3v2Tag withPicture = *tag;
    AddPictureFrame(withPicture, *cover);
    if (auto laidOut = RenderId3v2Tag(withPicture, minPadding)) return laidOut;
  }
  return RenderId3v2Tag(*tag, minPadding);
}

}  // namespace

std::optional<std::vector<uint8_t>> BuildId3Tag(int version, const TagRecord& tags,
                                                const ExtraTags& extras, size_t minPadding) {
  const bool v1 = version == kId3v1;
  const uint8_t track = Id3TrackNumber(tags.track);

  ID3_Tag tag;
  const auto text = [&](const std::string& field, size_t v1Width) {
    return v1 ? ForId3v1(field, v1Width) : ForId3v2(field);
  };
  AttachTextFrame(tag, ID3FID_TITLE, text(tags.title, kV1TextWidth));
  AttachTextFrame(tag, ID3FID_LEADARTIST, text(tags.artist, kV1TextWidth));
  AttachTextFrame(tag, ID3FID_ALBUM, text(tags.album, kV1TextWidth));
  AttachTextFrame(tag, ID3FID_YEAR, text(tags.year, kV1YearWidth));
  AttachTextFrame(tag, ID3FID_CONTENTTYPE,
                  v1 ? Plain(GenreNumberText(tags.genre)) : ForId3v2(tags.genre));
  if (!tags.composer.empty()) {
    AttachTextFrame(tag, ID3FID_COMPOSER, text(tags.composer, kV1TextWidth));
  }
  if (!tags.copyright.empty()) {
    AttachTextFrame(tag, ID3FID_COPYRIGHT, text(tags.copyright, kV1TextWidth));
  }
  AttachComment(tag, text(tags.comment, track != 0 ? kV1CommentWidthWithTrack : kV1TextWidth));
  if (track != 0) {
    AttachTextFrame(tag, ID3FID_TRACKNUM,
                    Plain(v1 ? std::to_string(track) : NumberWithTotal(track, extras.trackTotal)));
  }
  if (!v1) AttachExtraFrames(tag, extras);

  std::ostringstream stream;
  ID3_OStreamWriter writer(stream);
  tag.Render(writer, v1 ? ID3TT_ID3V1 : ID3TT_ID3V2);
  std::string bytes = stream.str();

  if (v1) {
    if (bytes.size() != 128 || bytes.compare(0, 3, "TAG") != 0) return std::nullopt;
  } else {
    std::optional<std::string> laidOut = LaidOutAgain(bytes, extras.cover, minPadding);
    if (!laidOut) return std::nullopt;
    bytes = std::move(*laidOut);
  }
  return std::vector<uint8_t>(bytes.begin(), bytes.end());
}

std::optional<std::vector<uint8_t>> EditCopiedId3v2Tag(std::span<const uint8_t> block,
                                                       const std::optional<CoverPicture>& cover,
                                                       size_t padding) {
  const std::string_view bytes(reinterpret_cast<const char*>(block.data()), block.size());
  std::optional<Id3v2Tag> tag = ParseId3v2Tag(bytes);
  if (!tag) return std::nullopt;
  const size_t removed = RemovePictureFrames(*tag) + RemoveGainFrames(*tag);
  // A tag with nothing to change stays the source's own bytes.
  if (removed == 0 && !cover && padding == 0) {
    return std::vector<uint8_t>(block.begin(), block.end());
  }
  if (cover) AddPictureFrame(*tag, *cover);
  const std::optional<std::string> rendered = RenderId3v2Tag(*tag, padding);
  if (!rendered) return std::nullopt;
  return std::vector<uint8_t>(rendered->begin(), rendered->end());
}

}  // namespace sonorell
