#include "cli/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "platform/text/text_conversion.h"

namespace sonorell {
namespace {

bool IsWide(char32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x1F900 && cp <= 0x1F9FF) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

bool IsCombining(char32_t cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) ||
         (cp >= 0x1DC0 && cp <= 0x1DFF) || (cp >= 0x20D0 && cp <= 0x20FF) ||
         (cp >= 0xFE20 && cp <= 0xFE2F) || cp == 0x200B || cp == 0x200D;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  for (size_t i = 0; i < bytes.size();) {
    const size_t start = i;
    char32_t cp = 0;
    if (!platform::DecodeUtf8At(bytes, i, cp)) {
      out += "\\ufffd";
      ++i;
      continue;
    }
    if (cp == '"') {
      out += "\\\"";
    } else if (cp == '\\') {
      out += "\\\\";
    } else if (cp == '\n') {
      out += "\\n";
    } else if (cp == '\t') {
      out += "\\t";
    } else if (cp == '\r') {
      out += "\\r";
    } else if (cp < 0x20 || cp == 0x7F || cp == 0x2028 || cp == 0x2029) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
      out += escape;
    } else {
      out.append(bytes.substr(start, i - start));
    }
  }
  out += '"';
  return out;
}

std::string JsonNumber(double value, int decimals) {
  if (!std::isfinite(value)) value = 0;
  char text[64];
  const auto [end, ec] =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  return ec == std::errc() ? std::string(text, end) : "0";
}

int DisplayWidth(std::string_view text) {
  int width = 0;
  for (size_t i = 0; i < text.size();) {
    char32_t cp = 0;
    if (!platform::DecodeUtf8At(text, i, cp)) {
      ++width;  // a stray byte shows as one replacement character
      ++i;
      continue;
    }
    width += IsWide(cp) ? 2 : IsCombining(cp) ? 0 : 1;
  }
  return width;
}

}  // namespace sonorell
