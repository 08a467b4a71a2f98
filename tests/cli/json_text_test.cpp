#include "cli/json_text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

TEST(JsonText, StringsEscapeWhatJsonForbidsAndKeepValidUtf8) {
  EXPECT_EQ(JsonString("plain"), "\"plain\"");
  EXPECT_EQ(JsonString("a\"b\\c\n\t\r"), "\"a\\\"b\\\\c\\n\\t\\r\"");
  EXPECT_EQ(JsonString(std::string("\x01\x1f\x7f", 3)), "\"\\u0001\\u001f\\u007f\"");
  EXPECT_EQ(JsonString(std::string("a\0b", 3)), "\"a\\u0000b\"");
  EXPECT_EQ(JsonString("Катюша 夜明け 🎵"), "\"Катюша 夜明け 🎵\"");
  // Line and paragraph separators break JavaScript readers of the report.
  EXPECT_EQ(JsonString("\xe2\x80\xa8"), "\"\\u2028\"");
}

// A file name is any bytes: each byte outside a valid sequence becomes one replacement
// character, and what follows it is read normally.
TEST(JsonText, InvalidBytesBecomeReplacementCharacters) {
  EXPECT_EQ(JsonString("a\xff"
                       "b"),
            "\"a\\ufffdb\"");
  EXPECT_EQ(JsonString("\xc3"), "\"\\ufffd\"");                                   // cut short
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\\ufffd\\ufffd\"");                        // overlong "/"
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\\ufffd\\ufffd\\ufffd\"");             // a surrogate
  EXPECT_EQ(JsonString("\xf4\x90\x80\x80"), "\"\\ufffd\\ufffd\\ufffd\\ufffd\"");  // > U+10FFFF
  EXPECT_EQ(JsonString("\xe6\xad\x8c\xe6"), "\"\xe6\xad\x8c\\ufffd\"");
}

// Whatever the bytes, a JSON reader accepts the result and gets the valid text back.
TEST(JsonText, EveryByteStringParses) {
  SONORELL_REQUIRE_TOOL("python3");
  testing::TempFolder dir;
  std::string doc = "[";
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  doc += JsonString(all) + "," + JsonString("\xe2\x82\xac\xf0\x9f\x8e\xb5\xce") + "]";
  const std::string path = dir / "t.json";
  std::ofstream(path, std::ios::binary) << doc;
  const std::string check =
      "python3 -c \"import json,sys; d=json.load(open(sys.argv[1])); "
      "assert len(d[0])==256 and d[1]=='\\u20ac\\U0001f3b5\\ufffd'\" " +
      testing::ShellQuote(path);
  EXPECT_EQ(std::system(check.c_str()), 0) << doc;
}

TEST(JsonText, NumbersAndScreenWidths) {
  EXPECT_EQ(JsonNumber(2.5, 2), "2.50");
  EXPECT_EQ(JsonNumber(-0.125, 1), "-0.1");
  EXPECT_EQ(JsonNumber(1.0 / 0.0, 3), "0.000");
  EXPECT_EQ(DisplayWidth("abc"), 3);
  EXPECT_EQ(DisplayWidth("歌手"), 4);
  EXPECT_EQ(DisplayWidth("e\xcc\x81"), 1);  // e + combining acute
  EXPECT_EQ(DisplayWidth("a\xff"), 2);
  EXPECT_EQ(DisplayWidth("Хор"), 3);
}

}  // namespace
}  // namespace sonorell
