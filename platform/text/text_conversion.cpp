#include "platform/text/text_conversion.h"

#include <iconv.h>
#include <langinfo.h>

#include <cerrno>

namespace platform {
namespace {

// Owns one iconv conversion descriptor.
class IconvHandle {
 public:
  IconvHandle(const std::string& to, const std::string& from)
      : cd_(::iconv_open(to.c_str(), from.c_str())) {}
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  ~IconvHandle() {
    if (valid()) ::iconv_close(cd_);
  }

  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

constexpr size_t kIconvFailed = static_cast<size_t>(-1);

// U+FFFD REPLACEMENT CHARACTER in UTF-8.
constexpr std::string_view kUtf8Replacement = "\xEF\xBF\xBD";
// What a legacy code set writes for a character it cannot hold; ASCII is in every one of
// them.
constexpr std::string_view kCodeSetReplacement = "?";

// How Iconv treats input it cannot convert.
struct Replacement {
  std::string_view mark;     // written instead, already in the target code set
  bool inputIsUtf8 = false;  // skip one whole UTF-8 character rather than one byte
  bool used = false;
};

// The bytes to step over at text[pos] after a conversion error: the whole character when
// the input is UTF-8 and one starts there, else one byte.
size_t BadInputLength(std::string_view text, size_t pos, bool inputIsUtf8) {
  size_t next = pos;
  char32_t ignored = 0;
  if (inputIsUtf8 && DecodeUtf8At(text, next, ignored)) return next - pos;
  return 1;
}

// Converts all of text. Without a replacement, a character the target cannot hold, an
// invalid or truncated input sequence, and any conversion iconv itself calls irreversible
// (an approximation) fail the whole text. With one, each such place gets its mark (after a
// return to the initial shift state, for stateful code sets such as ISO-2022-JP) and the
// conversion goes on after it.
std::optional<std::string> Iconv(std::string_view text, const std::string& to,
                                 const std::string& from, Replacement* replace = nullptr) {
  if (text.empty()) return std::string();
  const IconvHandle cd(to, from);
  if (!cd.valid()) return std::nullopt;

  std::string input(text);  // iconv wants a mutable pointer
  char* in = input.data();
  size_t inLeft = input.size();
  std::string out(input.size() + 16, '\0');
  size_t used = 0;
  bool flushing = false;  // after the input, stateful code sets write their closing shift
  // One call of iconv with the room it needs: false when it failed for another reason.
  const auto convert = [&](char** inPtr, size_t* inBytes, size_t& result) {
    for (;;) {
      char* outPtr = out.data() + used;
      size_t outLeft = out.size() - used;
      result = ::iconv(cd.get(), inPtr, inBytes, &outPtr, &outLeft);
      const int error = errno;
      used = out.size() - outLeft;
      if (result != kIconvFailed) return true;
      if (error != E2BIG) return false;  // EILSEQ, EINVAL (truncated input)
      out.resize(out.size() * 2);
    }
  };
  for (;;) {
    size_t result = 0;
    const bool done = flushing ? convert(nullptr, nullptr, result) : convert(&in, &inLeft, result);
    if (!done) {
      if (!replace || flushing) return std::nullopt;
      if (!convert(nullptr, nullptr, result)) return std::nullopt;  // back to the initial state
      out.replace(used, replace->mark.size(), replace->mark);
      used += replace->mark.size();
      if (out.size() < used + 16) out.resize(2 * (used + 16));
      const size_t skip =
          BadInputLength(input, static_cast<size_t>(in - input.data()), replace->inputIsUtf8);
      in += skip;
      inLeft -= skip;
      replace->used = true;
      continue;
    }
    if (result != 0) {
      if (!replace) return std::nullopt;
      replace->used = true;
    }
    if (flushing) break;
    flushing = true;
  }
  out.resize(used);
  return out;
}

// Well-formed UTF-8 with each invalid byte sequence replaced by U+FFFD.
ReplacedText RepairUtf8(std::string_view text) {
  ReplacedText out;
  out.text.reserve(text.size());
  size_t pos = 0;
  char32_t cp = 0;
  while (pos < text.size()) {
    const size_t start = pos;
    if (DecodeUtf8At(text, pos, cp)) {
      out.text.append(text.substr(start, pos - start));
    } else {
      out.text += kUtf8Replacement;
      out.replaced = true;
      ++pos;
    }
  }
  return out;
}

// For a code set iconv does not know: ASCII is kept, everything else is one mark per
// character (input UTF-8) or per byte.
ReplacedText AsciiOnly(std::string_view text, std::string_view mark, bool inputIsUtf8) {
  ReplacedText out;
  for (size_t pos = 0; pos < text.size();) {
    if (static_cast<uint8_t>(text[pos]) < 0x80) {
      out.text += text[pos++];
      continue;
    }
    out.text += mark;
    out.replaced = true;
    pos += BadInputLength(text, pos, inputIsUtf8);
  }
  return out;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

bool IsScalarValue(char32_t cp) {
  return cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

}  // namespace

std::string LocaleCodeSet() {
  const char* codeSet = ::nl_langinfo(CODESET);
  return codeSet ? std::string(codeSet) : std::string();
}

std::string SystemCodeSet() {
  std::string codeSet = LocaleCodeSet();
  return IsAsciiCodeSet(codeSet) ? std::string("UTF-8") : codeSet;
}

namespace {

// A code set's name upper-cased, without the punctuation its spellings differ in.
std::string PlainCodeSetName(std::string_view codeSet) {
  std::string plain;
  for (const char c : codeSet) {
    if (c == '-' || c == '_' || c == '.' || c == ':') continue;
    plain += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return plain;
}

}  // namespace

bool IsUtf8CodeSet(std::string_view codeSet) {
  return PlainCodeSetName(codeSet) == "UTF8";
}

bool IsAsciiCodeSet(std::string_view codeSet) {
  constexpr std::string_view kAsciiNames[] = {
      "ANSIX341968", "ANSIX341986", "ASCII", "USASCII", "ISO646US", "ISO646IRV1991",
      "US",          "646",         "CP367", "IBM367",  "CSASCII",  "ISOIR6",
  };
  const std::string plain = PlainCodeSetName(codeSet);
  for (const std::string_view name : kAsciiNames) {
    if (plain == name) return true;
  }
  return false;
}

std::optional<std::string> AnsiToUtf8(std::string_view text) {
  return CodeSetToUtf8(text, SystemCodeSet());
}

std::optional<std::string> Utf8ToAnsi(std::string_view text) {
  return Utf8ToCodeSet(text, SystemCodeSet());
}

ReplacedText AnsiToUtf8Replacing(std::string_view text) {
  return CodeSetToUtf8Replacing(text, SystemCodeSet());
}

ReplacedText Utf8ToAnsiReplacing(std::string_view text) {
  return Utf8ToCodeSetReplacing(text, SystemCodeSet());
}

std::optional<std::string> CodeSetToUtf8(std::string_view text, const std::string& codeSet) {
  if (IsUtf8CodeSet(codeSet)) {
    if (!IsValidUtf8(text)) return std::nullopt;
    return std::string(text);
  }
  auto converted = Iconv(text, "UTF-8", codeSet);
  // iconv's own output is trusted only after the same check as everything else.
  if (!converted || !IsValidUtf8(*converted)) return std::nullopt;
  return converted;
}

std::optional<std::string> Utf8ToCodeSet(std::string_view text, const std::string& codeSet) {
  // Checked here rather than left to iconv, whose UTF-8 reader is not as strict.
  if (!IsValidUtf8(text)) return std::nullopt;
  if (IsUtf8CodeSet(codeSet)) return std::string(text);
  return Iconv(text, codeSet, "UTF-8");
}

ReplacedText CodeSetToUtf8Replacing(std::string_view text, const std::string& codeSet) {
  if (IsUtf8CodeSet(codeSet)) return RepairUtf8(text);
  Replacement replace{kUtf8Replacement, false};
  std::optional<std::string> converted = Iconv(text, "UTF-8", codeSet, &replace);
  if (!converted) return AsciiOnly(text, kUtf8Replacement, false);
  // iconv's own output is trusted only after the same check as everything else.
  ReplacedText out = RepairUtf8(*converted);
  out.replaced = out.replaced || replace.used;
  return out;
}

ReplacedText Utf8ToCodeSetReplacing(std::string_view text, const std::string& codeSet) {
  ReplacedText repaired = RepairUtf8(text);
  if (IsUtf8CodeSet(codeSet)) return repaired;
  Replacement replace{kCodeSetReplacement, true};
  std::optional<std::string> converted = Iconv(repaired.text, codeSet, "UTF-8", &replace);
  if (!converted) return AsciiOnly(repaired.text, kCodeSetReplacement, true);
  return {std::move(*converted), repaired.replaced || replace.used};
}

bool DecodeUtf8At(std::string_view text, size_t& pos, char32_t& codePoint) {
  if (pos >= text.size()) return false;
  const auto lead = static_cast<uint8_t>(text[pos]);
  if (lead < 0x80) {
    codePoint = lead;
    ++pos;
    return true;
  }
  size_t length = 0;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
  } else {
    return false;  // continuation byte, overlong lead C0/C1, or F5..FF
  }
  if (text.size() - pos < length) return false;
  for (size_t k = 1; k < length; ++k) {
    const auto next = static_cast<uint8_t>(text[pos + k]);
    if ((next & 0xC0) != 0x80) return false;
    value = (value << 6) | (next & 0x3F);
  }
  if (length == 3 && value < 0x800) return false;    // overlong
  if (length == 4 && value < 0x10000) return false;  // overlong
  if (value > 0x10FFFF) return false;
  if (value >= 0xD800 && value <= 0xDFFF) return false;  // surrogates are not characters
  codePoint = value;
  pos += length;
  return true;
}

bool IsValidUtf8(std::string_view text) {
  size_t pos = 0;
  char32_t cp = 0;
  while (pos < text.size()) {
    if (!DecodeUtf8At(text, pos, cp)) return false;
  }
  return true;
}

std::optional<std::u32string> DecodeUtf8(std::string_view text) {
  std::u32string out;
  out.reserve(text.size());
  size_t pos = 0;
  char32_t cp = 0;
  while (pos < text.size()) {
    if (!DecodeUtf8At(text, pos, cp)) return std::nullopt;
    out += cp;
  }
  return out;
}

std::optional<std::string> EncodeUtf8(std::u32string_view codePoints) {
  std::string out;
  out.reserve(codePoints.size());
  for (const char32_t cp : codePoints) {
    if (!IsScalarValue(cp)) return std::nullopt;
    AppendUtf8(out, cp);
  }
  return out;
}

std::optional<std::string> Utf8ToLatin1(std::string_view text, char replacement) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  char32_t cp = 0;
  while (pos < text.size()) {
    if (!DecodeUtf8At(text, pos, cp)) return std::nullopt;
    out += cp <= 0xFF ? static_cast<char>(cp) : replacement;
  }
  return out;
}

std::string Latin1ToUtf8(std::string_view text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (const char c : text) AppendUtf8(out, static_cast<uint8_t>(c));
  return out;
}

std::optional<std::u16string> Utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t pos = 0;
  char32_t cp = 0;
  while (pos < text.size()) {
    if (!DecodeUtf8At(text, pos, cp)) return std::nullopt;
    if (cp < 0x10000) {
      out += static_cast<char16_t>(cp);
    } else {
      const char32_t v = cp - 0x10000;
      out += static_cast<char16_t>(0xD800 | (v >> 10));
      out += static_cast<char16_t>(0xDC00 | (v & 0x3FF));
    }
  }
  return out;
}

std::optional<std::string> Utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size() * 3);
  for (size_t i = 0; i < text.size(); ++i) {
    const char16_t unit = text[i];
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 1 >= text.size()) return std::nullopt;
      const char16_t low = text[i + 1];
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      AppendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit - 0xD800) << 10) | (low - 0xDC00)));
      ++i;
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      return std::nullopt;
    } else {
      AppendUtf8(out, unit);
    }
  }
  return out;
}

std::optional<std::string> Utf16BytesToUtf8(std::span<const uint8_t> bytes,
                                            Utf16Order orderWithoutBom) {
  if (bytes.size() % 2 != 0) return std::nullopt;
  Utf16Order order = orderWithoutBom;
  size_t start = 0;
  if (bytes.size() >= 2) {
    if (bytes[0] == 0xFF && bytes[1] == 0xFE) {
      order = Utf16Order::kLittleEndian;
      start = 2;
    } else if (bytes[0] == 0xFE && bytes[1] == 0xFF) {
      order = Utf16Order::kBigEndian;
      start = 2;
    }
  }
  std::u16string units;
  units.reserve((bytes.size() - start) / 2);
  for (size_t i = start; i + 1 < bytes.size(); i += 2) {
    const auto first = static_cast<char16_t>(bytes[i]);
    const auto second = static_cast<char16_t>(bytes[i + 1]);
    units += order == Utf16Order::kLittleEndian ? static_cast<char16_t>(first | (second << 8))
                                                : static_cast<char16_t>((first << 8) | second);
  }
  return Utf16ToUtf8(units);
}

}  // namespace platform
