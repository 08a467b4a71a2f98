#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/encoders/tags/tag_record.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// Reads the tags of the file being converted; nullopt when it has none. Called only in
// Transfer mode, so Add mode never pays for reading. ReadSourceTags (source_tags.h) is the
// usual reader.
using SourceTagReader = std::function<std::optional<TagRecord>()>;

// The tags one output file gets, decided once per file after the source is open:
//   Add (0): the defaults of the output's family; the title is the source file's name
//     without its extension when TitleAsFileName is set; the track is the run file number
//     (TrackNumType 1), CustomTrackNum (2) or "0".
//   Transfer (1): exactly what readSourceTags delivers (nothing of the defaults); no tags
//     when it finds none or is empty.
//   None (2 and any other value): no tags at all.
// textReplaced is set when a text holds replacement characters or will get them when a
// writer converts it (bytes that are no text in the system code page).
// tagMode is the stored per-format value (Settings::MP3ID3TagType, ...); runFileNumber is
// EncodeContext::runFileNumber.
std::optional<TagRecord> ResolveTags(int tagMode, const TagDefaults& defaults,
                                     std::string_view sourcePath, int runFileNumber,
                                     const SourceTagReader& readSourceTags);

// The title a file name gives: the name after the path's last "/" without its extension.
// The extension starts at the name's last "." unless that dot is the name's first
// character, so "a.b.mp3" gives "a.b" and ".hidden" stays ".hidden". UTF-8, as the path.
std::string TitleFromFileName(std::string_view sourcePath);

}  // namespace sonorell
