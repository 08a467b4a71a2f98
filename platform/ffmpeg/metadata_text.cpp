#include "platform/ffmpeg/metadata_text.h"

#include <cstdint>

#include "platform/text/text_conversion.h"

namespace platform::ffmpeg {

bool IsUtf8(std::string_view text) {
  return IsValidUtf8(text);
}

std::string AsUtf8(std::string_view text) {
  if (IsUtf8(text)) return std::string(text);
  std::string out;
  out.reserve(text.size() * 2);
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace platform::ffmpeg
