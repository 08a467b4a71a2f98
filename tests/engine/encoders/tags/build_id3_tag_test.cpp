#include "engine/encoders/tags/build_id3_tag.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::LocaleGuard;
using testing::ShellQuote;
using testing::TempFolder;
using testing::ToolAvailable;

const std::string kCyrillic = "Привет, мир";
const std::string kJapanese = "日本語のテキスト";
const std::string kEmoji = "Notes 🎵 and 😀";

std::string AsText(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

TagRecord FullRecord() {
  return {"A Title",   "An Artist", "An Album",   "2004",       "Rock",
          "A comment", "5",         "A Composer", "(c) Someone"};
}

// "key<separator>value" lines of a tool's output; the key is cut to [skip, skip + keyLength).
std::map<std::string, std::string> ToolFields(const std::string& command,
                                              const std::string& separator, size_t skip = 0,
                                              size_t keyLength = std::string::npos) {
  std::map<std::string, std::string> fields;
  std::istringstream lines(CommandOutput(command).value_or(""));
  for (std::string line; std::getline(lines, line);) {
    const auto at = line.find(separator);
    if (at != std::string::npos && at >= skip) {
      fields[line.substr(skip, std::min(keyLength, at - skip))] =
          line.substr(at + separator.size());
    }
  }
  return fields;
}

// The tags as FFmpeg reads them ("TAG:title=...").
std::map<std::string, std::string> FfprobeTags(const std::string& path) {
  return ToolFields("ffprobe -v error -show_entries format_tags -of default=noprint_wrappers=1 " +
                        ShellQuote(path),
                    "=", 4);
}

// The ID3v2 frames as id3lib's own tool lists them ("TIT2 (description): text").
std::map<std::string, std::string> Id3v2Frames(const std::string& path) {
  return ToolFields("id3v2 -l " + ShellQuote(path), "): ", 0, 4);
}

// The ID3v1 fields as exiftool reads them: as Latin-1, which the format is (ffprobe takes
// the bytes for UTF-8).
std::map<std::string, std::string> ExiftoolId3v1(const std::string& path) {
  return ToolFields("exiftool -s -s -ID3v1:all " + ShellQuote(path), ": ");
}

// The frames of a rendered ID3v2 block, id and payload, walking the plain v2.3 layout.
std::vector<std::pair<std::string, std::string>> Frames(const std::string& tag) {
  std::vector<std::pair<std::string, std::string>> frames;
  size_t pos = 10;
  while (pos + 10 <= tag.size() && tag[pos] != '\0') {
    uint32_t size = 0;
    for (size_t i = 4; i < 8; ++i) size = (size << 8) | uint8_t(tag[pos + i]);
    frames.emplace_back(tag.substr(pos, 4), tag.substr(pos + 10, size));
    pos += 10 + size;
  }
  return frames;
}

std::vector<std::string> FrameIds(const std::string& tag) {
  std::vector<std::string> ids;
  for (const auto& frame : Frames(tag)) ids.push_back(frame.first);
  return ids;
}

// The payload of one frame; empty when it is not there.
std::string FramePayload(const std::string& tag, const std::string& id) {
  for (const auto& [frameId, payload] : Frames(tag)) {
    if (frameId == id) return payload;
  }
  return {};
}

uint32_t DeclaredSize(const std::string& tag) {
  uint32_t size = 0;
  for (int i = 6; i < 10; ++i) size = (size << 7) | (uint8_t(tag[i]) & 0x7F);
  return size;
}

// Tags read back from real files by tools that are not ours: an MP3 frame stream from
// ffmpeg with the blocks put where players look for them.
class Id3TagFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    locale_ = std::make_unique<LocaleGuard>("C.UTF-8");
    if (!locale_->ok()) GTEST_SKIP() << "C.UTF-8 locale missing";
    for (const char* tool : {"ffmpeg", "ffprobe", "id3v2"}) {
      if (!ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    const std::string plain = folder_ / "plain.mp3";
    ASSERT_TRUE(
        CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i sine=d=1 -c:a libmp3lame "
                      "-id3v2_version 0 -write_id3v1 0 -write_xing 0 " +
                      ShellQuote(plain)));
    frames_ = testing::ReadFileBytes(plain);
    ASSERT_GT(frames_.size(), 1000u);
  }

  // The MP3 stream with an ID3v2 block in front and/or an ID3v1 block behind.
  std::string Tagged(const std::string& name, const std::optional<std::vector<uint8_t>>& v2,
                     const std::optional<std::vector<uint8_t>>& v1) {
    const std::string path = folder_ / name;
    testing::WriteFileBytes(path, (v2 ? AsText(*v2) : "") + frames_ + (v1 ? AsText(*v1) : ""));
    return path;
  }

  std::unique_ptr<LocaleGuard> locale_;
  TempFolder folder_;
  std::string frames_;
};

TEST_F(Id3TagFiles, Version2CarriesAllNineTexts) {
  const auto v2 = BuildId3Tag(kId3v2, FullRecord());
  ASSERT_TRUE(v2);
  const std::string path = Tagged("full.mp3", v2, std::nullopt);
  auto tags = FfprobeTags(path);
  EXPECT_EQ(tags.at("title"), "A Title");
  EXPECT_EQ(tags.at("artist"), "An Artist");
  EXPECT_EQ(tags.at("album"), "An Album");
  EXPECT_EQ(tags.at("date"), "2004");
  EXPECT_EQ(tags.at("genre"), "Rock");
  EXPECT_EQ(tags.at("comment"), "A comment");
  EXPECT_EQ(tags.at("track"), "5");
  EXPECT_EQ(tags.at("composer"), "A Composer");
  EXPECT_EQ(tags.at("copyright"), "(c) Someone");
  auto frames = Id3v2Frames(path);
  EXPECT_EQ(frames.at("TIT2"), "A Title");
  EXPECT_EQ(frames.at("COMM"), "()[XXX]: A comment");
  EXPECT_EQ(frames.at("TRCK"), "5");
  EXPECT_EQ(FrameIds(AsText(*v2)), (std::vector<std::string>{"TIT2", "TPE1", "TALB", "TYER", "TCON",
                                                             "TCOM", "TCOP", "COMM", "TRCK"}));
}

TEST_F(Id3TagFiles, Version2WritesTextsBeyondLatin1AsUtf16) {
  TagRecord record = FullRecord();
  record.title = kCyrillic;
  record.artist = kJapanese;
  record.album = kEmoji;
  record.comment = "Ёжик — комментарий 😀";
  record.composer = "Пётр Ильич Чайковский";
  record.genre = "Джаз";
  const auto v2 = BuildId3Tag(kId3v2, record);
  ASSERT_TRUE(v2);
  const std::string tag = AsText(*v2);
  // encoding 1 (UTF-16) and a little-endian mark, then "П" in that order
  EXPECT_EQ(FramePayload(tag, "TIT2").substr(0, 5), std::string("\x01\xFF\xFE\x1F\x04", 5));

  const std::string path = Tagged("unicode.mp3", v2, std::nullopt);
  auto tags = FfprobeTags(path);
  EXPECT_EQ(tags["title"], kCyrillic);
  EXPECT_EQ(tags["artist"], kJapanese);
  EXPECT_EQ(tags["album"], kEmoji);
  EXPECT_EQ(tags["comment"], record.comment);
  EXPECT_EQ(tags["composer"], record.composer);
  EXPECT_EQ(tags["genre"], "Джаз");
  auto frames = Id3v2Frames(path);
  EXPECT_EQ(frames["TIT2"], kCyrillic);
  EXPECT_EQ(frames["TPE1"], kJapanese);
  EXPECT_EQ(frames["TALB"], kEmoji);
  EXPECT_EQ(frames["COMM"], "()[XXX]: " + record.comment);
}

TEST_F(Id3TagFiles, Version2KeepsLatin1TextSingleByte) {
  TagRecord record = FullRecord();
  record.title = "Café Müller";
  const auto v2 = BuildId3Tag(kId3v2, record);
  ASSERT_TRUE(v2);
  EXPECT_EQ(FramePayload(AsText(*v2), "TIT2"), std::string("\x00"
                                                           "Caf\xE9 M\xFCller",
                                                           12));
  EXPECT_EQ(FfprobeTags(Tagged("latin.mp3", v2, std::nullopt))["title"], "Café Müller");
}

TEST_F(Id3TagFiles, Version2TagSizeMatchesItsBytesAfterEveryText) {
  TagRecord record = FullRecord();
  record.comment = "Комментарий";  // UTF-16 comment: its empty description gets a mark
  for (const auto& r : {FullRecord(), record}) {
    const auto v2 = BuildId3Tag(kId3v2, r);
    ASSERT_TRUE(v2);
    const std::string tag = AsText(*v2);
    ASSERT_EQ(tag.compare(0, 5, std::string("ID3\x03\x00", 5)), 0);
    EXPECT_EQ(DeclaredSize(tag) + 10, tag.size());
  }
  const std::string comm = FramePayload(AsText(*BuildId3Tag(kId3v2, record)), "COMM");
  EXPECT_EQ(comm.substr(0, 8), std::string("\x01XXX\xFF\xFE\x00\x00", 8));
}

TEST_F(Id3TagFiles, LongTextsAreRenderedWhole) {
  // Far more than id3lib's own size estimate and its padding: nothing may be cut or overrun.
  TagRecord record = FullRecord();
  record.comment = std::string(10000, 'c') + "END";
  record.title = "Ж" + std::string(5000, 't');
  const auto v2 = BuildId3Tag(kId3v2, record);
  ASSERT_TRUE(v2);
  EXPECT_GT(v2->size(), 15000u);
  auto tags = FfprobeTags(Tagged("long.mp3", v2, std::nullopt));
  EXPECT_EQ(tags["comment"], record.comment);
  EXPECT_EQ(tags["title"], record.title);
}

TEST_F(Id3TagFiles, OptionalFramesOnlyWhenTheyHaveSomething) {
  TagRecord record = FullRecord();
  record.composer.clear();
  record.copyright.clear();
  record.track = "0";
  const auto v2 = BuildId3Tag(kId3v2, record);
  ASSERT_TRUE(v2);
  EXPECT_EQ(FrameIds(AsText(*v2)),
            (std::vector<std::string>{"TIT2", "TPE1", "TALB", "TYER", "TCON", "COMM"}));
  auto tags = FfprobeTags(Tagged("sparse.mp3", v2, std::nullopt));
  EXPECT_EQ(tags.count("track"), 0u);
  EXPECT_EQ(tags.count("composer"), 0u);
  EXPECT_EQ(tags["title"], "A Title");
}

TEST_F(Id3TagFiles, TrackNumbersKeepTheirLowEightBits) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"255", "255"}, {"300", "44"}, {"4/10", "4"}, {"1", "1"}};
  for (const auto& [track, written] : cases) {
    TagRecord record = FullRecord();
    record.track = track;
    const auto v2 = BuildId3Tag(kId3v2, record);
    ASSERT_TRUE(v2);
    EXPECT_EQ(FramePayload(AsText(*v2), "TRCK"), std::string(1, '\0') + written) << track;
    const auto v1 = BuildId3Tag(kId3v1, record);
    ASSERT_TRUE(v1);
    EXPECT_EQ((*v1)[126], std::stoi(written)) << track;
  }
  for (const std::string track : {"256", "0", "", "-1", "x"}) {
    TagRecord record = FullRecord();
    record.track = track;
    const std::string tag = AsText(*BuildId3Tag(kId3v2, record));
    EXPECT_EQ(FramePayload(tag, "TRCK"), "") << track;
    EXPECT_EQ(FrameIds(tag).back(), "COMM") << track;
  }
}

TEST_F(Id3TagFiles, GenreIsANumberInVersion1AndTextInVersion2) {
  const std::vector<std::tuple<std::string, int, std::string>> cases = {
      {"rock", 17, "rock"},
      {"Rockabilly", 12, "Rockabilly"},
      {"", 12, ""},
      {"JPOP", 146, "JPOP"},
      {"Trash Metal", 144, "Trash Metal"}};
  for (const auto& [genre, number, text] : cases) {
    TagRecord record = FullRecord();
    record.genre = genre;
    const auto v1 = BuildId3Tag(kId3v1, record);
    ASSERT_TRUE(v1);
    EXPECT_EQ((*v1)[127], number) << genre;
    const auto v2 = BuildId3Tag(kId3v2, record);
    ASSERT_TRUE(v2);
    EXPECT_EQ(FramePayload(AsText(*v2), "TCON"), std::string(1, '\0') + text) << genre;
  }
  TagRecord record = FullRecord();
  record.genre = "rock";
  const std::string path = Tagged("genre1.mp3", std::nullopt, BuildId3Tag(kId3v1, record));
  EXPECT_EQ(FfprobeTags(path)["genre"], "Rock");
}

TEST_F(Id3TagFiles, Version1IsTheTrailing128ByteTag) {
  const auto v1 = BuildId3Tag(kId3v1, FullRecord());
  ASSERT_TRUE(v1);
  ASSERT_EQ(v1->size(), 128u);
  const std::string tag = AsText(*v1);
  EXPECT_EQ(tag.substr(0, 3), "TAG");
  EXPECT_EQ(tag.substr(3, 7), "A Title");
  EXPECT_EQ(tag.substr(93, 4), "2004");
  EXPECT_EQ(tag[125], '\0');  // ID3v1.1: the byte before the track number
  EXPECT_EQ(tag[126], 5);
  EXPECT_EQ(uint8_t(tag[127]), 17);
  auto tags = FfprobeTags(Tagged("v1.mp3", std::nullopt, v1));
  EXPECT_EQ(tags["title"], "A Title");
  EXPECT_EQ(tags["artist"], "An Artist");
  EXPECT_EQ(tags["album"], "An Album");
  EXPECT_EQ(tags["date"], "2004");
  EXPECT_EQ(tags["comment"], "A comment");
  EXPECT_EQ(tags["track"], "5");
  EXPECT_EQ(tags["genre"], "Rock");
}

TEST_F(Id3TagFiles, Version1ReplacesWhatLatin1CannotHold) {
  TagRecord record = FullRecord();
  record.title = "Привет 😀 Café";
  record.artist = kJapanese;
  const auto v1 = BuildId3Tag(kId3v1, record);
  ASSERT_TRUE(v1);
  const std::string tag = AsText(*v1);
  EXPECT_EQ(tag.substr(3, 13), "?????? ? Caf\xE9");
  EXPECT_EQ(tag.substr(33, 8), "????????");
  if (!ToolAvailable("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  auto fields = ExiftoolId3v1(Tagged("v1latin.mp3", std::nullopt, v1));
  EXPECT_EQ(fields["Title"], "?????? ? Café");
  EXPECT_EQ(fields["Artist"], "????????");
  EXPECT_EQ(fields["Album"], "An Album");
}

TEST_F(Id3TagFiles, Version1CutsFieldsToTheirWidths) {
  TagRecord record = FullRecord();
  record.title = std::string(29, 'a') + "éèê";  // the cut falls after the first é
  record.artist = std::string(45, 'b');
  record.year = "2024-05-01";
  record.comment = std::string(40, 'c');
  const auto v1 = BuildId3Tag(kId3v1, record);
  ASSERT_TRUE(v1);
  const std::string tag = AsText(*v1);
  EXPECT_EQ(tag.substr(3, 30), std::string(29, 'a') + "\xE9");
  EXPECT_EQ(tag.substr(33, 30), std::string(30, 'b'));
  EXPECT_EQ(tag.substr(93, 4), "2024");
  EXPECT_EQ(tag.substr(97, 28), std::string(28, 'c'));  // 28 with a track number
  record.track = "0";
  const std::string untracked = AsText(*BuildId3Tag(kId3v1, record));
  EXPECT_EQ(untracked.substr(97, 30), std::string(30, 'c'));  // 30 without
  if (!ToolAvailable("exiftool")) GTEST_SKIP() << "exiftool is not installed";
  auto fields = ExiftoolId3v1(Tagged("v1cut.mp3", std::nullopt, v1));
  EXPECT_EQ(fields["Title"], std::string(29, 'a') + "é");
  EXPECT_EQ(fields["Year"], "2024");
}

TEST_F(Id3TagFiles, BothBlocksInOneFileAreReadByOthers) {
  TagRecord record = FullRecord();
  record.title = kCyrillic;
  const auto v1 = BuildId3Tag(kId3v1, record);
  const auto v2 = BuildId3Tag(kId3v2, record);
  ASSERT_TRUE(v1 && v2);
  const std::string path = Tagged("both.mp3", v2, v1);
  EXPECT_EQ(FfprobeTags(path)["title"], kCyrillic);
  const auto listing = CommandOutput("id3v2 -l " + ShellQuote(path));
  ASSERT_TRUE(listing);
  EXPECT_NE(listing->find("id3v1 tag info"), std::string::npos);
  EXPECT_NE(listing->find("Title  : ??????, ???  "), std::string::npos) << *listing;
  if (ToolAvailable("mp3val")) {
    const auto check = CommandOutput("mp3val " + ShellQuote(path));
    ASSERT_TRUE(check);
    EXPECT_NE(check->find("+ID3v1+ID3v2"), std::string::npos) << *check;
    EXPECT_EQ(check->find("ERROR"), std::string::npos) << *check;
  }
}

TEST_F(Id3TagFiles, EmptyRecordStillGivesWellFormedBlocks) {
  const TagRecord empty;
  const auto v1 = BuildId3Tag(kId3v1, empty);
  ASSERT_TRUE(v1);
  EXPECT_EQ(v1->size(), 128u);
  EXPECT_EQ((*v1)[127], 12);
  const auto v2 = BuildId3Tag(kId3v2, empty);
  ASSERT_TRUE(v2);
  EXPECT_EQ(DeclaredSize(AsText(*v2)) + 10, v2->size());
  const std::string path = Tagged("empty.mp3", v2, std::nullopt);
  EXPECT_TRUE(CommandOutput("ffprobe -v error -show_format " + ShellQuote(path)));
}

// Bytes that are no text of this locale become replacement characters: the rest of the
// field, and every other field, is written.
TEST_F(Id3TagFiles, TextsTheLocaleCannotReadGetReplacementCharacters) {
  TagRecord record = FullRecord();
  record.title = "broken \xFF\xFE text";  // not UTF-8, so not text of this locale
  record.artist = "\xED\xA0\x80";         // a lone surrogate
  for (const int version : {kId3v1, kId3v2}) {
    const auto block = BuildId3Tag(version, record);
    ASSERT_TRUE(block) << version;
    auto tags = FfprobeTags(Tagged("bad.mp3", version == kId3v2 ? block : std::nullopt,
                                   version == kId3v1 ? block : std::nullopt));
    // ID3v1 is Latin-1, where U+FFFD is "?".
    const std::string mark = version == kId3v2 ? "\uFFFD" : "?";
    EXPECT_EQ(tags["title"], "broken " + mark + mark + " text") << version;
    EXPECT_EQ(tags["artist"], mark + mark + mark) << version;
    EXPECT_EQ(tags["album"], "An Album") << version;
  }
}

TEST(Id3TagVersions, AnyVersionButOneAsksForVersion2) {
  for (const int version : {0, 2, 3, -1}) {
    const auto block = BuildId3Tag(version, FullRecord());
    ASSERT_TRUE(block) << version;
    EXPECT_EQ(AsText(*block).substr(0, 3), "ID3") << version;
  }
}

}  // namespace
}  // namespace sonorell
