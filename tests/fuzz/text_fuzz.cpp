// Feeds arbitrary bytes to the text conversions that tag bytes from files go through: the
// UTF-8 checks and decoders agree with each other, conversions give well-formed UTF-8, and
// what converts one way converts back.
#include <clocale>
#include <span>
#include <string>

#include "platform/text/text_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool locale = std::setlocale(LC_ALL, "C.UTF-8") != nullptr;
  (void)locale;
  using namespace platform;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const auto codePoints = DecodeUtf8(text);
  if (IsValidUtf8(text) != codePoints.has_value()) __builtin_trap();
  if (codePoints && EncodeUtf8(*codePoints) != std::string(text)) __builtin_trap();
  // Stepping over the bytes, one replacement for each that starts no sequence, ends.
  for (size_t pos = 0; pos < size;) {
    const size_t before = pos;
    char32_t cp = 0;
    if (!DecodeUtf8At(text, pos, cp)) {
      if (pos != before) __builtin_trap();
      ++pos;
    } else if (pos <= before || pos > size) {
      __builtin_trap();
    }
  }
  if (const auto utf16 = Utf8ToUtf16(text)) {
    if (!codePoints || Utf16ToUtf8(*utf16) != std::string(text)) __builtin_trap();
  }

  const std::string latin = Latin1ToUtf8(text);
  if (!IsValidUtf8(latin) || Utf8ToLatin1(latin, '?') != std::string(text)) __builtin_trap();
  if (const auto back = Utf8ToLatin1(text, '?'); back.has_value() != codePoints.has_value()) {
    __builtin_trap();
  }

  const std::span<const uint8_t> bytes(data, size);
  for (const Utf16Order order : {Utf16Order::kLittleEndian, Utf16Order::kBigEndian}) {
    if (const auto utf8 = Utf16BytesToUtf8(bytes, order)) {
      if (size % 2 != 0 || !IsValidUtf8(*utf8)) __builtin_trap();
    }
  }
  for (const char* codeSet : {"CP1251", "SHIFT_JIS", "ISO-8859-1", "UTF-16LE"}) {
    if (const auto utf8 = CodeSetToUtf8(text, codeSet)) {
      if (!IsValidUtf8(*utf8)) __builtin_trap();
      (void)Utf8ToCodeSet(*utf8, codeSet);
    }
  }
  if (const auto utf8 = AnsiToUtf8(text)) {
    if (!IsValidUtf8(*utf8)) __builtin_trap();
    (void)Utf8ToAnsi(*utf8);
  }
  return 0;
}
