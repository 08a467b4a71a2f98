#include "cli/json_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace sonorell {
namespace {

// The code point of the UTF-8 sequence at text[i], and its length in bytes; length 0 for
// an invalid sequence (overlong forms, surrogates and values past U+10FFFF included).
uint32_t DecodeUtf8(std::string_view text, size_t i, size_t& length) {
  const auto byte = [&](size_t k) { return static_cast<uint8_t>(text[k]); };
  const uint8_t b0 = byte(i);
  length = 0;
  if (b0 < 0x80) {
    length = 1;
    return b0;
  }
  size_t n = 0;
  uint32_t cp = 0;
  uint32_t min = 0;
  if ((b0 & 0xE0) == 0xC0) {
    n = 2;
    cp = b0 & 0x1F;
    min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    n = 3;
    cp = b0 & 0x0F;
    min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    n = 4;
    cp = b0 & 0x07;
    min = 0x10000;
  } else {
    return 0;
  }
  if (i + n > text.size()) return 0;
  for (size_t k = 1; k < n; ++k) {
    const uint8_t b = byte(i + k);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = n;
  return cp;
}

bool IsWide(uint32_t cp) {
  return (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0x303E) ||
         (cp >= 0x3041 && cp <= 0x33FF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
         (cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0xA000 && cp <= 0xA4CF) ||
         (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
         (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
         (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x1F300 && cp <= 0x1F64F) ||
         (cp >= 0x1F900 && cp <= 0x1F9FF) || (cp >= 0x20000 && cp <= 0x3FFFD);
}

bool IsCombining(uint32_t cp) {
  return (cp >= 0x0300 && cp <= 0x036F) || (cp >= 0x1AB0 && cp <= 0x1AFF) ||
         (cp >= 0x1DC0 && cp <= 0x1DFF) || (cp >= 0x20D0 && cp <= 0x20FF) ||
         (cp >= 0xFE20 && cp <= 0xFE2F) || cp == 0x200B || cp == 0x200D;
}

}  // namespace

std::string JsonString(std::string_view bytes) {
  std::string out = "\"";
  out.reserve(bytes.size() + 2);
  for (size_t i = 0; i < bytes.size();) {
    size_t length = 0;
    const uint32_t cp = DecodeUtf8(bytes, i, length);
    if (length == 0) {
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
      out.append(bytes.substr(i, length));
    }
    i += length;
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
    size_t length = 0;
    const uint32_t cp = DecodeUtf8(text, i, length);
    if (length == 0) {
      ++width;
      ++i;
      continue;
    }
    width += IsWide(cp) ? 2 : IsCombining(cp) ? 0 : 1;
    i += length;
  }
  return width;
}

}  // namespace sonorell
