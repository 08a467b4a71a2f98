// A long file to raw AAC or M4A encoded on several cores, through the batch command, against
// the single-pass encode of the same file: ffmpeg decodes both to the same samples count, the
// two decodes differ no more around the joins than anywhere else (a click at a join would
// stand out), ffprobe and ffmpeg's decoder find nothing wrong, and the M4A file plays as long
// and carries its tags, cover and gains once, as the single pass does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/encoders/aac/aac_frame_encoder.h"
#include "engine/encoders/aac/aac_frame_window.h"
#include "engine/encoders/split/split_grid.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/join_difference.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::RunCli;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

// Samples per channel of one AAC frame: the chunks' grid, and the raw stream's start-up
// delay that its decode keeps (an MP4 file's edit list skips it).
constexpr long kAacFrame = 1024;

// What the tools print on standard error for the file: ffprobe reading it, ffmpeg decoding
// every frame. Empty for a clean file.
std::string ToolErrors(const std::string& path) {
  return CommandOutput("(ffprobe -v error " + Quote(path) + " 2>&1 >/dev/null; ffmpeg -nostdin " +
                       "-v error -i " + Quote(path) + " -f null - 2>&1 >/dev/null)")
      .value_or("(the tools did not run)");
}

// ffprobe's "duration" and "nb_frames" of the audio stream.
std::string StreamLength(const std::string& path) {
  return CommandOutput(
             "ffprobe -v error -select_streams a:0 -show_entries "
             "stream=duration,nb_frames -of compact=p=0 " +
             Quote(path))
      .value_or("");
}

// Each packet's time and duration as ffprobe reads the sample table: the single pass's and
// the split file's agree when the table describes the joined stream as one encoder's.
std::string PacketTimes(const std::string& path) {
  return CommandOutput(
             "ffprobe -v error -select_streams a:0 -show_entries packet=pts,duration "
             "-of csv=p=0 " +
             Quote(path))
      .value_or("");
}

size_t Occurrences(const std::string& bytes, const std::string& part) {
  size_t count = 0;
  for (size_t at = bytes.find(part); at != std::string::npos; at = bytes.find(part, at + 1)) {
    ++count;
  }
  return count;
}

struct Encoded {
  std::string single;
  std::string split;
};

// The source converted once with one file at once (single-pass) and once with two cores for
// it (split), each into a folder of its own.
Encoded ConvertBothWays(const TempFolder& profile, const std::string& out,
                        const std::string& format, const std::string& options,
                        const std::string& source, const std::string& name) {
  const auto convert = [&](const std::string& jobs, const std::string& folder) {
    const testing::CliResult r =
        RunCli(profile, "convert --no-settings --format " + format + " " + options + " --jobs " +
                            jobs + " --out " + Quote(out + "/" + folder) + " " + Quote(source));
    EXPECT_EQ(r.status, 0) << r.out;
    return out + "/" + folder + "/" + name;
  };
  return Encoded{convert("1", "single"), convert("2", "split")};
}

// Decodes both with ffmpeg and checks the samples and the joins. The chunks meet at whole
// multiples of the split writer's chunk (20 s rounded up to whole AAC frames) of the source's
// sourceFrames; delay is where the source's first frame lies in the decodes.
void ExpectSeamless(const Encoded& e, int channels, int rate, long delay, long sourceFrames) {
  EXPECT_EQ(ToolErrors(e.single), "");
  EXPECT_EQ(ToolErrors(e.split), "");
  EXPECT_NE(testing::ReadFileBytes(e.single), testing::ReadFileBytes(e.split))
      << "the file was not encoded in chunks";
  const auto single = testing::FfmpegDecode16(e.single);
  const auto split = testing::FfmpegDecode16(e.split);
  ASSERT_TRUE(single && split);
  EXPECT_EQ(split->size(), single->size()) << "samples of the split and the single-pass decodes";
  EXPECT_GE(static_cast<long>(single->size()) / channels, sourceFrames);
  const int64_t chunk =
      MakeSplitGrid(SplitStep(rate, rate, kAacFrame), rate, kSplitChunkSeconds, 0, 0).chunkFrames;
  const testing::JoinDifferences d =
      testing::MeasureJoins(*split, *single, channels, chunk, rate / 20, delay);
  std::printf("%s: largest difference from the single pass at the %d joins %d, elsewhere %d\n",
              e.split.c_str(), d.joins, d.atJoins, d.elsewhere);
  EXPECT_GE(d.joins, 2);
  EXPECT_LE(d.atJoins, d.elsewhere * 3 / 2)
      << "a join stands out: " << d.atJoins << " against " << d.elsewhere << " elsewhere";
}

TEST(AacSplit, RawAacAndM4aJoinSeamlesslyWithTheirTagsOnce) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  TempFolder profile, in, out;
  // 100 s of pink noise with a tone over it, and tags the outputs carry.
  const std::string noise = in / "noise.wav";
  const std::string source = in / "long.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + Quote(noise) +
                            " synth 100 pinknoise synth 100 sine mix 440 vol 0.5"));
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -y -i " + Quote(noise) +
                            " -metadata title=Joined -metadata artist=Chunks " + Quote(source)));
  const std::string cover = in / "cover.png";
  ASSERT_FALSE(testing::MakeTestPicture(cover).empty());
  const long frames = 100 * 44100;

  {
    SCOPED_TRACE("raw AAC, 128 kbit/s average");
    const Encoded aac =
        ConvertBothWays(profile, out / "aac", "aac", "--bitrate 128", source, "long.aac");
    ExpectSeamless(aac, 2, 44100, kAacFrame, frames);
  }
  {
    SCOPED_TRACE("M4A in quality mode, cover and track gain");
    const Encoded m4a =
        ConvertBothWays(profile, out / "m4a", "m4a",
                        "--cover " + Quote(cover) + " --replaygain track", source, "long.m4a");
    ExpectSeamless(m4a, 2, 44100, 0, frames);
    const std::string length = StreamLength(m4a.single);
    EXPECT_NE(length.find("duration=100.000000"), std::string::npos) << length;
    EXPECT_EQ(StreamLength(m4a.split), length);
    const std::string packets = PacketTimes(m4a.single);
    EXPECT_FALSE(packets.empty());
    EXPECT_TRUE(PacketTimes(m4a.split) == packets) << "the sample tables differ";
    for (const std::string& path : {m4a.single, m4a.split}) {
      SCOPED_TRACE(path);
      const std::string bytes = testing::ReadFileBytes(path);
      EXPECT_EQ(Occurrences(bytes, "\xA9nam"), 1u);
      EXPECT_EQ(Occurrences(bytes, "covr"), 1u);
      EXPECT_EQ(Occurrences(bytes, "replaygain_track_gain"), 1u);
      EXPECT_EQ(testing::FfprobeFormatTag(path, "title"), "Joined");
      EXPECT_EQ(testing::FfprobeFormatTag(path, "artist"), "Chunks");
    }
    EXPECT_EQ(testing::FfprobeFormatTag(m4a.split, "replaygain_track_gain"),
              testing::FfprobeFormatTag(m4a.single, "replaygain_track_gain"));
    EXPECT_EQ(testing::FfmpegAttachedPicture(m4a.split), testing::ReadFileBytes(cover));
  }
}

// Mono at 22.05 kHz: another rate, so the chunks and joins fall elsewhere in time.
TEST(AacSplit, MonoAtAnotherRateJoinsSeamlessly) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  TempFolder profile, in, out;
  const std::string source = in / "mono.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 22050 -c 1 -b 16 " + Quote(source) +
                            " synth 70.3 pinknoise synth 70.3 sine mix 300 vol 0.5"));
  const Encoded m4b =
      ConvertBothWays(profile, out.path(), "m4b", "--bitrate 48", source, "mono.m4b");
  ExpectSeamless(m4b, 1, 22050, 0, testing::SoxFrames(source));
  EXPECT_EQ(StreamLength(m4b.split), StreamLength(m4b.single));
  const std::string packets = PacketTimes(m4b.single);
  EXPECT_FALSE(packets.empty());
  EXPECT_TRUE(PacketTimes(m4b.split) == packets) << "the sample tables differ";
}

// The windows the joins compare, read from the encoder's own frames: every frame of a
// stream with sharp attacks states one, bare or behind its ADTS header (the encoder's fill
// elements skipped), mono and stereo; each window follows on from the one before as AAC
// requires, and the attacks bring short windows.
TEST(AacSplit, EveryFrameStatesAWindowThatFollowsOn) {
  enum { kLong, kLongStart, kEightShort, kLongStop };
  for (const int channels : {1, 2}) {
    SCOPED_TRACE(channels);
    // Noise that jumps from quiet to loud and back every 0.37 s.
    const int frames = 44100 * 4;
    std::vector<int16_t> left(frames);
    std::vector<int16_t> right(frames);
    uint32_t seed = 1;
    for (int i = 0; i < frames; ++i) {
      const int level = (i / 16384) % 2 == 0 ? 200 : 20000;
      seed = seed * 1664525u + 1013904223u;
      left[i] = static_cast<int16_t>(static_cast<int>(seed >> 16) % (2 * level + 1) - level);
      right[i] = static_cast<int16_t>(-left[i] / 2);
    }
    std::vector<std::vector<int>> sequences;
    for (const bool adts : {false, true}) {
      std::vector<std::vector<uint8_t>> encoded;
      AacFrameEncoder encoder;
      ASSERT_TRUE(encoder.Open(44100, channels, adts));
      ASSERT_TRUE(encoder.Start([&](const uint8_t* bytes, int size) {
        encoded.emplace_back(bytes, bytes + size);
        return true;
      }));
      ASSERT_TRUE(encoder.Write16(left.data(), right.data(), frames));
      ASSERT_TRUE(encoder.Flush());
      std::vector<int>& sequence = sequences.emplace_back();
      for (const std::vector<uint8_t>& frame : encoded) {
        const std::optional<AacFrameWindow> window = FrameWindow(frame.data(), frame.size(), adts);
        ASSERT_TRUE(window) << "frame " << sequence.size();
        EXPECT_EQ(window->element, channels - 1);
        EXPECT_EQ(window->tag, 0);
        if (channels == 1) {
          EXPECT_TRUE(window->Complete());
        }
        if (!sequence.empty()) {
          const bool shortBefore = sequence.back() == kLongStart || sequence.back() == kEightShort;
          const bool shortNow = window->sequence == kEightShort || window->sequence == kLongStop;
          EXPECT_EQ(shortBefore, shortNow) << "frame " << sequence.size() << ": "
                                           << window->sequence << " after " << sequence.back();
        }
        sequence.push_back(window->sequence);
      }
      EXPECT_GT(std::count(sequence.begin(), sequence.end(), kEightShort), 0);
      EXPECT_GT(std::count(sequence.begin(), sequence.end(), kLong), 0);
    }
    EXPECT_EQ(sequences.front(), sequences.back()) << "the windows read bare and behind ADTS";
  }
}

}  // namespace
}  // namespace sonorell
