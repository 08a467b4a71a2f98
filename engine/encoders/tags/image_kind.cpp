#include "engine/encoders/tags/image_kind.h"

namespace sonorell {

ImageKind ImageKindOf(std::string_view data) {
  constexpr std::string_view kJpegStart("\xFF\xD8\xFF", 3);
  constexpr std::string_view kPngStart("\x89PNG\r\n\x1A\n", 8);
  if (data.starts_with(kJpegStart)) return ImageKind::kJpeg;
  if (data.starts_with(kPngStart)) return ImageKind::kPng;
  return ImageKind::kOther;
}

std::string_view ImageMimeOf(ImageKind kind) {
  switch (kind) {
    case ImageKind::kJpeg:
      return "image/jpeg";
    case ImageKind::kPng:
      return "image/png";
    case ImageKind::kOther:
      break;
  }
  return {};
}

}  // namespace sonorell
