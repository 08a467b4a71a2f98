// Covers and ReplayGain through the batch command: pictures from every kind of source reach
// every output that holds one byte for byte, and the gains written agree with ffmpeg's
// EBU R128 measure of the same sound.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <string>

#include "tests/engine/encoders/tags/cover_inputs.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/ebur128_summary.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::FfmpegAttachedPicture;
using testing::Has;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::ShellQuote;
using testing::TempFolder;

// A container-level tag as ffprobe reports it (names compared without case).
std::string FfprobeTag(const std::string& path, const std::string& name) {
  const auto out = CommandOutput(
      "ffprobe -v error -show_entries format_tags:stream_tags -of "
      "default=nw=1 " +
      ShellQuote(path));
  if (!out) return "<no ffprobe>";
  const auto lower = [](std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
  };
  const std::string wanted = "tag:" + lower(name) + "=";
  size_t start = 0;
  while (start < out->size()) {
    size_t end = out->find('\n', start);
    if (end == std::string::npos) end = out->size();
    const std::string line = out->substr(start, end - start);
    if (lower(line.substr(0, wanted.size())) == wanted) return line.substr(wanted.size());
    start = end + 1;
  }
  return std::string();
}

class CoverAndGainOutputs : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "ffmpeg", "ffprobe", "metaflac", "opusenc", "oggenc"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    if (testing::MutagenPython().empty()) GTEST_SKIP() << "python3-mutagen is not installed";
  }
  std::string Convert(const std::string& format, const std::string& extra,
                      const std::string& paths) {
    const testing::CliResult r =
        RunCli(profile, "convert --format " + format + " --no-settings --jobs 2 --out " +
                            ShellQuote(dir / ("out-" + format)) + " " + extra + " " + paths);
    EXPECT_EQ(r.status, 0) << r.out;
    return r.out;
  }
  TempFolder dir;
  TempFolder profile;
};

TEST_F(CoverAndGainOutputs, EverySourceKindsPictureReachesEveryOutputThatHoldsOne) {
  const std::string src = dir / "src";
  std::filesystem::create_directories(src);
  ASSERT_TRUE(testing::MakeToneAndImages(src));
  ASSERT_TRUE(testing::MakeCoveredSources(src));
  // A folder whose only picture is an image file beside the sound, named in capitals.
  const std::string side = dir / "side";
  std::filesystem::create_directories(side);
  std::filesystem::copy_file(src + "/tone.wav", side + "/loose.wav");
  std::filesystem::copy_file(src + "/front.jpg", side + "/Cover.JPG");
  std::string paths;
  for (const char* name : {"a.mp3", "b.flac", "c.m4a", "d.opus", "e.ogg", "f.wma"})
    paths += " " + ShellQuote(src + "/" + name);
  paths += " " + ShellQuote(side + "/loose.wav");

  const std::string front = ReadFileBytes(src + "/front.jpg");
  const std::string back = ReadFileBytes(src + "/back.png");
  for (const char* format : {"mp3", "m4a", "ogg", "opus", "flac", "wma"}) {
    SCOPED_TRACE(format);
    Convert(format, "", paths);
    const std::string out = dir / (std::string("out-") + format) + "/";
    for (const char* name : {"a", "b", "c", "d", "e", "f", "loose"}) {
      SCOPED_TRACE(name);
      const std::string file = out + name + "." + format;
      const std::optional<std::string> picture = FfmpegAttachedPicture(file);
      EXPECT_TRUE(picture == (name == std::string("d") ? back : front))
          << (picture ? std::to_string(picture->size()) + " bytes" : "no picture");
      // The extra texts travel with the picture (the loose file has none).
      EXPECT_EQ(FfprobeTag(file, "album_artist"),
                name == std::string("loose") ? "" : "Ensemble Ébène");
    }
  }
  // Formats without pictures take the same sources and simply carry none.
  for (const char* format : {"wav", "aac"}) {
    Convert(format, "", paths);
    EXPECT_FALSE(FfmpegAttachedPicture(dir / (std::string("out-") + format + "/a." + format)));
  }
  // --no-cover carries none; --cover puts the one given everywhere.
  Convert("mp3", "--no-cover --overwrite", paths);
  EXPECT_FALSE(FfmpegAttachedPicture(dir / "out-mp3/a.mp3"));
  Convert("flac", "--cover " + ShellQuote(src + "/back.png") + " --overwrite", paths);
  EXPECT_EQ(FfmpegAttachedPicture(dir / "out-flac/b.flac"), back);
  EXPECT_EQ(FfmpegAttachedPicture(dir / "out-flac/loose.flac"), back);
}

TEST_F(CoverAndGainOutputs, APictureThatCannotBeCarriedLeavesItOutAndSaysWhy) {
  const std::string src = dir.path();
  ASSERT_TRUE(testing::MakeToneAndImages(src));
  ASSERT_TRUE(testing::MakeUncarriableCovers(src));
  const std::string out =
      Convert("mp3", "", ShellQuote(src + "/big.mp3") + " " + ShellQuote(src + "/damaged.flac"));
  EXPECT_TRUE(Has(out, "big.mp3 (the cover picture was left out: it is larger than 16 MB)")) << out;
  EXPECT_TRUE(
      Has(out, "damaged.mp3 (the cover picture was left out: its picture block is damaged)"))
      << out;
  EXPECT_FALSE(FfmpegAttachedPicture(dir / "out-mp3/big.mp3"));
  EXPECT_EQ(FfprobeTag(dir / "out-mp3/big.mp3", "album_artist"), "Kept");
}

double Number(const std::string& text) {
  return text.empty() ? NAN : std::stod(text);
}

TEST_F(CoverAndGainOutputs, GainsAgreeWithEbur128ForEachTrackAndTheirAlbum) {
  const std::string album = dir / "album";
  std::filesystem::create_directories(album);
  std::string paths;
  std::string parts;
  for (const int level : {-4, -14, -28}) {
    const std::string wav = album + "/pink" + std::to_string(-level) + ".wav";
    ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + ShellQuote(wav) +
                              " synth 12 pinknoise vol " + std::to_string(level) + "dB"));
    paths += " " + ShellQuote(wav);
    parts += " " + ShellQuote(wav);
  }
  ASSERT_TRUE(CommandOutput("sox" + parts + " " + ShellQuote(dir / "joined.wav")));
  const std::optional<testing::Ebur128Summary> joined = testing::FfmpegEbur128(dir / "joined.wav");
  ASSERT_TRUE(joined);
  const double albumLufs = joined->integrated;

  Convert("flac", "--replaygain album", paths);
  Convert("opus", "--replaygain album", paths);
  Convert("mp3", "--replaygain track", paths);
  // The album's tags went in through copies that replaced the outputs: nothing else is left.
  for (const char* format : {"flac", "opus"}) {
    size_t files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir / ("out-" + std::string(format))))
      files += e.path().filename().string().front() != '.' ? 1 : 100;
    EXPECT_EQ(files, 3u) << format;
  }
  for (const int level : {4, 14, 28}) {
    const std::string name = "pink" + std::to_string(level);
    SCOPED_TRACE(name);
    const std::optional<testing::Ebur128Summary> source =
        testing::FfmpegEbur128(album + "/" + name + ".wav");
    ASSERT_TRUE(source);
    const double lufs = source->integrated;
    const double peakDb = source->peakDb;
    // FLAC holds the very samples measured: REPLAYGAIN_* against -18 LUFS.
    const std::string flac = dir / ("out-flac/" + name + ".flac");
    EXPECT_NEAR(Number(FfprobeTag(flac, "REPLAYGAIN_TRACK_GAIN")), -18 - lufs, 0.1);
    EXPECT_NEAR(Number(FfprobeTag(flac, "REPLAYGAIN_ALBUM_GAIN")), -18 - albumLufs, 0.1);
    EXPECT_NEAR(20 * std::log10(Number(FfprobeTag(flac, "REPLAYGAIN_TRACK_PEAK"))), peakDb, 0.1);
    EXPECT_TRUE(CommandOutput("flac -t -s " + ShellQuote(flac)));
    // Opus: R128 gains in 1/256 dB against -23 LUFS, and no REPLAYGAIN_* at all.
    const std::string opus = dir / ("out-opus/" + name + ".opus");
    EXPECT_NEAR(Number(FfprobeTag(opus, "R128_TRACK_GAIN")) / 256, -23 - lufs, 0.1);
    EXPECT_NEAR(Number(FfprobeTag(opus, "R128_ALBUM_GAIN")) / 256, -23 - albumLufs, 0.1);
    EXPECT_EQ(FfprobeTag(opus, "REPLAYGAIN_TRACK_GAIN"), "");
    // MP3 with track gains only.
    const std::string mp3 = dir / ("out-mp3/" + name + ".mp3");
    EXPECT_NEAR(Number(FfprobeTag(mp3, "REPLAYGAIN_TRACK_GAIN")), -18 - lufs, 0.15);
    EXPECT_EQ(FfprobeTag(mp3, "REPLAYGAIN_ALBUM_GAIN"), "");
  }
}

}  // namespace
}  // namespace sonorell
