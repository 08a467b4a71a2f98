// The batch command's folder walk over a real album folder: the songs convert, and what is
// plainly not audio (the cover, cue sheet, rip log, playlist, notes and macOS resource
// forks) is skipped, counted in one line and listed in the report, without failing the
// batch. A file named on the command line, or one with an audio extension that cannot be
// read, still fails.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CliResult;
using testing::Has;
using testing::MakeWithFfmpeg;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteFileBytes;
constexpr auto& Quote = testing::ShellQuote;

// Each report entry as "name converted skipped status", one a line.
std::optional<std::string> ReportLines(const std::string& report) {
  return testing::CommandOutput(
      "python3 -c " +
      Quote("import json,sys\n"
            "for o in json.load(open(sys.argv[1])):\n"
            "  print(o['source'].rsplit('/',1)[-1], o['converted'], o['skipped'], o['status'])") +
      " " + Quote(report));
}

class FolderWalkSkip : public ::testing::Test {
 protected:
  void SetUp() override {
    SONORELL_REQUIRE_FFMPEG();
    SONORELL_REQUIRE_TOOL("python3");
    for (const char* song : {"01 Intro.mp3", "02 Theme.mp3"}) {
      ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=1 -c:a libmp3lame", album / song));
    }
    ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i testsrc=size=64x64 -frames:v 1", album / "cover.jpg"));
    WriteFileBytes(album / "album.cue",
                   "PERFORMER \"Band\"\nFILE \"album.flac\" WAVE\n  TRACK 01 AUDIO\n"
                   "    INDEX 01 00:00:00\n");
    WriteFileBytes(album / "album.log", "Exact Audio Copy V1.6\n\nUsed drive  : PLEXTOR\n");
    WriteFileBytes(album / "album.m3u", "#EXTM3U\n#EXTINF:1,Intro\n01 Intro.mp3\n");
    WriteFileBytes(album / "notes.txt", "Recorded live.\n");
    // What macOS leaves beside a copied file: an AppleDouble header and its Finder data.
    WriteFileBytes(album / "._01 Intro.mp3",
                   std::string("\x00\x05\x16\x07\x00\x02\x00\x00Mac OS X        ", 24) +
                       std::string(4072, '\0'));
  }

  TempFolder profile, album, out;
};

TEST_F(FolderWalkSkip, AnAlbumFolderConvertsItsSongsAndSkipsTheRest) {
  const std::string report = out / "report.json";
  const CliResult r =
      RunCli(profile, "convert --no-settings --format mp3 --out " + Quote(out / "mp3") +
                          " --report " + Quote(report) + " " + Quote(album.path()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "6 file(s) skipped as not audio\n")) << r.out;
  EXPECT_TRUE(Has(r.out, "2 of 2 file(s) converted")) << r.out;
  EXPECT_FALSE(Has(r.out, "Conversion Failure")) << r.out;
  for (const char* song : {"01 Intro.mp3", "02 Theme.mp3"}) {
    EXPECT_NEAR(testing::FfprobeDecodedSeconds(out / "mp3/" + song).value_or(0), 1.0, 0.1) << song;
  }
  EXPECT_EQ(testing::ListFolder(out / "mp3"), "01 Intro.mp3\n02 Theme.mp3\n");
  EXPECT_EQ(ReportLines(report),
            "01 Intro.mp3 True False 01 Intro.mp3\n"
            "02 Theme.mp3 True False 02 Theme.mp3\n"
            "._01 Intro.mp3 False True Not audio and skipped\n"
            "album.cue False True Not audio and skipped\n"
            "album.log False True Not audio and skipped\n"
            "album.m3u False True Not audio and skipped\n"
            "cover.jpg False True Not audio and skipped\n"
            "notes.txt False True Not audio and skipped\n");
}

TEST_F(FolderWalkSkip, NamedFilesAndUnreadableAudioStillFail) {
  // Named on the command line, the picture is a file the user asked for: it fails.
  const CliResult named =
      RunCli(profile, "convert --no-settings --format mp3 --out " + Quote(out / "named") + " " +
                          Quote(album / "cover.jpg"));
  EXPECT_EQ(named.status, 1) << named.out;
  EXPECT_TRUE(Has(named.out, "cover.jpg -> (none): Conversion Failure")) << named.out;
  EXPECT_FALSE(Has(named.out, "skipped as not audio")) << named.out;

  // Found in the folder, an audio file that cannot be read fails the batch as before.
  WriteFileBytes(album / "03 Damaged.flac", "fLaC but nothing a decoder could use");
  const std::string report = out / "report.json";
  const CliResult walked =
      RunCli(profile, "convert --no-settings --format mp3 --out " + Quote(out / "walked") +
                          " --report " + Quote(report) + " " + Quote(album.path()));
  EXPECT_EQ(walked.status, 1) << walked.out;
  EXPECT_TRUE(Has(walked.out, "03 Damaged.flac -> (none): Conversion Failure")) << walked.out;
  EXPECT_TRUE(Has(walked.out, "6 file(s) skipped as not audio\n")) << walked.out;
  EXPECT_TRUE(Has(walked.out, "2 of 3 file(s) converted")) << walked.out;
  const auto lines = ReportLines(report);
  ASSERT_TRUE(lines);
  EXPECT_TRUE(Has(*lines, "03 Damaged.flac False False Conversion Failure")) << *lines;
}

}  // namespace
}  // namespace sonorell
