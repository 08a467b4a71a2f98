#include "settings/settings_text.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <iterator>
#include <map>
#include <random>
#include <string>

#include "settings/settings_store.h"
#include "tests/settings/non_default_settings.h"

namespace sonorell {
namespace {

using sonorell::testing::NonDefaultSettings;
using sonorell::testing::NonDefaultTags;

// The text's lines by name. Every line must be "name=value" with a name seen once.
std::map<std::string, std::string> LinesByName(const std::string& text) {
  std::map<std::string, std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find('\n', start);
    EXPECT_NE(end, std::string::npos) << "the last line has no line break";
    if (end == std::string::npos) break;
    const std::string line = text.substr(start, end - start);
    const size_t equals = line.find('=');
    EXPECT_NE(equals, std::string::npos) << line;
    if (equals != std::string::npos) {
      EXPECT_TRUE(lines.emplace(line.substr(0, equals), line.substr(equals + 1)).second) << line;
    }
    start = end + 1;
  }
  return lines;
}

// Texts a user, a tag or a damaged file may bring: every byte value, escapes and lines
// that look like the format itself.
TagDefaults HostileTags(const std::string& seed) {
  std::string everyByte;
  for (int b = 0; b < 256; ++b) everyByte += static_cast<char>(b);
  TagDefaults tags = NonDefaultTags(seed);
  tags.Title = "";
  tags.Artist = everyByte;
  tags.Album = "\\n is not a line break\\";
  tags.Genre = std::string("\0\0", 2) + seed;
  tags.Comment = "line\nMP3BitRate=1\n" + seed + "Tag.Title=injected\r\n";
  tags.Composer = "\xFF\xFE\x80 not UTF-8 \xC3";
  tags.Copyright = "a=b==c\t\x1B[0m\x7F\\x41";
  tags.TrackNumType = INT_MIN;
  tags.CustomTrackNum = INT_MAX;
  return tags;
}

Settings HostileSettings() {
  Settings s = NonDefaultSettings();
  s.Folder = std::string("/music\0after the zero byte\\", 27);
  s.DestSpecifiedFolder = "";
  s.FilterExts = "MP3,\n,\\,=,\t,";
  s.FilesAtOnce = -1;
  s.MP3BitRate = INT_MIN;
  s.WMABitRate = INT_MAX;
  s.AmplifyM4ACoef = 0;
  s.Mp3Tags = HostileTags("MP3");
  s.OggTags = HostileTags("OGG");
  s.WmaTags = HostileTags("WMA");
  s.M4aTags = HostileTags("M4A");
  BuildExtensionFilter(s);
  return s;
}

TEST(SettingsTextTest, EveryFieldAndEveryByteRoundTrips) {
  const Settings records[] = {NonDefaultSettings(), HostileSettings()};
  for (size_t i = 0; i < std::size(records); ++i) {
    const Settings& original = records[i];
    const std::string text = SettingsToText(original);

    // Each value on a line of its own: no raw line break or other control byte inside.
    for (const char c : text) {
      const auto byte = static_cast<unsigned char>(c);
      EXPECT_TRUE(c == '\n' || (byte >= 0x20 && byte != 0x7F)) << int(byte);
    }
    Settings back;  // From the plain defaults, every field must come from the text.
    ASSERT_TRUE(SettingsFromText(text, back));
    EXPECT_EQ(back, original);
    EXPECT_EQ(SettingsToText(back), text);

    // The same values over a record holding other values everywhere.
    Settings over = records[1 - i];
    ASSERT_TRUE(SettingsFromText(text, over));
    EXPECT_EQ(over, original);
  }

  // The record used above really sets every value away from its default: each line of its
  // text differs from the plain record's line of the same name.
  const auto defaults = LinesByName(SettingsToText(Settings()));
  const auto changed = LinesByName(SettingsToText(NonDefaultSettings()));
  ASSERT_EQ(defaults.size(), changed.size());
  for (const auto& [name, value] : changed) {
    ASSERT_TRUE(defaults.count(name)) << name;
    EXPECT_NE(defaults.at(name), value) << name;
  }
  EXPECT_EQ(changed.at("FilesAtOnce"), "64");
  EXPECT_EQ(changed.at("M4ATag.CustomTrackNum"), "17");

  // Numbers are plain decimal; the escapes are the documented ones.
  const auto hostile = LinesByName(SettingsToText(HostileSettings()));
  EXPECT_EQ(hostile.at("MP3BitRate"), "-2147483648");
  EXPECT_EQ(hostile.at("WMABitRate"), "2147483647");
  EXPECT_EQ(hostile.at("Folder"), "/music\\0after the zero byte\\\\");
  EXPECT_EQ(hostile.at("FilterExts"), "MP3,\\n,\\\\,=,\\t,");
  EXPECT_EQ(hostile.at("WMATag.Copyright"), "a=b==c\\t\\x1B[0m\\x7F\\\\x41");
  EXPECT_EQ(hostile.at("OGGTag.Title"), "");

  // A text naming only some values changes only those, and rebuilds the filter.
  Settings partial = NonDefaultSettings();
  ASSERT_TRUE(
      SettingsFromText("MP3BitRate=64\nFilterExts=Wav\nOGGTag.Title=\\x41\\x62\n", partial));
  Settings expected = NonDefaultSettings();
  expected.MP3BitRate = 64;
  expected.FilterExts = "Wav";
  expected.ExtensionFilter = {"wav"};
  expected.OggTags.Title = "Ab";
  EXPECT_EQ(partial, expected);
  ASSERT_TRUE(SettingsFromText("", partial));
  EXPECT_EQ(partial, expected);
}

TEST(SettingsTextTest, MalformedTextIsRefusedAndChangesNothing) {
  const std::string good = SettingsToText(NonDefaultSettings());
  const std::string bad[] = {
      "Folder",
      "Folder\n",
      "\n",
      "=5\n",
      "Unknown=1\n",
      "folder=x\n",
      "MP3Tag=x\n",
      "MP3Tag.Nope=x\n",
      "XYZTag.Title=x\n",
      "MP3Tag.Title",
      "MP3BitRate=5",
      "MP3BitRate=5\r\n",
      "MP3BitRate=\n",
      "MP3BitRate=abc\n",
      "MP3BitRate= 5\n",
      "MP3BitRate=+5\n",
      "MP3BitRate=5x\n",
      "MP3BitRate=0x10\n",
      "MP3BitRate=2147483648\n",
      "MP3BitRate=-2147483649\n",
      "MP3BitRate=99999999999999999999999\n",
      "MP3BitRate=1.5\n",
      "Folder=a\\qb\n",
      "Folder=a\\\n",
      "Folder=\\x4\n",
      "Folder=\\xZZ\n",
      "Folder=\\x\n",
      "Folder=a\rb\n",
      "Folder=a\tb\n",
      std::string("Folder=a\0b\n", 11),
      "Folder=a\x7F\n",
      "MP3BitRate=5\n\nOGGBitRate=6\n",
      good + "Bogus=1\n",
      good + "MP3BitRate=64",
      good.substr(0, good.size() - 1),
  };
  for (const std::string& text : bad) {
    Settings out = NonDefaultSettings();
    out.ExtensionFilter = {"left as it was"};
    const Settings before = out;
    EXPECT_FALSE(SettingsFromText(text, out)) << text.substr(0, 60);
    EXPECT_EQ(out, before) << text.substr(0, 60);
  }

  // Random bytes and damaged copies of a good text: refused whole or read whole, and a
  // refusal leaves the record as it was.
  std::mt19937 random(20240611);
  std::uniform_int_distribution<int> byte(0, 255);
  for (int round = 0; round < 2000; ++round) {
    std::string text;
    if (round % 2 == 0) {
      text.resize(static_cast<size_t>(random() % 300));
      for (char& c : text) c = static_cast<char>(byte(random));
    } else {
      text = good;
      for (int hits = 1 + static_cast<int>(random() % 4); hits > 0; --hits) {
        text[random() % text.size()] = static_cast<char>(byte(random));
      }
    }
    Settings out = NonDefaultSettings();
    out.ExtensionFilter = {"left as it was"};
    const Settings before = out;
    if (!SettingsFromText(text, out)) {
      EXPECT_EQ(out, before);
    }
  }
}

}  // namespace
}  // namespace sonorell
