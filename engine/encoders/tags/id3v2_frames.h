#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoders/tags/cover_picture.h"
#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

inline constexpr size_t kId3v2HeaderSize = 10;
// The largest tag body an ID3v2 header can state: 28 bits.
inline constexpr size_t kId3v2MaxBodySize = 0x0FFFFFFF;
// Padding kept in a tag that will receive gain tags after the audio is written, so that
// they go in without moving the audio: four TXXX frames take under 200 bytes.
inline constexpr size_t kId3v2GainRoom = 1024;

// One frame of an ID3v2.3 or 2.4 tag, as stored: its four-character id, its two flag bytes
// (in the tag version's meaning) and its body after the frame header.
struct Id3v2Frame {
  std::string id;
  uint16_t flags = 0;
  std::string body;
};

// An ID3v2.3 or 2.4 tag taken apart into its frames, for editing a tag that any program
// may have written. A tag-wide unsynchronisation is undone (2.3) or handed to the frames
// (2.4); the extended header and the footer are dropped.
struct Id3v2Tag {
  int major = 3;  // 3 or 4
  std::vector<Id3v2Frame> frames;
};

// The length of the ID3v2 tag that starts bytes (header, body and footer), read from its
// header; nullopt when bytes does not start with an ID3v2 header.
std::optional<size_t> Id3v2TagLength(std::string_view bytes);

// The frames of a whole ID3v2.3 or 2.4 tag; nullopt for other versions (2.2) and for tags
// whose frames do not fit their stated size.
std::optional<Id3v2Tag> ParseId3v2Tag(std::string_view tag);

// The tag with plain header flags, its frames in order and padding zero bytes; nullopt
// when it would be larger than an ID3v2 header can state.
std::optional<std::string> RenderId3v2Tag(const Id3v2Tag& tag, size_t padding);

// Whether the picture leaves an ID3v2 tag room for the texts beside it.
bool PictureFitsId3v2(const CoverPicture& picture);

// Removes every attached picture (APIC); returns how many there were.
size_t RemovePictureFrames(Id3v2Tag& tag);
// Appends an APIC frame holding the picture's bytes as they are. The description is
// written as Latin-1 when it can be, else as UTF-16 with a byte order mark.
void AddPictureFrame(Id3v2Tag& tag, const CoverPicture& picture);

// Removes the TXXX frames whose description begins with REPLAYGAIN_ (in any case); returns
// how many there were.
size_t RemoveGainFrames(Id3v2Tag& tag);
// Appends TXXX REPLAYGAIN_TRACK_GAIN/PEAK and REPLAYGAIN_ALBUM_GAIN/PEAK for the values
// that are present.
void AddGainFrames(Id3v2Tag& tag, const GainTags& gains);

}  // namespace sonorell
