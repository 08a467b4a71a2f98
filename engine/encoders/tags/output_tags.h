#pragma once

#include <optional>
#include <string>

#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/tags/tag_record.h"
#include "engine/sources/audio_source.h"
#include "engine/sources/input_type_code.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// The tags an output file gets: ResolveTags with the stored mode and defaults of its
// family, the source's own tags (ReadSourceTags with the MP4 metadata reader) for Transfer
// mode. A text written with replacement characters is noted in context.notes.
std::optional<TagRecord> OutputTags(int tagMode, const TagDefaults& defaults,
                                    InputTypeCode inputType, const std::string& sourcePath,
                                    AudioSource& source, const EncodeContext& context);

}  // namespace sonorell
