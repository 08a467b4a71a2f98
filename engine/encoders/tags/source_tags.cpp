#include "engine/encoders/tags/source_tags.h"

namespace sonorell {

std::optional<TagRecord> ReadTagsOf(AudioSource& source) {
  TagRecord t;
  if (!source.ReadTags(t.title, t.artist, t.album, t.year, t.genre, t.comment, t.track, t.composer,
                       t.copyright)) {
    return std::nullopt;
  }
  t.textReplaced = source.TagTextReplaced();
  return t;
}

std::optional<TagRecord> ReadSourceTags(InputTypeCode inputType, const std::string& sourcePath,
                                        AudioSource& source, const PathTagReader& readMp4Tags) {
  if ((inputType == kInputM4a || inputType == kInputMp4) && readMp4Tags) {
    TagRecord t;
    if (readMp4Tags(sourcePath, t.title, t.artist, t.album, t.year, t.genre, t.comment, t.track,
                    t.composer, t.copyright, &t.textReplaced)) {
      return t;
    }
  }
  return ReadTagsOf(source);
}

}  // namespace sonorell
