#include "engine/encoders/mp3/mp3_gain_tags.h"

#include <algorithm>
#include <optional>

#include "engine/encoders/tags/file_splice.h"
#include "engine/encoders/tags/id3v2_frames.h"
#include "engine/sources/failure_note.h"

namespace sonorell {

bool WriteMp3GainTags(const std::string& path, const GainTags& gains) {
  FinishedFile file;
  if (!file.Open(path)) return false;
  Id3v2Tag tag;
  size_t oldLength = 0;
  const std::optional<std::string> header =
      file.Read(0, std::min<uint64_t>(kId3v2HeaderSize, file.Size()));
  if (const std::optional<size_t> length = header ? Id3v2TagLength(*header) : std::nullopt) {
    const std::optional<std::string> bytes = file.Read(0, *length);
    std::optional<Id3v2Tag> parsed = bytes ? ParseId3v2Tag(*bytes) : std::nullopt;
    if (!parsed) {
      SetFailureNote("its ID3v2 tag is damaged or of a version that cannot take gain tags");
      return false;
    }
    tag = std::move(*parsed);
    oldLength = *length;
  } else if (!gains.track && !gains.album) {
    return true;  // no tag, and none needed
  }
  RemoveGainFrames(tag);
  AddGainFrames(tag, gains);

  const std::optional<std::string> frames = RenderId3v2Tag(tag, 0);
  if (!frames) {
    SetFailureNote("its ID3v2 tag has no room for gain tags");
    return false;
  }
  if (oldLength > 0 && frames->size() <= oldLength) {
    const std::optional<std::string> inPlace = RenderId3v2Tag(tag, oldLength - frames->size());
    return inPlace && OverwriteInPlace(path, 0, *inPlace);
  }
  const std::optional<std::string> moved = RenderId3v2Tag(tag, kId3v2GainRoom);
  if (!moved) {
    SetFailureNote("its ID3v2 tag has no room for gain tags");
    return false;
  }
  return RewriteFile(path, file,
                     {FilePiece::Own(*moved), FilePiece::Kept(oldLength, file.Size() - oldLength)});
}

}  // namespace sonorell
