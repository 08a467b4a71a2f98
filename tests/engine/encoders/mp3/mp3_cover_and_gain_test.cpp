#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "engine/encoders/mp3/mp3_gain_tags.h"
#include "engine/encoders/tags/build_id3_tag.h"
#include "engine/encoders/tags/gain_texts.h"
#include "engine/encoders/tags/id3v2_frames.h"
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

std::string AsString(const std::vector<uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

// The length of the ID3v2 tag a file starts with, 0 when none.
size_t LeadingTagLength(const std::string& bytes) {
  return Id3v2TagLength(bytes).value_or(0);
}

class Mp3CoverAndGains : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::TagReadersAvailable()) GTEST_SKIP() << "ffmpeg, ffprobe or mutagen is missing";
    for (const char* tool : {"lame", "sox"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 " + ShellQuote(dir / "tone.wav") +
                              " synth 2 sine 440 vol 0.5"));
    // LAME's own program: audio frames only, no tag, no Info frame.
    ASSERT_TRUE(CommandOutput("lame --quiet -t " + ShellQuote(dir / "tone.wav") + " " +
                              ShellQuote(dir / "plain.mp3")));
    audio = ReadFileBytes(dir / "plain.mp3");
    ASSERT_GT(audio.size(), 1000u);
    jpeg = testing::MakeTestPicture(dir / "cover.jpg");
    png = testing::MakeTestPicture(dir / "cover.png");
    ASSERT_FALSE(jpeg.empty() || png.empty());
  }

  TempFolder dir;
  std::string audio;
  std::string jpeg;
  std::string png;
};

TEST_F(Mp3CoverAndGains, TheId3v2TagCarriesCoverAlbumArtistDiscAndTotalsAsOthersReadThem) {
  TagRecord tags;
  tags.title = "Title";
  tags.artist = "Artist";
  tags.track = "5";
  // A 30 MB picture (a small JPEG and then filler) goes in whole like a small one.
  const std::string huge = jpeg + std::string(30u << 20, '\x5A');
  struct Case {
    std::string name, mime, description, data;
  };
  for (const Case& c :
       {Case{"jpeg", "image/jpeg", "Vorderseite", jpeg},
        Case{"png", "image/png", "Pochette – 表紙", png}, Case{"huge", "image/jpeg", "", huge}}) {
    SCOPED_TRACE(c.name);
    ExtraTags extras;
    extras.albumArtist = "Ärzte & 東京";
    extras.disc = "2";
    extras.discTotal = "3";
    extras.trackTotal = "12";
    extras.cover = CoverPicture{3, c.mime, c.description, c.data};
    const auto block = BuildId3Tag(kId3v2, tags, extras, kId3v2GainRoom);
    ASSERT_TRUE(block);
    const std::string path = dir / (c.name + ".mp3");
    WriteFileBytes(path, AsString(*block) + audio);

    const auto read = ReadWithMutagen(path);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->pictures.size(), 1u);
    EXPECT_TRUE(read->pictures[0].data == c.data);
    EXPECT_EQ(read->pictures[0].kind, "3|" + c.mime + "|" + c.description);
    EXPECT_EQ(read->One("TIT2"), "Title");
    EXPECT_EQ(read->One("TPE2"), "Ärzte & 東京");
    EXPECT_EQ(read->One("TPOS"), "2/3");
    EXPECT_EQ(read->One("TRCK"), "5/12");
    EXPECT_EQ(read->One("version"), "2.3");

    const auto attached = FfmpegAttachedPicture(path);
    ASSERT_TRUE(attached);
    EXPECT_TRUE(*attached == c.data);
    EXPECT_EQ(FfprobeFormatTag(path, "album_artist"), "Ärzte & 東京");
    EXPECT_EQ(FfprobeFormatTag(path, "disc"), "2/3");
    EXPECT_EQ(FfprobeFormatTag(path, "track"), "5/12");
    // The padding asked for is there, and the audio right after it.
    EXPECT_GE(block->size(), kId3v2GainRoom + c.data.size());
    EXPECT_EQ(ReadFileBytes(path).substr(block->size()), audio);
  }
  // No extras: the designed tag, TRCK a plain number.
  const auto plain = BuildId3Tag(kId3v2, tags);
  ASSERT_TRUE(plain);
  WriteFileBytes(dir / "plain-tag.mp3", AsString(*plain) + audio);
  const auto read = ReadWithMutagen(dir / "plain-tag.mp3");
  ASSERT_TRUE(read);
  EXPECT_TRUE(read->pictures.empty());
  EXPECT_EQ(read->One("TRCK"), "5");
  EXPECT_TRUE(read->All("TPE2").empty());
}

TEST_F(Mp3CoverAndGains, ACopiedTagIsEditedInItsOwnVersionNotAppendedTo) {
  WriteFileBytes(dir / "old.png", png);
  for (const int version : {3, 4}) {
    SCOPED_TRACE(version);
    // Another program's tag: a picture, gains in two spellings and texts of its own.
    const std::string source = dir / ("source" + std::to_string(version) + ".mp3");
    ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(dir / "plain.mp3") +
                              " -i " + ShellQuote(dir / "old.png") +
                              " -map 0 -map 1 -c copy -id3v2_version " + std::to_string(version) +
                              " -metadata title=Kept -metadata REPLAYGAIN_TRACK_GAIN='+1.00 dB' "
                              "-metadata replaygain_album_peak=0.5 -metadata OTHER=keep -y " +
                              ShellQuote(source)));
    const std::string bytes = ReadFileBytes(source);
    const size_t length = LeadingTagLength(bytes);
    ASSERT_GT(length, png.size());
    const std::vector<uint8_t> block(bytes.begin(), bytes.begin() + length);

    for (const bool withCover : {true, false}) {
      SCOPED_TRACE(withCover);
      std::optional<CoverPicture> cover;
      if (withCover) cover = CoverPicture{3, "image/jpeg", "neu", jpeg};
      const auto edited = EditCopiedId3v2Tag(block, cover, kId3v2GainRoom);
      ASSERT_TRUE(edited);
      const std::string path = dir / "edited.mp3";
      WriteFileBytes(path, AsString(*edited) + bytes.substr(length));
      const auto read = ReadWithMutagen(path);
      ASSERT_TRUE(read);
      EXPECT_EQ(read->One("version"), "2." + std::to_string(version));
      EXPECT_EQ(read->One("TIT2"), "Kept");
      EXPECT_EQ(read->One("TXXX:OTHER"), "keep");
      EXPECT_TRUE(read->All("TXXX:REPLAYGAIN_TRACK_GAIN").empty());
      EXPECT_TRUE(read->All("TXXX:replaygain_album_peak").empty());
      ASSERT_EQ(read->pictures.size(), withCover ? 1u : 0u);
      if (withCover) {
        EXPECT_TRUE(read->pictures[0].data == jpeg);
        EXPECT_EQ(read->pictures[0].kind, "3|image/jpeg|neu");
      }
    }
  }
  // A block that is no ID3v2.3/2.4 tag is not edited (the caller copies it as it is).
  const std::string v22 =
      std::string("ID3\x02\0\0\0\0\0\x0D", 10) + "TT2" + std::string("\0\0\x07\0Title\0", 10);
  EXPECT_FALSE(EditCopiedId3v2Tag(std::vector<uint8_t>(v22.begin(), v22.end()), {}, 0));
}

TEST_F(Mp3CoverAndGains, GainTagsGoInPlaceOrByRewriteAndNeverTouchTheAudio) {
  TagRecord tags;
  tags.title = "Ours";
  const auto ours = BuildId3Tag(kId3v2, tags, {}, kId3v2GainRoom);
  ASSERT_TRUE(ours);
  WriteFileBytes(dir / "ours.mp3", AsString(*ours) + audio);
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(dir / "plain.mp3") +
                            " -c copy -id3v2_version 4 -metadata title=Theirs -metadata "
                            "REPLAYGAIN_TRACK_GAIN='+9.00 dB' -y " +
                            ShellQuote(dir / "ffmpeg24.mp3")));
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -i " + ShellQuote(dir / "plain.mp3") +
                            " -c copy -id3v2_version 3 -metadata title=Theirs -y " +
                            ShellQuote(dir / "ffmpeg23.mp3")));
  ASSERT_TRUE(CommandOutput("lame --quiet -t --id3v1-only --tt V1Title " +
                            ShellQuote(dir / "tone.wav") + " " + ShellQuote(dir / "v1.mp3")));
  std::filesystem::copy_file(dir / "plain.mp3", dir / "untagged.mp3");
  ::chmod((dir / "ffmpeg24.mp3").c_str(), 0640);

  const Loudness track{-20.5, 0.501};
  const Loudness album{-16.25, 0.9};
  for (const std::string name : {"ours", "ffmpeg24", "ffmpeg23", "v1", "untagged"}) {
    SCOPED_TRACE(name);
    const std::string path = dir / (name + ".mp3");
    const std::string before = ReadFileBytes(path);
    const std::string afterTag = before.substr(LeadingTagLength(before));
    const auto decoded = testing::FfmpegDecode16(path);
    ASSERT_TRUE(decoded && !decoded->empty());
    struct stat oldInfo {};
    ::stat(path.c_str(), &oldInfo);

    ASSERT_TRUE(WriteMp3GainTags(path, GainTags{track, std::nullopt})) << GetFailureNote();
    std::string now = ReadFileBytes(path);
    EXPECT_EQ(now.substr(LeadingTagLength(now)), afterTag);
    struct stat newInfo {};
    ::stat(path.c_str(), &newInfo);
    EXPECT_EQ(newInfo.st_mode, oldInfo.st_mode);
    if (name == "ours") {
      // The padding had room: the same file, the same length.
      EXPECT_EQ(newInfo.st_ino, oldInfo.st_ino);
      EXPECT_EQ(now.size(), before.size());
    }
    auto read = ReadWithMutagen(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->One("TXXX:REPLAYGAIN_TRACK_GAIN"), ReplayGainText(track));
    EXPECT_EQ(read->One("TXXX:REPLAYGAIN_TRACK_PEAK"), ReplayGainPeakText(track));
    EXPECT_TRUE(read->All("TXXX:REPLAYGAIN_ALBUM_GAIN").empty());
    if (name == "ours") {
      EXPECT_EQ(read->One("TIT2"), "Ours");
    }
    if (name.starts_with("ffmpeg")) {
      EXPECT_EQ(read->One("TIT2"), "Theirs");
    }
    EXPECT_EQ(FfprobeFormatTag(path, "REPLAYGAIN_TRACK_GAIN"), ReplayGainText(track));

    // The album's gains join later: the track's are replaced, not doubled.
    ASSERT_TRUE(WriteMp3GainTags(path, GainTags{track, album})) << GetFailureNote();
    now = ReadFileBytes(path);
    EXPECT_EQ(now.substr(LeadingTagLength(now)), afterTag);
    read = ReadWithMutagen(path);
    ASSERT_TRUE(read);
    EXPECT_EQ(read->One("TXXX:REPLAYGAIN_TRACK_GAIN"), ReplayGainText(track));
    EXPECT_EQ(read->One("TXXX:REPLAYGAIN_ALBUM_GAIN"), ReplayGainText(album));
    EXPECT_EQ(read->One("TXXX:REPLAYGAIN_ALBUM_PEAK"), ReplayGainPeakText(album));
    if (name == "v1") {
      EXPECT_EQ(now.substr(now.size() - 128, 3), "TAG");
    }
    // The file still decodes as the same MP3.
    EXPECT_EQ(testing::FfmpegDecode16(path), decoded);
  }

  // A tag that cannot be taken apart: nothing changes, and the reason is told.
  const std::string v22 = std::string("ID3\x02\0\0\0\0\0\x0D", 10) + "TT2" +
                          std::string("\0\0\x07\0Title\0", 10) + audio;
  WriteFileBytes(dir / "v22.mp3", v22);
  ClearFailureNote();
  EXPECT_FALSE(WriteMp3GainTags(dir / "v22.mp3", GainTags{track, album}));
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(ReadFileBytes(dir / "v22.mp3"), v22);
  EXPECT_FALSE(WriteMp3GainTags(dir / "missing.mp3", GainTags{track, album}));
}

}  // namespace
}  // namespace sonorell
