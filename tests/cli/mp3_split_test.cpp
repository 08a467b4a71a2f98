// A long file to MP3 on two cores against the same file on one, through the batch command:
// the joined stream decodes (with ffmpeg) to as many samples as the single-pass one, differs
// from it at the joins no more than elsewhere (a click would stand out), is clean for
// ffprobe, ffmpeg's decoder and mp3val, and carries its tags once, around the whole stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "engine/encoders/split/split_grid.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/join_difference.h"
#include "tests/support/sweep_share.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::RunCli;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

struct SplitCase {
  const char* name;
  std::string source;   // file name in the input folder
  std::string make;     // the shell command that makes it ({} stands for its path)
  std::string options;  // of the conversion
  int sourceRate;       // the writer's input: LAME resamples to the output rate itself
  int outRate;
  int channels;       // of the output
  int frameSamples;   // 1152 for MPEG-1 rates, 576 below 32 kHz
  std::string title;  // expected once in the tags, when the source carries one
  // Too few bytes a granule for a join within the padding bytes: encoded in one pass.
  bool staysSinglePass = false;
};

// The command with {} replaced by the quoted path ("-" stays as it is: a pipe).
std::string Replace(std::string text, const std::string& path) {
  const size_t at = text.find("{}");
  return text.replace(at, 2, path == "-" ? path : Quote(path));
}

int Occurrences(const std::string& bytes, const std::string& part) {
  int n = 0;
  for (size_t at = bytes.find(part); at != std::string::npos; at = bytes.find(part, at + 1)) ++n;
  return n;
}

// The largest difference between the two decodes (any channel) within the joins' windows
// and outside them. The cut falls on one of a chunk's first five frames: the window runs
// from 50 ms before the chunk's start to 50 ms after its fifth frame.
testing::JoinDifferences Differences(const std::vector<int16_t>& a, const std::vector<int16_t>& b,
                                     const SplitCase& c) {
  const SplitGrid grid = MakeSplitGrid(SplitStep(c.sourceRate, c.outRate, c.frameSamples),
                                       c.sourceRate, kSplitChunkSeconds, 0.0, 0.0);
  const int64_t every = grid.chunkFrames * c.outRate / c.sourceRate;  // whole by the grid
  const int64_t half = c.outRate / 20 + 5 * c.frameSamples / 2;
  return testing::MeasureJoins(b, a, c.channels, every, half, 5 * c.frameSamples / 2);
}

TEST(Mp3Split, TwoCoresDecodeLikeOneWithoutClicksAndTagsOnce) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  const bool mp3val = testing::ToolAvailable("mp3val");
  if (!mp3val) std::cout << "mp3val is not installed: its check is left out\n";
  TempFolder profile, in, one, two;
  // Pink noise and a tone: dense material, where the reservoir is busiest. The same noise
  // on every run (-R).
  const auto synth = [](int rate, int channels, int seconds) {
    const std::string s = std::to_string(seconds);
    return "sox -V1 -R -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
           " -b 16 -t wav {} synth " + s + " pinknoise synth " + s + " sine mix 440 vol 0.5";
  };
  const std::vector<SplitCase> cases = {
      {"44.1 kHz stereo at 128 kbit/s", "stereo.wav", synth(44100, 2, 100),
       "--bitrate 128 --rate 44100", 44100, 44100, 2, 1152, ""},
      // LAME resamples: the chunks lie on a grid of whole frames at both rates.
      {"48 kHz stereo to 44.1 kHz", "stereo48.wav", synth(48000, 2, 65),
       "--bitrate 128 --rate 44100", 48000, 44100, 2, 1152, ""},
      // MPEG-2: frames half as long, a reservoir half as large.
      {"mono to 22.05 kHz", "mono.wav", synth(44100, 1, 65), "--mono --rate 22050 --bitrate 32",
       44100, 22050, 1, 576, ""},
      // An MP3 source's ID3v2 and ID3v1 tags are carried over, and the gain tags go into the
      // ID3v2 tag once the joined file is complete.
      {"tagged MP3 source with ReplayGain", "tagged.mp3",
       Replace(synth(44100, 2, 65), "-") +
           " | ffmpeg -nostdin -v error -i - -c:a libmp3lame -b:a 192k -id3v2_version 3 "
           "-write_id3v1 1 -metadata 'title=Split Title' {}",
       "--bitrate 128 --replaygain track", 44100, 44100, 2, 1152, "Split Title"},
      // 64 kbit/s stereo at 44.1 kHz: a fresh encoder's reservoir falls too far short of a
      // running one's for a join at a constant bit rate, so the file is encoded in one pass.
      {"44.1 kHz stereo at 64 kbit/s", "low.wav", synth(44100, 2, 65), "--bitrate 64 --rate 44100",
       44100, 44100, 2, 1152, "", true},
  };
  testing::SweepShare share;
  for (const SplitCase& c : cases) {
    if (!share.Take()) continue;
    SCOPED_TRACE(c.name);
    const std::string source = in / c.source;
    ASSERT_TRUE(CommandOutput(Replace(c.make, source))) << c.make;
    for (const TempFolder* out : {&one, &two}) {
      const std::string jobs = out == &one ? "1" : "2";
      const testing::CliResult r =
          RunCli(profile, "convert --format mp3 --no-settings --jobs " + jobs + " " + c.options +
                              " --out " + Quote(out->path()) + " " + Quote(source));
      ASSERT_EQ(r.status, 0) << r.out;
    }
    const std::string name = c.source.substr(0, c.source.rfind('.')) + ".mp3";
    const std::string single = one / name;
    const std::string split = two / name;
    const std::string singleBytes = testing::ReadFileBytes(single);
    const std::string splitBytes = testing::ReadFileBytes(split);
    if (c.staysSinglePass) {
      EXPECT_EQ(singleBytes, splitBytes) << "split where a join needs another bit rate";
      continue;
    }
    ASSERT_NE(singleBytes, splitBytes) << "two cores made the single-pass file: not split";

    const auto a = testing::FfmpegDecode16(single);
    const auto b = testing::FfmpegDecode16(split);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a->size(), b->size()) << "decoded samples differ";
    const testing::JoinDifferences d = Differences(*a, *b, c);
    std::cout << "[ " << c.name << " ] largest difference at the joins " << d.atJoins
              << ", elsewhere " << d.elsewhere << "\n";
    EXPECT_GT(d.elsewhere, 0);
    EXPECT_LE(d.atJoins, d.elsewhere * 3 / 2);

    // Their complaints, on standard error, are read with the rest.
    EXPECT_EQ(CommandOutput("{ ffprobe -v error -show_entries stream=codec_name,sample_rate "
                            "-of default=nw=1 " +
                            Quote(split) + "; } 2>&1"),
              "codec_name=mp3\nsample_rate=" + std::to_string(c.outRate) + "\n");
    EXPECT_EQ(CommandOutput("{ ffmpeg -nostdin -v error -i " + Quote(split) + " -f null -; } 2>&1"),
              "");
    if (mp3val) {
      EXPECT_EQ(testing::Mp3valProblems(split), "");
    }

    const testing::StreamProbe singleTags = testing::FfprobeStream(single);
    const testing::StreamProbe splitTags = testing::FfprobeStream(split);
    EXPECT_EQ(splitTags.tags, singleTags.tags);
    if (!c.title.empty()) {
      ASSERT_TRUE(splitTags.tags.contains("TITLE"));
      EXPECT_EQ(splitTags.tags.at("TITLE"), c.title);
      EXPECT_TRUE(splitTags.tags.contains("REPLAYGAIN_TRACK_GAIN"));
      // One ID3v2 tag at the start, one ID3v1 tag at the end, as in the single-pass file.
      EXPECT_EQ(splitBytes.substr(0, 3), "ID3");
      EXPECT_EQ(Occurrences(splitBytes, std::string("ID3\x03\x00", 5)), 1);
      ASSERT_GT(splitBytes.size(), 128u);
      EXPECT_EQ(splitBytes.substr(splitBytes.size() - 128, 3 + c.title.size()), "TAG" + c.title);
      EXPECT_EQ(Occurrences(splitBytes, "TAG" + c.title), 1);
    }
  }
}

}  // namespace
}  // namespace sonorell
