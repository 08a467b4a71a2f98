#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "engine/encoders/tags/extra_tags.h"
#include "engine/encoders/tags/tag_record.h"

namespace sonorell {

// BuildId3Tag's version argument: 1 asks for an ID3v1 tag, any other value for ID3v2.
inline constexpr int kId3v1 = 1;
inline constexpr int kId3v2 = 2;

// Renders one ID3 tag of the record through id3lib: frames TIT2, TPE1, TALB, TYER, TCON,
// TCOM (only when the composer is not empty), TCOP (only when the copyright is not empty),
// COMM (language "XXX", empty description) and TRCK (only when the track number is not 0).
// The track number is Id3TrackNumber(tags.track).
//
// ID3v1: exactly the 128-byte trailing tag. Texts are written as Latin-1 with "?" for what
// Latin-1 cannot hold, each cut to its field's width (a character is never split); the genre
// is its number in GenreNames, matched whole without regard to case, or 12 ("Other") when no
// row matches.
// ID3v2 (version 2.3.0, with id3lib's padding): the leading tag. A text that Latin-1 can hold
// is written as Latin-1, any other as UTF-16 with a byte order mark; the genre text is kept
// as it is.
// A text that is not valid in the locale's code set is written empty. nullopt when rendering
// produced no well-formed tag of the asked kind.
//
// The extras (UTF-8) go in the ID3v2 tag only: TPE2 (album artist, when not empty), TPOS
// ("n" or "n/N" with the disc total, when the disc is a positive number), TRCK as "n/N"
// when the track total is known, and the cover picture as an APIC frame holding its bytes
// as they are. A picture too large for an ID3v2 tag is left out (PictureFitsId3v2 tells
// beforehand). With a picture or a minPadding, the tag is laid out again with exactly
// minPadding bytes of padding.
std::optional<std::vector<uint8_t>> BuildId3Tag(int version, const TagRecord& tags,
                                                const ExtraTags& extras = {},
                                                size_t minPadding = 0);

// A copied ID3v2.3 or 2.4 tag edited for its new file: its pictures and its ReplayGain
// TXXX frames removed, the cover (when there is one) put in, every other frame kept as it
// was, in the tag's own version, with padding bytes of padding; a tag with nothing to
// change and no padding asked for stays byte for byte as it was. nullopt when the block is
// no tag of those versions or is damaged (the caller copies it unchanged), or when the
// picture makes it too large.
std::optional<std::vector<uint8_t>> EditCopiedId3v2Tag(std::span<const uint8_t> block,
                                                       const std::optional<CoverPicture>& cover,
                                                       size_t padding);

}  // namespace sonorell
