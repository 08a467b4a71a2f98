#include "platform/text/text_conversion.h"

#include <gtest/gtest.h>

#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/support/latin1_locale.h"

#include <clocale>
#include <string>
#include <vector>

namespace platform {
namespace {

using namespace std::string_literals;

using sonorell::testing::LocaleGuard;

#define REQUIRE_LOCALE(guard, name) \
  LocaleGuard guard(name);          \
  if (!guard.ok()) GTEST_SKIP() << "locale " << name << " is not installed"

const std::string kCyrillic = "Привет, мир";
const std::string kJapanese = "日本語のテキスト";
const std::string kEmoji = "Smile 😀 and 🎵";  // both above U+FFFF

// Byte strings that are not well-formed UTF-8, each with what is wrong with it.
const std::vector<std::pair<std::string, const char*>> kMalformed = {
    {"\xC3", "two-byte sequence cut short"},
    {"ab\xE3\x81", "three-byte sequence cut short"},
    {"\xF0\x9F\x98", "four-byte sequence cut short"},
    {"\x80", "continuation byte without a lead"},
    {"a\xBF"
     "b",
     "stray continuation byte in the middle"},
    {"\xC3(", "lead byte followed by a non-continuation"},
    {"\xC0\xAF", "overlong '/' in two bytes"},
    {"\xC1\xBF", "overlong in two bytes (C1 lead)"},
    {"\xE0\x80\xAF", "overlong '/' in three bytes"},
    {"\xF0\x80\x80\xAF", "overlong '/' in four bytes"},
    {"\xED\xA0\x80", "lone high surrogate U+D800"},
    {"\xED\xBF\xBF", "lone low surrogate U+DFFF"},
    {"\xED\xA0\xBD\xED\xB8\x80", "surrogate pair spelled as two three-byte sequences"},
    {"\xF4\x90\x80\x80", "above U+10FFFF"},
    {"\xF5\x80\x80\x80", "F5 lead byte"},
    {"\xFF", "0xFF byte"},
    {"\xFE\xFF", "0xFE 0xFF bytes"},
    {"valid start \xFF valid end", "0xFF between valid text"},
};

TEST(TextUtf8Checks, WellFormedBoundariesAreAccepted) {
  const std::vector<std::string> good = {
      "",
      "\x7F",              // U+007F
      "\xC2\x80",          // U+0080
      "\xDF\xBF",          // U+07FF
      "\xE0\xA0\x80",      // U+0800
      "\xED\x9F\xBF",      // U+D7FF, just below the surrogates
      "\xEE\x80\x80",      // U+E000, just above them
      "\xEF\xBF\xBF",      // U+FFFF
      "\xF0\x90\x80\x80",  // U+10000
      "\xF4\x8F\xBF\xBF",  // U+10FFFF
      "nul\0inside"s,
      kCyrillic,
      kJapanese,
      kEmoji,
  };
  for (const auto& text : good) EXPECT_TRUE(IsValidUtf8(text)) << text;
  const auto decoded = DecodeUtf8(
      "\xF4\x8F\xBF\xBF\xE0\xA0\x80"
      "A");
  ASSERT_TRUE(decoded);
  EXPECT_EQ(*decoded, (std::u32string{0x10FFFF, 0x800, U'A'}));
}

TEST(TextUtf8Checks, MalformedInputFailsEveryConversion) {
  LocaleGuard utf8("C.UTF-8");
  for (const auto& [text, what] : kMalformed) {
    SCOPED_TRACE(what);
    EXPECT_FALSE(IsValidUtf8(text));
    EXPECT_FALSE(DecodeUtf8(text));
    EXPECT_FALSE(Utf8ToLatin1(text, '?'));
    EXPECT_FALSE(Utf8ToUtf16(text));
    EXPECT_FALSE(Utf8ToCodeSet(text, "CP1251"));
    EXPECT_FALSE(Utf8ToCodeSet(text, "UTF-8"));
    EXPECT_FALSE(CodeSetToUtf8(text, "UTF-8"));
    if (utf8.ok()) {
      EXPECT_FALSE(Utf8ToAnsi(text));
      EXPECT_FALSE(AnsiToUtf8(text));
    }
  }
}

TEST(TextUtf8Checks, EncodingRejectsWhatIsNoCharacter) {
  EXPECT_EQ(EncodeUtf8(U"A\u00E9\u65E5\U0001F600"), "Aé日😀");
  EXPECT_FALSE(EncodeUtf8(std::u32string{0xD800}));
  EXPECT_FALSE(EncodeUtf8(std::u32string{0xDFFF}));
  EXPECT_FALSE(EncodeUtf8(std::u32string{0x110000}));
}

TEST(TextLocale, Utf8LocaleKeepsTextAndStillChecksIt) {
  REQUIRE_LOCALE(utf8, "C.UTF-8");
  EXPECT_TRUE(IsUtf8CodeSet(LocaleCodeSet())) << LocaleCodeSet();
  for (const auto& text : {kCyrillic, kJapanese, kEmoji, std::string("plain"), std::string()}) {
    EXPECT_EQ(AnsiToUtf8(text), text);
    EXPECT_EQ(Utf8ToAnsi(text), text);
  }
}

// Cron jobs, containers and LC_ALL=C runs: the C and POSIX locales' ASCII counts as UTF-8,
// so every script survives, and what is not UTF-8 is still refused or replaced.
TEST(TextLocale, AsciiLocalesCountAsUtf8) {
  for (const char* name : {"C", "POSIX"}) {
    SCOPED_TRACE(name);
    REQUIRE_LOCALE(c, name);
    EXPECT_TRUE(IsAsciiCodeSet(LocaleCodeSet())) << LocaleCodeSet();
    EXPECT_EQ(SystemCodeSet(), "UTF-8");
    for (const auto& text : {kCyrillic, kJapanese, kEmoji, std::string("plain text 123")}) {
      EXPECT_EQ(AnsiToUtf8(text), text);
      EXPECT_EQ(Utf8ToAnsi(text), text);
      const ReplacedText local = Utf8ToAnsiReplacing(text);
      EXPECT_EQ(local.text, text);
      EXPECT_FALSE(local.replaced);
    }
    EXPECT_FALSE(AnsiToUtf8("caf\xE9"));
    const ReplacedText repaired = AnsiToUtf8Replacing("caf\xE9!");
    EXPECT_EQ(repaired.text, "caf\uFFFD!");
    EXPECT_TRUE(repaired.replaced);
  }
}

TEST(TextLocale, CodeSetNamesOfUtf8AndAscii) {
  EXPECT_TRUE(IsUtf8CodeSet("UTF-8"));
  EXPECT_TRUE(IsUtf8CodeSet("utf8"));
  EXPECT_TRUE(IsUtf8CodeSet("Utf_8"));
  EXPECT_FALSE(IsUtf8CodeSet("UTF-16"));
  EXPECT_FALSE(IsUtf8CodeSet("ANSI_X3.4-1968"));
  EXPECT_FALSE(IsUtf8CodeSet(""));
  for (const char* ascii : {"ANSI_X3.4-1968", "ascii", "US-ASCII", "ISO646-US", "646"}) {
    EXPECT_TRUE(IsAsciiCodeSet(ascii)) << ascii;
  }
  for (const char* other : {"UTF-8", "ISO-8859-1", "CP1252", "KOI8-R", ""}) {
    EXPECT_FALSE(IsAsciiCodeSet(other)) << other;
  }
}

// A locale whose code set cannot hold every text (Latin-1 here): the characters it cannot
// hold become "?", one each, and the rest of the text stays.
TEST(TextLocale, LegacyLocaleReplacesWhatItCannotHold) {
  const sonorell::testing::InLatin1Locale latin1;
  if (!latin1.ok()) GTEST_SKIP() << "localedef cannot make a Latin-1 locale here";
  EXPECT_EQ(SystemCodeSet(), "ISO-8859-1");
  EXPECT_FALSE(Utf8ToAnsi("Café Пётр"));
  const ReplacedText local = Utf8ToAnsiReplacing("Café Пётр 😀!");
  EXPECT_EQ(local.text, "Caf\xE9 ???? ?!");
  EXPECT_TRUE(local.replaced);
  const ReplacedText held = Utf8ToAnsiReplacing("Café Müller");
  EXPECT_EQ(held.text, "Caf\xE9 M\xFCller");
  EXPECT_FALSE(held.replaced);
  EXPECT_EQ(AnsiToUtf8Replacing(held.text).text, "Café Müller");
}

TEST(TextCodeSets, ReplacingConversionsKeepWhatTheyCan) {
  // One "?" per character the target lacks, whatever its length in UTF-8.
  ReplacedText r = Utf8ToCodeSetReplacing("Привет 日本 😀", "CP1251");
  EXPECT_EQ(r.text, "\xCF\xF0\xE8\xE2\xE5\xF2 ?? ?");
  EXPECT_TRUE(r.replaced);
  // Bytes that are not UTF-8 become U+FFFD, which a legacy target writes as "?".
  r = Utf8ToCodeSetReplacing("ok \xFF\xC3 end", "CP1252");
  EXPECT_EQ(r.text, "ok ?? end");
  EXPECT_TRUE(r.replaced);
  r = Utf8ToCodeSetReplacing("ok \xFF end", "UTF-8");
  EXPECT_EQ(r.text, "ok \uFFFD end");
  EXPECT_TRUE(r.replaced);
  // Undefined or cut-short legacy bytes become U+FFFD, and the text goes on after them.
  r = CodeSetToUtf8Replacing("ok \x81 \x80", "CP1252");
  EXPECT_EQ(r.text, "ok \uFFFD €");
  EXPECT_TRUE(r.replaced);
  r = CodeSetToUtf8Replacing("\x93\xFA\x96", "SHIFT_JIS");
  EXPECT_EQ(r.text, "日\uFFFD");
  // A stateful code set goes back to ASCII before the "?".
  r = Utf8ToCodeSetReplacing("日本 é 日本", "ISO-2022-JP");
  EXPECT_TRUE(r.replaced);
  EXPECT_EQ(CodeSetToUtf8(r.text, "ISO-2022-JP"), "日本 ? 日本");
  // Nothing to replace: the strict conversion's result, not flagged.
  r = Utf8ToCodeSetReplacing(kJapanese, "SHIFT_JIS");
  EXPECT_EQ(r.text, Utf8ToCodeSet(kJapanese, "SHIFT_JIS"));
  EXPECT_FALSE(r.replaced);
  // A code set iconv does not know keeps ASCII.
  r = Utf8ToCodeSetReplacing("abc é", "NO-SUCH-CODE-SET");
  EXPECT_EQ(r.text, "abc ?");
  EXPECT_TRUE(r.replaced);
  EXPECT_EQ(CodeSetToUtf8Replacing("", "CP1251").text, "");
}

TEST(TextCodeSets, SingleByteCodePagesRoundTrip) {
  const std::string cp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
  EXPECT_EQ(CodeSetToUtf8(cp1251, "CP1251"), "Привет");
  EXPECT_EQ(Utf8ToCodeSet("Привет", "CP1251"), cp1251);
  EXPECT_EQ(CodeSetToUtf8("\x80 5", "CP1252"), "€ 5");
  EXPECT_EQ(Utf8ToCodeSet("€ 5", "CP1252"), "\x80 5");
  EXPECT_EQ(CodeSetToUtf8("caf\xE9", "ISO-8859-1"), "café");
}

TEST(TextCodeSets, MultiByteCodeSetsRoundTrip) {
  for (const char* codeSet : {"SHIFT_JIS", "EUC-JP", "ISO-2022-JP", "GB18030"}) {
    SCOPED_TRACE(codeSet);
    const auto encoded = Utf8ToCodeSet(kJapanese, codeSet);
    ASSERT_TRUE(encoded);
    EXPECT_NE(*encoded, kJapanese);
    EXPECT_EQ(CodeSetToUtf8(*encoded, codeSet), kJapanese);
  }
  // ISO-2022-JP is stateful: its text has to end by shifting back to ASCII.
  const auto jis = Utf8ToCodeSet("日本", "ISO-2022-JP");
  ASSERT_TRUE(jis);
  EXPECT_EQ(jis->substr(jis->size() - 3), "\x1B(B");
}

TEST(TextCodeSets, CharactersAboveTheBasicPlaneRoundTrip) {
  const auto gb = Utf8ToCodeSet(kEmoji, "GB18030");
  ASSERT_TRUE(gb);
  EXPECT_EQ(CodeSetToUtf8(*gb, "GB18030"), kEmoji);
  EXPECT_EQ(CodeSetToUtf8(kEmoji, "UTF-8"), kEmoji);
}

TEST(TextCodeSets, WhatTheTargetCannotHoldFailsWhole) {
  EXPECT_FALSE(Utf8ToCodeSet("Привет 日本", "CP1251"));
  EXPECT_FALSE(Utf8ToCodeSet("😀", "SHIFT_JIS"));
  EXPECT_FALSE(Utf8ToCodeSet("é", "ANSI_X3.4-1968"));
}

TEST(TextCodeSets, InvalidLocaleBytesFail) {
  EXPECT_FALSE(CodeSetToUtf8("ok \x81", "CP1252"));          // undefined in Windows-1252
  EXPECT_FALSE(CodeSetToUtf8("ok \x98", "CP1251"));          // undefined in Windows-1251
  EXPECT_FALSE(CodeSetToUtf8("\x93\xFA\x96", "SHIFT_JIS"));  // second character cut short
  EXPECT_FALSE(CodeSetToUtf8("\xFF\xFF", "SHIFT_JIS"));
  EXPECT_FALSE(CodeSetToUtf8("x", "NO-SUCH-CODE-SET"));
  EXPECT_FALSE(Utf8ToCodeSet("x", "NO-SUCH-CODE-SET"));
}

TEST(TextCodeSets, LongTextsGrowTheOutputWhole) {
  std::string cp1251(300000, '\xE6');  // "ж", two bytes in UTF-8
  const auto utf8 = CodeSetToUtf8(cp1251, "CP1251");
  ASSERT_TRUE(utf8);
  ASSERT_EQ(utf8->size(), 600000u);
  EXPECT_EQ(utf8->substr(599998), "ж");
  EXPECT_EQ(Utf8ToCodeSet(*utf8, "CP1251"), cp1251);
}

TEST(TextCodeSets, EmptyTextStaysEmpty) {
  EXPECT_EQ(CodeSetToUtf8("", "CP1251"), "");
  EXPECT_EQ(Utf8ToCodeSet("", "SHIFT_JIS"), "");
}

TEST(TextLatin1, CharactersBeyondLatin1BecomeOneReplacementEach) {
  EXPECT_EQ(Utf8ToLatin1("Café Müller", '?'), "Caf\xE9 M\xFCller");
  EXPECT_EQ(Utf8ToLatin1("Ёжик 😀!", '?'), "???? ?!");
  EXPECT_EQ(Utf8ToLatin1("日本", '_'), "__");
  EXPECT_EQ(Utf8ToLatin1("\xC3\xBF", '?'), "\xFF");  // U+00FF is the last one kept
  EXPECT_EQ(Utf8ToLatin1("\xC4\x80", '?'), "?");     // U+0100 is the first one replaced
}

TEST(TextLatin1, EveryByteRoundTrips) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const std::string utf8 = Latin1ToUtf8(all);
  EXPECT_TRUE(IsValidUtf8(utf8));
  EXPECT_EQ(utf8.size(), 128u + 2 * 128u);
  EXPECT_EQ(Utf8ToLatin1(utf8, '?'), all);
}

TEST(TextUtf16, SurrogatePairsBothWays) {
  const auto units = Utf8ToUtf16("a😀ж");
  ASSERT_TRUE(units);
  EXPECT_EQ(*units, (std::u16string{u'a', 0xD83D, 0xDE00, 0x0436}));
  EXPECT_EQ(Utf16ToUtf8(*units), "a😀ж");
  const auto max = Utf8ToUtf16("\xF4\x8F\xBF\xBF");
  ASSERT_TRUE(max);
  EXPECT_EQ(*max, (std::u16string{0xDBFF, 0xDFFF}));
}

TEST(TextUtf16, UnpairedSurrogatesFail) {
  EXPECT_FALSE(Utf16ToUtf8(std::u16string{0xD83D}));              // high at the end
  EXPECT_FALSE(Utf16ToUtf8(std::u16string{0xD83D, u'a'}));        // high before a non-low
  EXPECT_FALSE(Utf16ToUtf8(std::u16string{0xDE00, 0xD83D}));      // pair in the wrong order
  EXPECT_FALSE(Utf16ToUtf8(std::u16string{u'a', 0xDC00, u'b'}));  // lone low
  EXPECT_EQ(Utf16ToUtf8(std::u16string{}), "");
}

TEST(TextUtf16, FileBytesFollowTheirByteOrderMark) {
  const std::vector<uint8_t> le = {0xFF, 0xFE, 0x1F, 0x04, 0x3D, 0xD8, 0x00, 0xDE};
  const std::vector<uint8_t> be = {0xFE, 0xFF, 0x04, 0x1F, 0xD8, 0x3D, 0xDE, 0x00};
  const std::vector<uint8_t> bare = {0x04, 0x1F, 0x00, 0x41};
  EXPECT_EQ(Utf16BytesToUtf8(le, Utf16Order::kBigEndian), "П😀");
  EXPECT_EQ(Utf16BytesToUtf8(be, Utf16Order::kLittleEndian), "П😀");
  EXPECT_EQ(Utf16BytesToUtf8(bare, Utf16Order::kBigEndian), "ПA");
  EXPECT_EQ(Utf16BytesToUtf8(bare, Utf16Order::kLittleEndian), "\xE1\xBC\x84\xE4\x84\x80");
  EXPECT_EQ(Utf16BytesToUtf8(std::vector<uint8_t>{0xFF, 0xFE}, Utf16Order::kBigEndian), "");
  EXPECT_EQ(Utf16BytesToUtf8(std::vector<uint8_t>{}, Utf16Order::kBigEndian), "");
}

TEST(TextUtf16, DamagedFileBytesFailCleanly) {
  const std::vector<std::vector<uint8_t>> damaged = {
      {0xFF, 0xFE, 0x41},                    // odd length after the mark
      {0x41},                                // a single byte
      {0xFF, 0xFE, 0x3D, 0xD8},              // high surrogate cut off at the end
      {0xFF, 0xFE, 0x00, 0xDE, 0x41, 0x00},  // low surrogate first
  };
  for (const auto& bytes : damaged) {
    EXPECT_FALSE(Utf16BytesToUtf8(bytes, Utf16Order::kLittleEndian)) << bytes.size();
  }
}

}  // namespace
}  // namespace platform
