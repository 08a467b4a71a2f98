#include "engine/encoders/tags/resolve_tags.h"

#include <gtest/gtest.h>

#include <climits>

#include "engine/encoders/tags/source_tags.h"
#include "engine/encoders/tags/track_number.h"
#include "tests/engine/encoders/tags/locale_guard.h"

namespace sonorell {
namespace {

using testing::LocaleGuard;

TagDefaults FilledDefaults() {
  TagDefaults d;
  d.TitleAsFileName = 0;
  d.Title = "Default Title";
  d.Artist = "Default Artist";
  d.Album = "Default Album";
  d.Year = "1999";
  d.Genre = "Jazz";
  d.Comment = "Default Comment";
  d.Composer = "Default Composer";
  d.Copyright = "(c) Default";
  d.TrackNumType = 0;
  d.CustomTrackNum = 9;
  return d;
}

TagRecord SourceRecord() {
  return {"Src Title",   "Src Artist", "Src Album",    "2001",         "Rock",
          "Src Comment", "4/10",       "Src Composer", "Src Copyright"};
}

// A reader that counts how often it was asked.
struct CountingReader {
  std::optional<TagRecord> result;
  int calls = 0;
  SourceTagReader Reader() {
    return [this] {
      ++calls;
      return result;
    };
  }
};

std::optional<TagRecord> AddTags(const TagDefaults& d, std::string_view path = "/m/x.wav",
                                 int runFileNumber = 1) {
  return ResolveTags(0, d, path, runFileNumber, nullptr);
}

TEST(ResolveTagsModes, NoneAndUnknownModesGiveNoTagsWithoutReading) {
  for (const int mode : {2, 3, -1, 99}) {
    CountingReader reader{SourceRecord()};
    EXPECT_FALSE(ResolveTags(mode, FilledDefaults(), "/m/a.wav", 1, reader.Reader())) << mode;
    EXPECT_EQ(reader.calls, 0) << mode;
  }
}

TEST(ResolveTagsModes, AddNeverReadsTheSource) {
  CountingReader reader{SourceRecord()};
  const auto tags = ResolveTags(0, FilledDefaults(), "/m/a.wav", 1, reader.Reader());
  ASSERT_TRUE(tags);
  EXPECT_EQ(reader.calls, 0);
  EXPECT_EQ(tags->title, "Default Title");
}

TEST(ResolveTagsModes, TransferTakesTheSourceTagsAndNothingOfTheDefaults) {
  CountingReader reader{SourceRecord()};
  TagDefaults d = FilledDefaults();
  d.TitleAsFileName = 1;
  d.TrackNumType = 1;
  const auto tags = ResolveTags(1, d, "/m/other name.wav", 5, reader.Reader());
  ASSERT_TRUE(tags);
  EXPECT_EQ(*tags, SourceRecord());
  EXPECT_EQ(reader.calls, 1);
}

TEST(ResolveTagsModes, TransferWithoutSourceTagsGivesNoTags) {
  CountingReader reader{std::nullopt};
  EXPECT_FALSE(ResolveTags(1, FilledDefaults(), "/m/a.wav", 1, reader.Reader()));
  EXPECT_EQ(reader.calls, 1);
  EXPECT_FALSE(ResolveTags(1, FilledDefaults(), "/m/a.wav", 1, nullptr));
}

TEST(ResolveTagsAdd, DefaultTextsAreCopiedUnchanged) {
  const auto tags = AddTags(FilledDefaults());
  ASSERT_TRUE(tags);
  const TagRecord expected{
      "Default Title",    "Default Artist", "Default Album", "1999", "Jazz", "Default Comment", "0",
      "Default Composer", "(c) Default"};
  EXPECT_EQ(*tags, expected);
}

TEST(ResolveTagsAdd, EmptyDefaultsStayEmpty) {
  TagDefaults d;
  d.TitleAsFileName = 0;
  const auto tags = AddTags(d);
  ASSERT_TRUE(tags);
  EXPECT_EQ(*tags, (TagRecord{"", "", "", "", "", "", "0", "", ""}));
}

TEST(ResolveTagsAdd, TrackNumberingTypes) {
  TagDefaults d = FilledDefaults();
  d.CustomTrackNum = 255;
  d.TrackNumType = 0;
  EXPECT_EQ(AddTags(d, "/m/x.wav", 3)->track, "0");
  d.TrackNumType = 1;
  EXPECT_EQ(AddTags(d, "/m/x.wav", 3)->track, "3");
  EXPECT_EQ(AddTags(d, "/m/x.wav", 256)->track, "256");
  d.TrackNumType = 2;
  EXPECT_EQ(AddTags(d, "/m/x.wav", 3)->track, "255");
  d.TrackNumType = 7;  // a stored value the dialog never writes counts as "none"
  EXPECT_EQ(AddTags(d, "/m/x.wav", 3)->track, "0");
}

TEST(ResolveTagsAdd, TitleFromTheFileNameWhenAsked) {
  TagDefaults d = FilledDefaults();
  d.TitleAsFileName = 1;
  EXPECT_EQ(AddTags(d, "/music/Song.Live.wav")->title, "Song.Live");
  EXPECT_EQ(AddTags(d, "/music/.wav")->title, ".wav");
  d.TitleAsFileName = 5;  // any non-zero flag
  EXPECT_EQ(AddTags(d, "/music/a.b.mp3")->title, "a.b");
  // The other texts still come from the defaults.
  EXPECT_EQ(AddTags(d, "/music/a.b.mp3")->artist, "Default Artist");
}

TEST(ResolveTagsAdd, TitleFromFileNameRules) {
  EXPECT_EQ(TitleFromFileName("/music/Song.Live.wav"), "Song.Live");
  EXPECT_EQ(TitleFromFileName("/music/.wav"), ".wav");
  EXPECT_EQ(TitleFromFileName("/music/.hidden"), ".hidden");
  EXPECT_EQ(TitleFromFileName("a.b.mp3"), "a.b");
  EXPECT_EQ(TitleFromFileName("/music/noextension"), "noextension");
  EXPECT_EQ(TitleFromFileName("/my.music/track"), "track");  // a folder's dot is not the file's
  EXPECT_EQ(TitleFromFileName("/music/ends with dot."), "ends with dot");
  EXPECT_EQ(TitleFromFileName("/music/..double"), ".");
  EXPECT_EQ(TitleFromFileName("/music/"), "");
  // A backslash is an ordinary character of a file name here, not a separator.
  EXPECT_EQ(TitleFromFileName("/in/C:\\music\\Song.wav"), "C:\\music\\Song");
}

TEST(ResolveTagsAdd, FileNameTitleIsLocaleText) {
  TagDefaults d = FilledDefaults();
  d.TitleAsFileName = 1;
  {
    LocaleGuard utf8("C.UTF-8");
    if (!utf8.ok()) GTEST_SKIP() << "C.UTF-8 locale missing";
    EXPECT_EQ(AddTags(d, "/music/Пётр — 日本 😀.flac")->title, "Пётр — 日本 😀");
    EXPECT_FALSE(AddTags(d, "/music/Пётр — 日本 😀.flac")->textReplaced);
    // A name that is not UTF-8: its stray byte becomes a replacement character, and the
    // record says so.
    const auto odd = AddTags(d, "/music/bad\xFF name.wav");
    EXPECT_EQ(odd->title, "bad\uFFFD name");
    EXPECT_TRUE(odd->textReplaced);
  }
  {
    // The C locale's ASCII counts as UTF-8.
    LocaleGuard ascii("C");
    ASSERT_TRUE(ascii.ok());
    EXPECT_EQ(AddTags(d, "/music/Пётр.flac")->title, "Пётр");
    EXPECT_EQ(AddTags(d, "/music/Plain.flac")->title, "Plain");
  }
  {
    // Stored defaults with bytes that are no text are marked too: writers replace them.
    d.TitleAsFileName = 0;
    d.Artist = "half \xC3";
    const auto marked = AddTags(d, "/music/Plain.flac");
    EXPECT_EQ(marked->artist, "half \xC3");
    EXPECT_TRUE(marked->textReplaced);
  }
}

// A source whose ReadTags answers from a record, and counts the calls.
class TaggedSource : public AudioSource {
 public:
  explicit TaggedSource(std::optional<TagRecord> tags) : tags_(std::move(tags)) {}
  void Close() override {}
  bool Open(const std::string&, int) override { return true; }
  int Read(void*, void*) override { return 0; }
  bool ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
                std::string& genre, std::string& comment, std::string& track, std::string& composer,
                std::string& copyright) override {
    ++calls;
    if (!tags_) return false;
    title = tags_->title;
    artist = tags_->artist;
    album = tags_->album;
    year = tags_->year;
    genre = tags_->genre;
    comment = tags_->comment;
    track = tags_->track;
    composer = tags_->composer;
    copyright = tags_->copyright;
    return true;
  }
  int calls = 0;

 private:
  std::optional<TagRecord> tags_;
};

struct Mp4Reader {
  explicit Mp4Reader(bool finds) : found(finds) {}
  bool found = false;
  int calls = 0;
  std::string seenPath;
  PathTagReader Reader() {
    return [this](const std::string& path, std::string& title, std::string& artist,
                  std::string& album, std::string&, std::string&, std::string&, std::string& track,
                  std::string&, std::string&, bool*) {
      ++calls;
      seenPath = path;
      // Even a reader that fails may have written something on the way.
      title = found ? "Mp4 Title" : "half-read";
      artist = found ? "Mp4 Artist" : "half-read";
      if (found) track = "7";
      album.clear();
      return found;
    };
  }
};

TEST(ReadSourceTags, Mp4FamilyInputsTryTheMetadataReaderFirst) {
  for (const InputTypeCode type : {kInputM4a, kInputMp4}) {
    TaggedSource source(SourceRecord());
    Mp4Reader mp4{true};
    const auto tags = ReadSourceTags(type, "/m/a.m4a", source, mp4.Reader());
    ASSERT_TRUE(tags);
    EXPECT_EQ(tags->title, "Mp4 Title");
    EXPECT_EQ(tags->track, "7");
    EXPECT_EQ(tags->comment, "");
    EXPECT_EQ(mp4.seenPath, "/m/a.m4a");
    EXPECT_EQ(source.calls, 0) << "the source is asked only when the metadata has nothing";
  }
}

TEST(ReadSourceTags, SourceIsAskedWhenTheMetadataHasNothing) {
  TaggedSource source(SourceRecord());
  Mp4Reader mp4{false};
  const auto tags = ReadSourceTags(kInputM4a, "/m/a.m4a", source, mp4.Reader());
  ASSERT_TRUE(tags);
  EXPECT_EQ(*tags, SourceRecord()) << "nothing of the failed read may remain";
  EXPECT_EQ(mp4.calls, 1);
  EXPECT_EQ(source.calls, 1);
}

TEST(ReadSourceTags, OtherInputsAskOnlyTheSource) {
  for (const InputTypeCode type : {kInputMp3, kInputWav, kInputFlac, kInputAac, kInputOgg}) {
    TaggedSource source(SourceRecord());
    Mp4Reader mp4{true};
    const auto tags = ReadSourceTags(type, "/m/a.x", source, mp4.Reader());
    ASSERT_TRUE(tags);
    EXPECT_EQ(*tags, SourceRecord());
    EXPECT_EQ(mp4.calls, 0) << type;
  }
  TaggedSource source(SourceRecord());
  EXPECT_EQ(ReadSourceTags(kInputMp4, "/m/a.mp4", source, nullptr), SourceRecord());
}

TEST(ReadSourceTags, NeitherHavingTagsGivesNone) {
  TaggedSource source(std::nullopt);
  Mp4Reader mp4{false};
  EXPECT_FALSE(ReadSourceTags(kInputMp4, "/m/a.mp4", source, mp4.Reader()));
  TaggedSource untagged(std::nullopt);
  EXPECT_FALSE(ReadTagsOf(untagged));
}

TEST(ReadSourceTags, FeedsTransferMode) {
  TaggedSource source(SourceRecord());
  const auto tags = ResolveTags(1, FilledDefaults(), "/m/a.flac", 2, [&] {
    return ReadSourceTags(kInputFlac, "/m/a.flac", source, nullptr);
  });
  EXPECT_EQ(tags, SourceRecord());
}

TEST(TrackNumber, LeadingIntegerParse) {
  EXPECT_EQ(TrackNumberValue("3/12"), 3);
  EXPECT_EQ(TrackNumberValue(""), 0);
  EXPECT_EQ(TrackNumberValue("abc"), 0);
  EXPECT_EQ(TrackNumberValue("  42abc"), 42);
  EXPECT_EQ(TrackNumberValue("\t\n\r 5"), 5);
  EXPECT_EQ(TrackNumberValue("+7"), 7);
  EXPECT_EQ(TrackNumberValue("-3"), -3);
  EXPECT_EQ(TrackNumberValue("- 5"), 0);
  EXPECT_EQ(TrackNumberValue("007"), 7);
}

TEST(TrackNumber, HugeValuesAreClamped) {
  EXPECT_EQ(TrackNumberValue("2147483647"), INT_MAX);
  EXPECT_EQ(TrackNumberValue("2147483648"), INT_MAX);
  EXPECT_EQ(TrackNumberValue("99999999999999999999999999"), INT_MAX);
  EXPECT_EQ(TrackNumberValue("-2147483648"), INT_MIN);
  EXPECT_EQ(TrackNumberValue("-99999999999999999999999999"), INT_MIN);
}

TEST(TrackNumber, Id3KeepsTheLowEightBits) {
  EXPECT_EQ(Id3TrackNumber("255"), 255);
  EXPECT_EQ(Id3TrackNumber("256"), 0);
  EXPECT_EQ(Id3TrackNumber("300"), 44);
  EXPECT_EQ(Id3TrackNumber("4/10"), 4);
  EXPECT_EQ(Id3TrackNumber("0"), 0);
  EXPECT_EQ(Id3TrackNumber(""), 0);
  EXPECT_EQ(Id3TrackNumber("-1"), 0);
  EXPECT_EQ(Id3TrackNumber("-300"), 0);
}

}  // namespace
}  // namespace sonorell
