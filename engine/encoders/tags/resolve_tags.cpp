#include "engine/encoders/tags/resolve_tags.h"

#include "engine/encoders/tags/tag_mode.h"
#include "platform/text/text_conversion.h"

namespace sonorell {

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
    case TagMode::kTransfer:
      if (!readSourceTags) return std::nullopt;
      return readSourceTags();
    case TagMode::kAdd:
      break;
  }

  TagRecord tags;
  if (defaults.TitleAsFileName != 0) {
    // Tag texts are locale text while paths are UTF-8; a name the locale cannot spell gives
    // no title rather than wrongly decoded bytes.
    tags.title = platform::Utf8ToAnsi(TitleFromFileName(sourcePath)).value_or(std::string());
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
  return tags;
}

}  // namespace sonorell
