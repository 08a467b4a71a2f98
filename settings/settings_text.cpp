#include "settings/settings_text.h"

#include <charconv>
#include <cstddef>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "settings/settings_fields.h"
#include "settings/settings_store.h"

namespace sonorell {
namespace {

using settings_fields::Field;
using settings_fields::kFields;
using settings_fields::kTagFamilies;
using settings_fields::kTagNumbers;
using settings_fields::kTagTextNames;
using settings_fields::kTagTexts;
using settings_fields::TagFamily;
using settings_fields::TagNumber;

// Calls visit(name, value) for every stored value of the record, in the store's order:
// the options, then the four tag sets. Record is Settings or const Settings.
template <class Record, class Visit>
void ForEachValue(Record& settings, Visit&& visit) {
  for (const Field& field : kFields) {
    if (field.number) {
      visit(std::string_view(field.name), settings.*field.number);
    } else {
      visit(std::string_view(field.name), settings.*field.text);
    }
  }
  for (const TagFamily& family : kTagFamilies) {
    auto& tags = settings.*family.tags;
    const std::string prefix = std::string(family.name) + "Tag.";
    for (size_t i = 0; i < std::size(kTagTexts); ++i) {
      visit(std::string_view(prefix + kTagTextNames[i]), tags.*kTagTexts[i]);
    }
    for (const TagNumber& number : kTagNumbers) {
      visit(std::string_view(prefix + number.name), tags.*number.field);
    }
  }
}

constexpr char kHexDigits[] = "0123456789ABCDEF";

bool IsControlByte(unsigned char c) {
  return c < 0x20 || c == 0x7F;
}

void AppendNumber(std::string& out, int value) {
  char digits[16];
  const auto [end, error] = std::to_chars(std::begin(digits), std::end(digits), value);
  out.append(digits, error == std::errc() ? end : digits);
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\0':
        out += "\\0";
        break;
      default: {
        const auto byte = static_cast<unsigned char>(c);
        if (IsControlByte(byte)) {
          out += "\\x";
          out += kHexDigits[byte >> 4];
          out += kHexDigits[byte & 0xF];
        } else {
          out += c;
        }
      }
    }
  }
}

bool ParseNumber(std::string_view text, int& value) {
  const char* const last = text.data() + text.size();
  int parsed = 0;
  const auto [end, error] = std::from_chars(text.data(), last, parsed);
  if (text.empty() || error != std::errc() || end != last) return false;
  value = parsed;
  return true;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Undoes AppendEscaped. Raw control bytes and unknown or cut-off escapes are refused.
bool ParseText(std::string_view text, std::string& value) {
  std::string parsed;
  parsed.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (IsControlByte(static_cast<unsigned char>(c))) return false;
    if (c != '\\') {
      parsed += c;
      continue;
    }
    if (++i == text.size()) return false;
    switch (text[i]) {
      case '\\':
        parsed += '\\';
        break;
      case 'n':
        parsed += '\n';
        break;
      case 'r':
        parsed += '\r';
        break;
      case 't':
        parsed += '\t';
        break;
      case '0':
        parsed += '\0';
        break;
      case 'x': {
        if (text.size() - i < 3) return false;
        const int high = HexValue(text[i + 1]);
        const int low = HexValue(text[i + 2]);
        if (high < 0 || low < 0) return false;
        parsed += static_cast<char>(high * 16 + low);
        i += 2;
        break;
      }
      default:
        return false;
    }
  }
  value = std::move(parsed);
  return true;
}

bool ParseValue(std::string_view text, int& value) {
  return ParseNumber(text, value);
}
bool ParseValue(std::string_view text, std::string& value) {
  return ParseText(text, value);
}

// One "name=value" line (without its line break) into the record.
bool ReadLine(std::string_view line, Settings& settings) {
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return false;
  const std::string_view name = line.substr(0, equals);
  const std::string_view text = line.substr(equals + 1);
  bool known = false;
  bool parsed = false;
  ForEachValue(settings, [&](std::string_view valueName, auto& value) {
    if (known || valueName != name) return;
    known = true;
    parsed = ParseValue(text, value);
  });
  return known && parsed;
}

}  // namespace

std::string SettingsToText(const Settings& settings) {
  std::string text;
  ForEachValue(settings, [&text](std::string_view name, const auto& value) {
    text.append(name);
    text += '=';
    if constexpr (std::is_same_v<std::decay_t<decltype(value)>, int>) {
      AppendNumber(text, value);
    } else {
      AppendEscaped(text, value);
    }
    text += '\n';
  });
  return text;
}

bool SettingsFromText(const std::string& text, Settings& out) {
  if (!text.empty() && text.back() != '\n') return false;
  Settings read = out;
  const std::string_view all(text);
  size_t start = 0;
  while (start < all.size()) {
    const size_t end = all.find('\n', start);
    if (!ReadLine(all.substr(start, end - start), read)) return false;
    start = end + 1;
  }
  BuildExtensionFilter(read);
  out = std::move(read);
  return true;
}

}  // namespace sonorell
