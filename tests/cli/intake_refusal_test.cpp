// Intake takes a file only when a decoder gives sound from it. What FFmpeg merely
// recognises (text it calls a text-art video, pictures, videos without sound) or does not
// recognise at all is refused when it is added, instead of being listed and never
// converting; a video with a sound track is taken and converts.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CliResult;
using testing::MakeWithFfmpeg;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteFileBytes;
constexpr auto& Quote = testing::ShellQuote;

std::string RandomBytes(size_t size, unsigned seed) {
  std::mt19937 rng(seed);
  std::string bytes(size, '\0');
  for (char& c : bytes) c = static_cast<char>(rng());
  return bytes;
}

// Text with terminal colour codes, long enough for FFmpeg's text-art demuxer to claim it.
std::string TextArt() {
  std::string text;
  for (int i = 0; i < 40; ++i)
    text += "\x1b[1;3" + std::to_string(i % 8) + "m== line " + std::to_string(i) +
            " of the release notes ==\r\n";
  return text;
}

TEST(IntakeRefusal, OnlyFilesADecoderGivesSoundFromAreTaken) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_TOOL("python3");
  TempFolder profile, in, out;
  WriteFileBytes(in / "noise.xyz", RandomBytes(300'000, 1));
  WriteFileBytes(in / "noise.dat", RandomBytes(300'000, 2));
  WriteFileBytes(in / "notes.nfo", TextArt());
  ASSERT_EQ(testing::Ffprobe(in / "notes.nfo", "format=format_name"), "tty")
      << "FFmpeg no longer takes the text for a video; the case is not made";
  const std::string video = "-f lavfi -i testsrc=size=64x48:rate=10:duration=2 -c:v mpeg4";
  const std::string sound = " -f lavfi -i sine=d=2:sample_rate=32000 -shortest";
  ASSERT_TRUE(MakeWithFfmpeg(video, in / "silent.mp4"));
  ASSERT_TRUE(MakeWithFfmpeg(video, in / "silent.mkv"));
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i testsrc=size=64x48 -frames:v 1", in / "cover.jpg"));
  ASSERT_TRUE(MakeWithFfmpeg(video + sound + " -c:a aac", in / "film-aac.mp4"));
  ASSERT_TRUE(MakeWithFfmpeg(video + sound + " -c:a libvorbis", in / "film-vorbis.mkv"));
  // Playlists that name other files are not followed: opening a file never reads another.
  TempFolder elsewhere;
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=2", elsewhere / "segment.wav"));
  WriteFileBytes(in / "list.m3u8", "#EXTM3U\n#EXT-X-TARGETDURATION:2\n#EXTINF:2,\n" +
                                       elsewhere / "segment.wav" + "\n#EXT-X-ENDLIST\n");
  WriteFileBytes(in / "joined.ffconcat",
                 "ffconcat version 1.0\nfile '" + elsewhere / "segment.wav" + "'\n");

  const std::string json = out / "probe.json";
  const CliResult probe = RunCli(profile, "probe --json " + Quote(in.path()) + " > " + Quote(json));
  EXPECT_EQ(probe.status, 1) << probe.out;
  const auto readable = testing::CommandOutput(
      "python3 -c " +
      Quote("import json,sys\n"
            "for o in json.load(open(sys.argv[1])):\n"
            "  print(o['file'].rsplit('/',1)[-1], o['readable'], o.get('frequency'))") +
      " " + Quote(json));
  ASSERT_TRUE(readable) << probe.out;
  EXPECT_EQ(*readable,
            "cover.jpg False None\n"
            "film-aac.mp4 True 32000\n"
            "film-vorbis.mkv True 32000\n"
            "joined.ffconcat False None\n"
            "list.m3u8 False None\n"
            "noise.dat False None\n"
            "noise.xyz False None\n"
            "notes.nfo False None\n"
            "silent.mkv False None\n"
            "silent.mp4 False None\n");

  // The videos with sound convert to their full length.
  const CliResult films =
      RunCli(profile, "convert --no-settings --format mp3 --out " + Quote(out / "mp3") + " " +
                          Quote(in / "film-aac.mp4") + " " + Quote(in / "film-vorbis.mkv"));
  EXPECT_EQ(films.status, 0) << films.out;
  for (const char* name : {"film-aac.mp3", "film-vorbis.mp3"}) {
    const std::string path = out / "mp3" + "/" + name;
    EXPECT_NEAR(testing::FfprobeDecodedSeconds(path).value_or(0), 2.0, 0.1) << path;
  }
}

}  // namespace
}  // namespace sonorell
