#include "engine/encoders/tags/output_extras.h"

#include <optional>
#include <utility>

#include "engine/encoders/tags/cover_image_file.h"
#include "engine/encoders/tags/sidecar_cover.h"
#include "engine/encoders/tags/source_extras.h"
#include "engine/encoders/tags/tag_mode.h"

namespace sonorell {
namespace {

// Inputs whose path FFmpeg has nothing to tell about: synthesised music and CD tracks.
bool HasReadableHeaders(InputTypeCode inputType) {
  return inputType != kInputMidi && inputType != kInputTrackerModule && inputType != kInputCdAudio;
}

}  // namespace

ExtraTags OutputExtras(int tagMode, const TagDefaults& defaults, InputTypeCode inputType,
                       const std::string& sourcePath, const EncodeContext& context) {
  const TagMode mode = TagModeOf(tagMode);
  if (mode == TagMode::kNone) return {};
  // A picture named for the run, or for Add mode, is taken instead of the carried one.
  const std::string chosen = !context.settings.CoverImage.empty() ? context.settings.CoverImage
                             : mode == TagMode::kAdd              ? defaults.CoverPicture
                                                                  : std::string();
  const bool carry = chosen.empty() && defaults.CarryCover != 0;
  const bool readSource = mode == TagMode::kTransfer || carry;

  ExtraTags extras;
  std::string coverNote;
  if (readSource && HasReadableHeaders(inputType)) {
    extras = ReadSourceExtras(sourcePath, carry, coverNote);
  }
  // Add mode writes the defaults' texts only: nothing of the source but its picture.
  if (mode == TagMode::kAdd) {
    ExtraTags pictureOnly;
    pictureOnly.cover = std::move(extras.cover);
    extras = std::move(pictureOnly);
  }
  if (!chosen.empty()) {
    extras.cover = ReadCoverImageFile(chosen, coverNote);
  } else if (carry && !extras.cover && coverNote.empty()) {
    // A source without a picture of its own takes the image file beside it.
    if (const std::string sidecar = FindSidecarCover(sourcePath); !sidecar.empty()) {
      extras.cover = ReadCoverImageFile(sidecar, coverNote);
    }
  }
  if (!coverNote.empty() && context.notes) context.notes->coverNote = coverNote;
  return extras;
}

}  // namespace sonorell
