#include "engine/encoders/tags/resolve_tags.h"

#include <utility>

#include "engine/encoders/tags/tag_mode.h"
#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

// Writers turn every text into UTF-8 and replace what is no text in the system code page
// (a default stored under another locale, say): a record that will need it says so.
TagRecord NotingInvalidText(TagRecord tags) {
  for (const std::string* text : {&tags.title, &tags.artist, &tags.album, &tags.year, &tags.genre,
                                  &tags.comment, &tags.track, &tags.composer, &tags.copyright}) {
    if (!platform::AnsiToUtf8(*text)) tags.textReplaced = true;
  }
  return tags;
}

}  // namespace

std::string TitleFromFileName(std::string_view sourcePath) {
  const size_t slash = sourcePath.rfind('/');
  const std::string_view name =
      slash == std::string_view::npos ? sourcePath : sourcePath.substr(slash + 1);
  const size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(name);
  return std::string(name.substr(0, dot));
}

std::optional<TagRecord> ResolveTags(int tagMode, const TagDefaults& defaults,
                                     std::string_view sourcePath, int runFileNumber,
                                     const SourceTagReader& readSourceTags) {
  switch (TagModeOf(tagMode)) {
    case TagMode::kNone:
      return std::nullopt;
    case TagMode::kTransfer: {
      if (!readSourceTags) return std::nullopt;
      std::optional<TagRecord> read = readSourceTags();
      if (!read) return std::nullopt;
      return NotingInvalidText(std::move(*read));
    }
    case TagMode::kAdd:
      break;
  }

  TagRecord tags;
  if (defaults.TitleAsFileName != 0) {
    // Tag texts are locale text while paths are UTF-8: what the locale cannot spell, and
    // bytes of a name that are not UTF-8, become replacement characters.
    platform::ReplacedText title = platform::Utf8ToAnsiReplacing(TitleFromFileName(sourcePath));
    tags.title = std::move(title.text);
    tags.textReplaced = title.replaced;
  } else {
    tags.title = defaults.Title;
  }
  tags.artist = defaults.Artist;
  tags.album = defaults.Album;
  tags.year = defaults.Year;
  tags.genre = defaults.Genre;
  tags.comment = defaults.Comment;
  tags.composer = defaults.Composer;
  tags.copyright = defaults.Copyright;
  int track = 0;
  if (defaults.TrackNumType == static_cast<int>(TrackNumbering::kSequence)) {
    track = runFileNumber;
  } else if (defaults.TrackNumType == static_cast<int>(TrackNumbering::kCustom)) {
    track = defaults.CustomTrackNum;
  }
  tags.track = std::to_string(track);
  return NotingInvalidText(std::move(tags));
}

}  // namespace sonorell
