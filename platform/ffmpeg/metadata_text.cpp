#include "platform/ffmpeg/metadata_text.h"

#include "platform/text/text_conversion.h"

namespace platform::ffmpeg {

bool IsUtf8(std::string_view text) {
  return IsValidUtf8(text);
}

std::string AsUtf8(std::string_view text) {
  if (IsUtf8(text)) return std::string(text);
  return Latin1ToUtf8(text);
}

}  // namespace platform::ffmpeg
