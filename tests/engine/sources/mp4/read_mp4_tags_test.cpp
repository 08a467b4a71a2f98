#include "engine/sources/mp4/read_mp4_tags.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "platform/mp4/mp4_wrapper.h"
#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/platform/mp4/aac_frames.h"
#include "tests/support/decoding.h"
#include "tests/support/latin1_locale.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::LocaleGuard;
using testing::MakeWithFfmpeg;
using testing::ReadFileBytes;
using testing::SamplePath;
using testing::ShellQuote;
using testing::TempFolder;
using testing::WriteFileBytes;

// The nine outputs, filled beforehand so that what the call leaves alone shows.
struct Fields {
  std::string title = "old title";
  std::string artist = "old artist";
  std::string album = "old album";
  std::string year = "old year";
  std::string genre = "old genre";
  std::string comment = "old comment";
  std::string track = "old track";
  std::string composer = "old composer";
  std::string copyright = "old copyright";
  bool replaced = false;
};

bool Read(const std::string& path, Fields& f) {
  return ReadMp4Tags(path, f.title, f.artist, f.album, f.year, f.genre, f.comment, f.track,
                     f.composer, f.copyright, &f.replaced);
}

class ReadMp4TagsTest : public ::testing::Test {
 protected:
  void SetUp() override { SONORELL_REQUIRE_FFMPEG(); }

  std::string Make(const std::string& name, const std::string& metadata) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(
        MakeWithFfmpeg("-f lavfi -i sine=frequency=550:duration=0.3 -c:a aac " + metadata, path));
    return path;
  }

  TempFolder dir_;
};

TEST_F(ReadMp4TagsTest, EveryFieldBecomesLocaleText) {
  LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  const std::string path =
      Make("all.m4a", "-metadata title=" + ShellQuote("Привет, мир") +
                          " -metadata artist=" + ShellQuote("日本語のアーティスト") +
                          " -metadata album=Album -metadata date=2003 -metadata genre=" +
                          ShellQuote("Ελληνικά") + " -metadata comment=" + ShellQuote("Größe") +
                          " -metadata composer=" + ShellQuote("作曲家") + " -metadata track=7/12");
  Fields f;
  EXPECT_TRUE(Read(path, f));
  EXPECT_EQ(f.title, "Привет, мир");
  EXPECT_EQ(f.artist, "日本語のアーティスト");
  EXPECT_EQ(f.album, "Album");
  EXPECT_EQ(f.year, "2003");
  EXPECT_EQ(f.genre, "Ελληνικά");
  EXPECT_EQ(f.comment, "Größe");
  EXPECT_EQ(f.track, "7");  // the total is not kept
  EXPECT_EQ(f.composer, "作曲家");
  EXPECT_EQ(f.copyright, "");
}

TEST_F(ReadMp4TagsTest, FieldsTheFileLacksKeepTheirValues) {
  const std::string path = Make("some.mp4", "-metadata album=Only -metadata composer=Bach");
  Fields f;
  EXPECT_TRUE(Read(path, f));
  EXPECT_EQ(f.album, "Only");
  EXPECT_EQ(f.composer, "Bach");
  EXPECT_EQ(f.title, "old title");
  EXPECT_EQ(f.artist, "old artist");
  EXPECT_EQ(f.year, "old year");
  EXPECT_EQ(f.genre, "old genre");
  EXPECT_EQ(f.comment, "old comment");
  EXPECT_EQ(f.track, "old track");
  EXPECT_EQ(f.copyright, "");
}

// Only a composer counts as found too: it is read after the track number.
TEST_F(ReadMp4TagsTest, ATrackNumberAloneIsNotFound) {
  const std::string path = Make("track.m4a", "-metadata track=5");
  Fields f;
  EXPECT_FALSE(Read(path, f));
  EXPECT_EQ(f.track, "5");
  EXPECT_EQ(f.title, "old title");
  EXPECT_EQ(f.copyright, "");

  Fields bare;
  EXPECT_FALSE(Read(Make("bare.m4a", ""), bare));
  EXPECT_EQ(bare.track, "old track");
  EXPECT_EQ(bare.copyright, "");

  Fields composer;
  EXPECT_TRUE(Read(Make("composer.m4a", "-metadata composer=Ravel -metadata track=1"), composer));
  EXPECT_EQ(composer.composer, "Ravel");
  EXPECT_EQ(composer.track, "1");
}

// The C locale's ASCII counts as UTF-8; a locale that cannot hold a text gets it with
// replacement characters, and the other fields as they are.
TEST_F(ReadMp4TagsTest, TextTheLocaleCannotHoldIsReplaced) {
  const std::string path =
      Make("mixed.m4a", "-metadata title=" + ShellQuote("Привет") +
                            " -metadata artist=Plain -metadata genre=" + ShellQuote("Café"));
  {
    LocaleGuard ascii("C");
    ASSERT_TRUE(ascii.ok());
    Fields f;
    EXPECT_TRUE(Read(path, f));
    EXPECT_EQ(f.title, "Привет");
    EXPECT_EQ(f.genre, "Café");
    EXPECT_FALSE(f.replaced);
  }
  const testing::InLatin1Locale latin1;
  if (!latin1.ok()) GTEST_SKIP() << "localedef cannot make a Latin-1 locale here";
  Fields f;
  EXPECT_TRUE(Read(path, f));
  EXPECT_EQ(f.title, "??????");
  EXPECT_EQ(f.genre, "Caf\xE9");
  EXPECT_EQ(f.artist, "Plain");
  EXPECT_TRUE(f.replaced);
}

// What the M4A writer stores comes back through the same reader (tag transfer between MP4
// files): every field, the track number without its total.
TEST_F(ReadMp4TagsTest, ReadsWhatTheWrapperWrote) {
  LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  const auto aac = testing::MakeAacFrames(dir_, 44100, 2, 20'000);
  ASSERT_TRUE(aac);
  const std::string path = dir_ / "ours.m4b";
  platform::MP4FileHandle file = platform::MP4CreateExx(path.c_str(), platform::Mp4Brand::kM4b);
  ASSERT_NE(file, nullptr);
  const platform::MP4TrackId track = testing::StartTrack(file, *aac);
  platform::MP4SetMetadataNameExx(file, "Глава 1");
  platform::MP4SetMetadataArtistExx(file, "Чтец");
  platform::MP4SetMetadataAlbumExx(file, "Книга");
  platform::MP4SetMetadataYearExx(file, "1869");
  platform::MP4SetMetadataGenreExx(file, "Audiobook");
  platform::MP4SetMetadataCommentExx(file, "第一章");
  platform::MP4SetMetadataWriterExx(file, "Толстой");
  platform::MP4SetMetadataTrackExx(file, 1, 361);
  EXPECT_TRUE(testing::StoreFrames(file, track, *aac));
  ASSERT_TRUE(platform::MP4CloseExx(file));

  Fields f;
  EXPECT_TRUE(Read(path, f));
  EXPECT_EQ(f.title, "Глава 1");
  EXPECT_EQ(f.artist, "Чтец");
  EXPECT_EQ(f.album, "Книга");
  EXPECT_EQ(f.year, "1869");
  EXPECT_EQ(f.genre, "Audiobook");
  EXPECT_EQ(f.comment, "第一章");
  EXPECT_EQ(f.composer, "Толстой");
  EXPECT_EQ(f.track, "1");
  EXPECT_EQ(f.copyright, "");
}

TEST_F(ReadMp4TagsTest, FilesThatAreNoMp4GiveNothing) {
  const std::string good = Make("good.m4a", "-metadata title=Good");
  const std::string bytes = ReadFileBytes(good);
  const std::string cut = dir_ / "cut.m4a";
  WriteFileBytes(cut, bytes.substr(0, bytes.size() / 2));
  const std::string flac = dir_ / "tagged.flac";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=duration=0.2 -metadata title=Flac", flac));
  std::mt19937 random(11);
  std::string noise(8192, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string noisy = dir_ / "noise.m4a";
  WriteFileBytes(noisy, noise);
  const std::string empty = dir_ / "empty.mp4";
  WriteFileBytes(empty, "");

  for (const std::string& path :
       {flac, cut, noisy, empty, dir_ / "missing.m4a", dir_.path(), std::string()}) {
    SCOPED_TRACE(path);
    Fields f;
    EXPECT_FALSE(Read(path, f));
    EXPECT_EQ(f.title, "old title");
    EXPECT_EQ(f.track, "old track");
    EXPECT_EQ(f.copyright, "old copyright") << "a file that does not open changes nothing";
  }
}

TEST_F(ReadMp4TagsTest, SharedSample) {
  SONORELL_REQUIRE_SAMPLE("chord.m4a");
  Fields f;
  EXPECT_TRUE(Read(SamplePath("chord.m4a"), f));
  EXPECT_EQ(f.title, "Chord M4A");
  EXPECT_EQ(f.artist, "Sample Artist");
  EXPECT_EQ(f.album, "old album");
  EXPECT_EQ(f.copyright, "");
}

}  // namespace
}  // namespace sonorell
