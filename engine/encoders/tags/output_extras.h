#pragma once

#include <string>

#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/tags/extra_tags.h"
#include "engine/sources/input_type_code.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// What an output file carries beside its texts (OutputTags), decided once per file:
//   None mode: nothing.
//   Transfer mode: the source's album artist, disc and totals; its cover picture (or an
//     image file beside it) when the family carries covers.
//   Add mode: the defaults' picture when one is chosen, else the carried one as above.
// The batch command's --cover image (Settings::CoverImage) replaces the picture in both
// modes. A picture that is no image, or too large for any output, is left out with a note
// in context.notes; it never fails the file.
ExtraTags OutputExtras(int tagMode, const TagDefaults& defaults, InputTypeCode inputType,
                       const std::string& sourcePath, const EncodeContext& context);

}  // namespace sonorell
