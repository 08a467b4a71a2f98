#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cmath>
#include <filesystem>
#include <vector>

#include "engine/encoders/aac/aac_encoding_options.h"
#include "engine/encoders/aac/mp4_aac_writer.h"
#include "engine/encoders/aac/mp4_atoms.h"
#include "engine/encoders/aac/mp4_gain_tags.h"
#include "engine/encoders/tags/gain_texts.h"
#include "engine/sources/failure_note.h"
#include "tests/support/decoding.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::FfmpegAttachedPicture;
using testing::FfprobeFormatTag;
using testing::ReadFileBytes;
using testing::ReadWithMutagen;
using testing::ShellQuote;
using testing::TempFolder;
using testing::WriteFileBytes;

constexpr const char* kFreeform = "----:com.apple.iTunes:";

// The body of the file's media data atom, which no tag edit may change.
std::string MediaData(const std::string& path) {
  FinishedFile file;
  if (!file.Open(path)) return {};
  const auto atoms = ListFileAtoms(file);
  if (!atoms) return {};
  for (const Mp4Atom& atom : *atoms) {
    if (atom.type == "mdat") {
      return file.Read(atom.BodyOffset(), atom.size - atom.headerSize).value_or("");
    }
  }
  return {};
}

// One second of a stereo tone written by our MP4 writer with the given extras; the note of
// the cover picture, or nullopt when the file could not be made.
std::optional<std::string> WriteOurMp4(const std::string& path, platform::Mp4Brand brand,
                                       const ExtraTags& extras, bool reserveRoom) {
  StagedOutput out;
  if (!out.Open(path)) return std::nullopt;
  Mp4AacWriter writer(out);
  if (!writer.Open(44100, 2, brand)) return std::nullopt;
  ApplyAacOptions(Mp4AacOptions(Settings{}), 2, writer.Configuration());
  if (!writer.Start()) return std::nullopt;
  TagRecord tags;
  tags.title = "Title";
  tags.track = "5";
  writer.Track().SetTags(tags, extras.trackTotal);
  std::string note = writer.Track().SetExtras(extras);
  if (reserveRoom) writer.Track().ReserveTagRoom(kMp4GainRoom);
  std::vector<int16_t> left(1152);
  std::vector<int16_t> right(1152);
  for (int block = 0; block < 40; ++block) {
    for (size_t i = 0; i < left.size(); ++i) {
      left[i] = static_cast<int16_t>(8000 * std::sin((block * 1152.0 + i) * 0.0627));
      right[i] = left[i];
    }
    if (!writer.WritePcm(left.data(), right.data(), 1152)) return std::nullopt;
  }
  if (!writer.Finish() || !out.Commit({})) return std::nullopt;
  return note;
}

class Mp4CoverAndGains : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::TagReadersAvailable()) GTEST_SKIP() << "ffmpeg, ffprobe or mutagen is missing";
    jpeg = testing::MakeTestPicture(dir / "cover.jpg");
    png = testing::MakeTestPicture(dir / "cover.png");
    ASSERT_FALSE(jpeg.empty() || png.empty());
  }

  TempFolder dir;
  std::string jpeg;
  std::string png;
};

TEST_F(Mp4CoverAndGains, EachFlavourCarriesCoverAlbumArtistDiscAndTotalsAsOthersReadThem) {
  const std::string huge = jpeg + std::string(30u << 20, '\x5A');
  struct Case {
    std::string name;
    platform::Mp4Brand brand;
    std::string picture;
    std::string format;  // mutagen's image format: 13 JPEG, 14 PNG
  };
  for (const Case& c : {Case{"a.m4a", platform::Mp4Brand::kM4a, jpeg, "13"},
                        Case{"b.mp4", platform::Mp4Brand::kMp4, png, "14"},
                        Case{"c.m4b", platform::Mp4Brand::kM4b, jpeg, "13"},
                        Case{"huge.m4a", platform::Mp4Brand::kM4a, huge, "13"}}) {
    SCOPED_TRACE(c.name);
    ExtraTags extras;
    extras.albumArtist = "Ärzte & 東京";
    extras.disc = "2";
    extras.discTotal = "3";
    extras.trackTotal = "12";
    extras.cover = CoverPicture{3, "image/whatever", "", c.picture};
    const std::string path = dir / c.name;
    const auto note = WriteOurMp4(path, c.brand, extras, false);
    ASSERT_TRUE(note);
    EXPECT_EQ(*note, "");

    const auto read = ReadWithMutagen(path);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->pictures.size(), 1u);
    EXPECT_TRUE(read->pictures[0].data == c.picture);
    EXPECT_EQ(read->pictures[0].kind, c.format);
    EXPECT_EQ(read->One("aART"), "Ärzte & 東京");
    EXPECT_EQ(read->One("disk"), "2/3");
    EXPECT_EQ(read->One("trkn"), "5/12");
    EXPECT_EQ(read->One("\xC2\xA9nam"), "Title");
    const auto attached = FfmpegAttachedPicture(path);
    ASSERT_TRUE(attached);
    EXPECT_TRUE(*attached == c.picture);
    EXPECT_EQ(FfprobeFormatTag(path, "album_artist"), "Ärzte & 東京");
    EXPECT_EQ(FfprobeFormatTag(path, "disc"), "2/3");
    EXPECT_EQ(FfprobeFormatTag(path, "track"), "5/12");
    const auto decoded = testing::FfmpegDecode16(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), 2u * 40 * 1152);
  }

  // A picture MP4 cannot hold is left out with its reason; the file is whole without it.
  ExtraTags gif;
  gif.cover = CoverPicture{3, "image/gif", "", "GIF89a\x01\x00\x01\x00"};
  const auto note = WriteOurMp4(dir / "gif.m4a", platform::Mp4Brand::kM4a, gif, false);
  ASSERT_TRUE(note);
  EXPECT_FALSE(note->empty());
  const auto read = ReadWithMutagen(dir / "gif.m4a");
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->pictures.empty());
  EXPECT_EQ(read->One("trkn"), "5/0");
  EXPECT_FALSE(FfmpegAttachedPicture(dir / "gif.m4a"));
}

TEST_F(Mp4CoverAndGains, GainItemsGoInPlaceOrByRewriteAndNeverTouchTheMediaData) {
  ExtraTags none;
  ASSERT_TRUE(WriteOurMp4(dir / "ours.m4a", platform::Mp4Brand::kM4a, none, true));
  ASSERT_TRUE(WriteOurMp4(dir / "tight.mp4", platform::Mp4Brand::kMp4, none, false));
  const std::string tone = "-f lavfi -i sine=frequency=440:duration=2 -c:a aac -b:a 96k ";
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error " + tone + "-metadata title=Theirs -y " +
                            ShellQuote(dir / "ffmpeg.m4a")));
  // The index before the media data: the chunk offsets must follow the data as it moves.
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error " + tone +
                            "-movflags +faststart -metadata title=Theirs -y " +
                            ShellQuote(dir / "faststart.m4a")));
  // No metadata at all: udta, meta and ilst are made.
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -fflags +bitexact " + tone +
                            "-map_metadata -1 -y " + ShellQuote(dir / "bare.mp4")));

  const Loudness track{-20.5, 0.501};
  const Loudness album{-16.25, 0.9};
  for (const std::string name :
       {"ours.m4a", "tight.mp4", "ffmpeg.m4a", "faststart.m4a", "bare.mp4"}) {
    SCOPED_TRACE(name);
    const std::string path = dir / name;
    const std::string media = MediaData(path);
    ASSERT_FALSE(media.empty());
    const auto decoded = testing::FfmpegDecode16(path);
    ASSERT_TRUE(decoded && !decoded->empty());
    const auto size = std::filesystem::file_size(path);
    struct stat oldInfo {};
    ::stat(path.c_str(), &oldInfo);

    ASSERT_TRUE(WriteMp4GainTags(path, GainTags{track, std::nullopt})) << GetFailureNote();
    if (name == "ours.m4a") {
      // Our file kept room for them: edited in place.
      struct stat newInfo {};
      ::stat(path.c_str(), &newInfo);
      EXPECT_EQ(newInfo.st_ino, oldInfo.st_ino);
      EXPECT_EQ(std::filesystem::file_size(path), size);
    }
    auto read = ReadWithMutagen(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->One(std::string(kFreeform) + "replaygain_track_gain"), ReplayGainText(track));
    EXPECT_EQ(read->One(std::string(kFreeform) + "replaygain_track_peak"),
              ReplayGainPeakText(track));
    EXPECT_TRUE(read->All(std::string(kFreeform) + "replaygain_album_gain").empty());
    if (name.starts_with("ffmpeg") || name.starts_with("faststart")) {
      EXPECT_EQ(read->One("\xC2\xA9nam"), "Theirs");
    }
    EXPECT_EQ(FfprobeFormatTag(path, "replaygain_track_gain"), ReplayGainText(track));

    ASSERT_TRUE(WriteMp4GainTags(path, GainTags{track, album})) << GetFailureNote();
    read = ReadWithMutagen(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->One(std::string(kFreeform) + "replaygain_track_gain"), ReplayGainText(track));
    EXPECT_EQ(read->One(std::string(kFreeform) + "replaygain_album_gain"), ReplayGainText(album));
    EXPECT_EQ(read->One(std::string(kFreeform) + "replaygain_album_peak"),
              ReplayGainPeakText(album));
    EXPECT_TRUE(MediaData(path) == media);
    EXPECT_EQ(testing::FfmpegDecode16(path), decoded);
    const auto exif = CommandOutput("exiftool -s3 -Replaygain_album_gain " + ShellQuote(path));
    if (exif) {
      EXPECT_NE(exif->find(ReplayGainText(album).substr(0, 5)), std::string::npos);
    }
  }

  // A damaged index: nothing changes, and the reason is told.
  std::string damaged = ReadFileBytes(dir / "ffmpeg.m4a");
  damaged.resize(damaged.size() - 100);
  WriteFileBytes(dir / "damaged.m4a", damaged);
  ClearFailureNote();
  EXPECT_FALSE(WriteMp4GainTags(dir / "damaged.m4a", GainTags{track, album}));
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(ReadFileBytes(dir / "damaged.m4a"), damaged);
}

}  // namespace
}  // namespace sonorell
