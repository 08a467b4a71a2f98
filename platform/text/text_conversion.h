#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Text conversions between the system code page (the "ANSI" text that tags carry inside the
// program), UTF-8, Latin-1 and UTF-16. The plain conversions are strict: text that is not
// valid in its encoding, or that the target cannot hold, makes the whole conversion fail
// (nullopt) instead of losing characters unnoticed. The "Replacing" conversions never fail:
// they put a replacement character where a character cannot be converted and say that they
// did, so that the caller can tell the user. Utf8ToLatin1's replacement is the caller's.
namespace platform {

// The code set of the program's current locale (nl_langinfo(CODESET)), e.g. "UTF-8", or
// "ANSI_X3.4-1968" before the program has called setlocale.
std::string LocaleCodeSet();

// The system code page: the locale's code set, except that a locale whose code set is plain
// ASCII (C, POSIX, as under cron, in containers and with LC_ALL=C) counts as UTF-8, as
// current Linux tools take it.
std::string SystemCodeSet();

// True for the names iconv and glibc use for UTF-8 ("UTF-8", "utf8", ...).
bool IsUtf8CodeSet(std::string_view codeSet);

// True for the names glibc and iconv give 7-bit ASCII ("ANSI_X3.4-1968", "US-ASCII", ...).
bool IsAsciiCodeSet(std::string_view codeSet);

// System code page text to UTF-8 and back. On UTF-8 the text is only checked, not changed.
// An empty text converts to an empty text.
std::optional<std::string> AnsiToUtf8(std::string_view text);
std::optional<std::string> Utf8ToAnsi(std::string_view text);

// A text converted whatever it holds.
struct ReplacedText {
  std::string text;
  bool replaced = false;  // some character or byte became a replacement character
};

// The same conversions, never failing: a character the system code page cannot hold
// becomes "?" (one per character), and bytes that are not valid in the source encoding
// become the target's replacement character (U+FFFD in UTF-8, "?" elsewhere). Everything
// else is converted as the strict conversions do.
ReplacedText AnsiToUtf8Replacing(std::string_view text);
ReplacedText Utf8ToAnsiReplacing(std::string_view text);

// The same for a named code set (any iconv name: "CP1251", "SHIFT_JIS", "ISO-8859-1", ...).
// nullopt too when iconv does not know the code set.
std::optional<std::string> CodeSetToUtf8(std::string_view text, const std::string& codeSet);
std::optional<std::string> Utf8ToCodeSet(std::string_view text, const std::string& codeSet);
// And never failing, as above. A code set iconv does not know keeps only ASCII.
ReplacedText CodeSetToUtf8Replacing(std::string_view text, const std::string& codeSet);
ReplacedText Utf8ToCodeSetReplacing(std::string_view text, const std::string& codeSet);

// Well-formed UTF-8: shortest forms only, no surrogates (U+D800..U+DFFF), nothing above
// U+10FFFF, no truncated sequences.
bool IsValidUtf8(std::string_view text);

// The code point of the one well-formed UTF-8 sequence at text[pos], with pos moved past
// it. False, pos unchanged, when no valid sequence starts there (a stray byte, an overlong
// form, a surrogate, a sequence cut short), so a caller can replace that byte and go on.
bool DecodeUtf8At(std::string_view text, size_t& pos, char32_t& codePoint);

// Code points of well-formed UTF-8; nullopt otherwise.
std::optional<std::u32string> DecodeUtf8(std::string_view text);

// UTF-8 of Unicode scalar values; nullopt for a surrogate or a value above U+10FFFF.
std::optional<std::string> EncodeUtf8(std::u32string_view codePoints);

// UTF-8 to Latin-1 (ISO-8859-1): every character above U+00FF becomes one replacement
// byte. nullopt when the input is not well-formed UTF-8.
std::optional<std::string> Utf8ToLatin1(std::string_view text, char replacement);

// Latin-1 to UTF-8; every byte is a character, so this cannot fail.
std::string Latin1ToUtf8(std::string_view text);

// UTF-8 to UTF-16 code units; characters above U+FFFF become surrogate pairs. nullopt when
// the input is not well-formed UTF-8.
std::optional<std::u16string> Utf8ToUtf16(std::string_view text);

// UTF-16 code units to UTF-8; nullopt for an unpaired surrogate.
std::optional<std::string> Utf16ToUtf8(std::u16string_view text);

enum class Utf16Order { kLittleEndian, kBigEndian };

// UTF-16 bytes as found in a file (an ID3 frame, say). A leading byte order mark chooses the
// order and is dropped; without one the bytes are read in orderWithoutBom. The whole range is
// decoded (terminators are the caller's business). nullopt for an odd byte count or an
// unpaired surrogate.
std::optional<std::string> Utf16BytesToUtf8(std::span<const uint8_t> bytes,
                                            Utf16Order orderWithoutBom);

}  // namespace platform
