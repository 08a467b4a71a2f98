#include "engine/encoders/tags/output_tags.h"

#include "engine/encoders/tags/resolve_tags.h"
#include "engine/encoders/tags/source_tags.h"
#include "engine/sources/mp4/read_mp4_tags.h"

namespace sonorell {

std::optional<TagRecord> OutputTags(int tagMode, const TagDefaults& defaults,
                                    InputTypeCode inputType, const std::string& sourcePath,
                                    AudioSource& source, const EncodeContext& context) {
  std::optional<TagRecord> tags =
      ResolveTags(tagMode, defaults, sourcePath, context.runFileNumber,
                  [&] { return ReadSourceTags(inputType, sourcePath, source, ReadMp4Tags); });
  if (tags && tags->textReplaced && context.notes) context.notes->tagTextReplaced = true;
  return tags;
}

}  // namespace sonorell
