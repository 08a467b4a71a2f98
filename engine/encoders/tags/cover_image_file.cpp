#include "engine/encoders/tags/cover_image_file.h"

#include <cstdint>
#include <vector>

#include "engine/encoders/tags/cover_picture_check.h"
#include "platform/bass/file_bytes.h"

namespace sonorell {

std::optional<CoverPicture> ReadCoverImageFile(const std::string& path, std::string& whyNot) {
  using platform::bass::ReadResult;
  // Asked before opening: opening a named pipe would wait for a writer.
  const bool regular = platform::bass::RegularFileSize(path).has_value();
  std::vector<uint8_t> bytes;
  const ReadResult read = regular ? platform::bass::ReadWholeFile(path, kMaxCoverBytes, bytes)
                                  : ReadResult::kCannotOpen;
  if (read == ReadResult::kCannotOpen) {
    whyNot = "its file cannot be read";
    return std::nullopt;
  }
  CoverPicture picture;
  picture.data.assign(bytes.begin(), bytes.end());
  const int64_t size = read == ReadResult::kTooLarge ? kMaxCoverBytes + 1
                                                     : static_cast<int64_t>(picture.data.size());
  whyNot = CheckCoverPicture(picture, size);
  if (!whyNot.empty()) return std::nullopt;
  return picture;
}

}  // namespace sonorell
