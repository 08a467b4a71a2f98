#include "engine/encoders/tags/utf8_tag_text.h"

#include "platform/text/text_conversion.h"

namespace sonorell {

std::optional<std::string> Utf8TagText(const std::string& text) {
  if (text.empty()) return std::nullopt;
  return platform::AnsiToUtf8Replacing(text).text;
}

}  // namespace sonorell
