#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "engine/encoders/tags/gain_texts.h"
#include "engine/encoders/wma/build_profile_list.h"
#include "engine/encoders/wma/wma_file_writer.h"
#include "engine/encoders/wma/wma_gain_tags.h"
#include "engine/sources/failure_note.h"
#include "platform/wmf/wm_runtime.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/platform/wmf/asf_files.h"
#include "tests/platform/wmf/asf_picture_readers.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::FfmpegAttachedPicture;
using testing::FfmpegDecodeMd5;
using testing::Hex;
using testing::MutagenAttributes;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::ToolAvailable;

class WmaCoverAndGains : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    ASSERT_TRUE(platform::LoadWmRuntime());
    BuildProfileList(SharedWmaProfileList());
  }
  // Two seconds of a stereo tone through the writer, with tags and extras.
  bool Write(const std::string& path, const ExtraTags& extras, OutputNotes* notes) {
    const auto profile = SelectProfile(SharedWmaProfileList(), {44100, 128000, 2});
    if (!profile) return false;
    WmaFileWriter writer;
    writer.SetPath(path);
    writer.SetInput(44100, 16, 2);
    writer.SetProfile(*profile);
    TagRecord tags;
    tags.title = "Title";
    tags.artist = "Artist";
    tags.track = "4";
    writer.SetTags(tags);
    writer.SetExtras(extras, notes);
    if (!writer.Begin()) return false;
    std::vector<int16_t> left(4410), right(4410);
    for (int block = 0; block < 20; ++block) {
      for (size_t i = 0; i < left.size(); ++i) {
        const double t = static_cast<double>(block * 4410 + static_cast<int>(i)) / 44100;
        left[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 440 * t));
        right[i] = static_cast<int16_t>(8000 * std::sin(2 * M_PI * 660 * t));
      }
      if (!writer.Write16(left.data(), right.data(), static_cast<int>(left.size()))) return false;
    }
    return writer.End();
  }
  std::string Image(const std::string& name, const std::string& size) {
    return sonorell::testing::MakeNoiseImage(dir / name, size);
  }
  TempFolder dir;
};

TEST_F(WmaCoverAndGains, CoverAlbumArtistAndDiscAreReadBackByOtherPrograms) {
  ExtraTags none;
  const std::string plain = dir / "plain.wma";
  ASSERT_TRUE(Write(plain, none, nullptr));
  const std::string plainMd5 = FfmpegDecodeMd5(plain);

  const std::string mutagen = testing::MutagenPython();
  const std::string smallPng = Image("small.png", "48x32");
  const std::string largeJpeg = Image("large.jpg", "400x300");
  ASSERT_LT(smallPng.size(), 65536u);
  ASSERT_GT(largeJpeg.size(), 65536u);
  const struct {
    std::string mime, description, image;
  } covers[] = {{"image/png", "Vorderseite ü", smallPng}, {"image/jpeg", "", largeJpeg}};
  for (const auto& c : covers) {
    SCOPED_TRACE(c.mime);
    ExtraTags extras;
    extras.albumArtist = "Various Ärtists";
    extras.disc = "2";
    extras.discTotal = "3";
    extras.cover = CoverPicture{3, c.mime, c.description, c.image};
    OutputNotes notes;
    const std::string out = dir / "cover.wma";
    ASSERT_TRUE(Write(out, extras, &notes)) << GetFailureNote();
    EXPECT_EQ(notes.coverNote, "");
    EXPECT_EQ(FfmpegDecodeMd5(out), plainMd5) << "the picture changes nothing of the sound";
    auto probe = testing::FfprobeStream(out);
    EXPECT_EQ(probe.tags["ALBUM_ARTIST"], "Various Ärtists");
    EXPECT_EQ(probe.tags["ARTIST"], "Artist");
    EXPECT_EQ(probe.tags["DISC"], "2/3");
    EXPECT_EQ(probe.tags["TRACK"], "4");
    // FFmpeg 5.1 shows pictures of the extended content description only (it does not look
    // into the header extension, where those over 64 KB are).
    if (c.image.size() < 65000) {
      EXPECT_TRUE(FfmpegAttachedPicture(out) == c.image);
    }
    if (!mutagen.empty()) {
      EXPECT_TRUE(testing::MutagenPictures(out) ==
                  "3 " + c.mime + " " + c.description + " " + Hex(c.image) + "\n");
      const auto attributes = MutagenAttributes(out);
      ASSERT_TRUE(attributes);
      EXPECT_NE(attributes->find("WM/PartOfSet=2/3\n"), std::string::npos) << *attributes;
      EXPECT_NE(attributes->find("WM/AlbumArtist=Various Ärtists\n"), std::string::npos);
    }
    if (ToolAvailable("exiftool")) {
      EXPECT_TRUE(testing::ExiftoolPicture(out) == c.image);
    }
  }
  // Without an album artist of its own, WM/AlbumArtist stays the artist; no disc, no
  // WM/PartOfSet.
  EXPECT_EQ(testing::FfprobeStream(plain).tags["ALBUM_ARTIST"], "Artist");
  EXPECT_EQ(testing::FfprobeStream(plain).tags.count("DISC"), 0u);
}

TEST_F(WmaCoverAndGains, GainTagsReplaceEveryEarlierOneAndLeaveTheSoundAlone) {
  const std::string wma = dir / "g.wma";
  ASSERT_TRUE(testing::MakeAsfAudio(wma, "wmav2", 44100, 2, 2.0,
                                    "-metadata title=Keep "
                                    "-metadata REPLAYGAIN_ALBUM_GAIN=\"+1.00 dB\" "
                                    "-metadata replaygain_track_gain=\"+3.00 dB\""));
  const std::string md5 = FfmpegDecodeMd5(wma);
  const Loudness track{-12.5, 0.75};
  const Loudness album{-20.25, 0.98};
  const std::string mutagen = testing::MutagenPython();
  if (mutagen.empty()) GTEST_SKIP() << "mutagen is needed";

  ASSERT_TRUE(WriteWmaGainTags(wma, GainTags{track, std::nullopt})) << GetFailureNote();
  auto attributes = MutagenAttributes(wma);
  ASSERT_TRUE(attributes);
  EXPECT_NE(attributes->find("replaygain_track_gain=" + ReplayGainText(track) + "\n"),
            std::string::npos)
      << *attributes;
  EXPECT_NE(attributes->find("replaygain_track_peak=" + ReplayGainPeakText(track) + "\n"),
            std::string::npos);
  EXPECT_EQ(attributes->find("+3.00"), std::string::npos) << "the old track gain is gone";
  EXPECT_EQ(attributes->find("album"), std::string::npos) << "no album value, no album tags";
  EXPECT_EQ(attributes->find("ALBUM_GAIN"), std::string::npos);
  EXPECT_NE(attributes->find("Title=Keep"), std::string::npos);
  EXPECT_EQ(FfmpegDecodeMd5(wma), md5);

  // The album's gains later, in place; the track's go when none are given.
  const auto size = std::filesystem::file_size(wma);
  ASSERT_TRUE(WriteWmaGainTags(wma, GainTags{std::nullopt, album}));
  EXPECT_EQ(std::filesystem::file_size(wma), size) << "written into the room kept for it";
  attributes = MutagenAttributes(wma);
  EXPECT_EQ(attributes->find("replaygain_track"), std::string::npos) << *attributes;
  EXPECT_NE(attributes->find("replaygain_album_gain=" + ReplayGainText(album) + "\n"),
            std::string::npos);
  EXPECT_NE(attributes->find("replaygain_album_peak=" + ReplayGainPeakText(album) + "\n"),
            std::string::npos);
  EXPECT_EQ(testing::FfprobeStream(wma).tags["REPLAYGAIN_ALBUM_GAIN"], ReplayGainText(album));
  EXPECT_EQ(FfmpegDecodeMd5(wma), md5);

  // A file that is no WMA is refused with a reason and left as it was.
  const std::string other = dir / "other.wma";
  testing::WriteFileBytes(other, "ID3 not an ASF file");
  ClearFailureNote();
  EXPECT_FALSE(WriteWmaGainTags(other, GainTags{track, album}));
  EXPECT_NE(GetFailureNote(), "");
  EXPECT_EQ(ReadFileBytes(other), "ID3 not an ASF file");
}

}  // namespace
}  // namespace sonorell
