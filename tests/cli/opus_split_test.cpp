// A long file to Ogg Opus on two cores, through the batch command: the chunks encoded at
// once join into one stream that ffmpeg decodes like the single-pass encode of the same file
// (as long, and no click at a join: the two differ there no more than two single-pass
// encodes of the same audio in different packet alignment), with the single-pass encode's
// header, pages and granule positions, and opusinfo, ogginfo and ffprobe find it clean.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "tests/engine/encoders/compressed_output.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/join_difference.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/ogg_pages.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CliResult;
using testing::CommandOutput;
using testing::OggPage;
using testing::ReadFileBytes;
using testing::RunCli;
using testing::TempFolder;
using testing::ToolAvailable;
constexpr auto& Quote = testing::ShellQuote;

constexpr int64_t kOpusRate = 48000;
constexpr int64_t kPacketSamples = 960;
constexpr int64_t kJoinSeconds = 20;         // the chunks' length in the writer's input
constexpr int64_t kWindow = kOpusRate / 20;  // ±50 ms around each join

struct SplitCase {
  const char* name;
  int rate;
  int channels;
  int seconds;
  std::string synth;  // sox's effects after "synth SECONDS"
  bool coverAndGain;  // with a cover picture and the track's ReplayGain
};

std::string Convert(const TempFolder& profile, const std::string& args, const std::string& out,
                    const std::string& source) {
  const CliResult r = RunCli(profile, "convert --no-settings --format opus " + args + " --out " +
                                          Quote(out) + " " + Quote(source));
  EXPECT_EQ(r.status, 0) << args << "\n" << r.out;
  return out + "/" + std::filesystem::path(source).stem().string() + ".opus";
}

// Occurrences of text in bytes.
int Count(const std::string& bytes, const std::string& text) {
  int n = 0;
  for (size_t at = bytes.find(text); at != std::string::npos; at = bytes.find(text, at + 1)) ++n;
  return n;
}

TEST(OpusSplit, JoinedStreamPlaysAndReadsLikeASinglePassEncode) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  TempFolder profile, in, pictures;
  // A cover too big for one page: the comment header spans pages. (Not beside the sources,
  // where it would be their folder's cover.)
  const std::string cover = pictures / "cover.png";
  ASSERT_TRUE(testing::MakeImage(cover, 2400, 1800));
  const std::vector<SplitCase> cases{
      {"stereo", 44100, 2, 100, "pinknoise synth 100 sine mix 440 vol 0.5", true},
      {"mono", 48000, 1, 90, "pinknoise synth 90 sine mix 300-2000 vol 0.5", false},
  };
  for (const SplitCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string args =
        c.coverAndGain ? "--replaygain track --cover " + Quote(cover) + " " : std::string();
    const std::string source = in / (std::string(c.name) + ".wav");
    // The same audio 10 ms later, for encodes in another packet alignment.
    const std::string later = in / (std::string(c.name) + "-later.wav");
    ASSERT_TRUE(CommandOutput("sox -n -r " + std::to_string(c.rate) + " -c " +
                              std::to_string(c.channels) + " -b 16 " + Quote(source) + " synth " +
                              std::to_string(c.seconds) + " " + c.synth));
    ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -y -i " + Quote(source) +
                              " -metadata title=" + Quote("Long Take") + " -c copy " +
                              Quote(in / "tagged.wav") + " && mv " + Quote(in / "tagged.wav") +
                              " " + Quote(source)));
    ASSERT_TRUE(CommandOutput("sox " + Quote(source) + " " + Quote(later) + " trim " +
                              std::to_string(c.rate / 100) + "s"));
    TempFolder singleOut, splitOut, laterOut;
    const std::string single = Convert(profile, args + "--jobs 1", singleOut.path(), source);
    const std::string split = Convert(profile, args + "--jobs 2", splitOut.path(), source);
    const std::string laterSingle = Convert(profile, args + "--jobs 1", laterOut.path(), later);
    const std::string splitBytes = ReadFileBytes(split);
    const std::string singleBytes = ReadFileBytes(single);
    // At each join the later chunk's first packet stands alone, unlike the single-pass one.
    ASSERT_NE(splitBytes, singleBytes) << "the file was not encoded in chunks";

    // As long as the single-pass encode, sample for sample.
    const int64_t frames = c.seconds * kOpusRate;
    const auto splitPcm = testing::FfmpegDecode16(split);
    const auto singlePcm = testing::FfmpegDecode16(single);
    const auto laterPcm = testing::FfmpegDecode16(laterSingle);
    ASSERT_TRUE(splitPcm && singlePcm && laterPcm);
    EXPECT_EQ(static_cast<int64_t>(splitPcm->size()), frames * c.channels);
    EXPECT_EQ(splitPcm->size(), singlePcm->size());

    // No click: at every join the split decode differs from the single-pass one no more than
    // two single-pass encodes of the same audio do (their first and last second left out).
    const testing::JoinDifferences joins =
        testing::MeasureJoins(*splitPcm, *singlePcm, c.channels, kJoinSeconds * kOpusRate, kWindow);
    const int alignments = testing::LargestDifference(*laterPcm, *singlePcm, c.channels, kOpusRate,
                                                      frames - 2 * kOpusRate, kOpusRate / 100);
    std::cout << c.name << ": largest difference at " << joins.joins << " joins (±50 ms) "
              << joins.atJoins << ", elsewhere " << joins.elsewhere
              << "; two single-pass encodes 10 ms apart " << alignments << "\n";
    EXPECT_EQ(joins.joins, (c.seconds - 1) / kJoinSeconds);
    EXPECT_LE(joins.atJoins, alignments);
    EXPECT_GT(alignments, 0);

    // The single-pass encode's header pages, byte for byte (serial, pre-skip, the comments
    // once, the room after them), and its pages: at these bit rates each ends after a second
    // of audio as the single-pass encode's does, its granule position the samples decoded
    // through its last packet, the last one's trimmed to the end of the audio.
    const std::vector<OggPage> pages = testing::ReadOggPages(splitBytes);
    const std::vector<OggPage> singlePages = testing::ReadOggPages(singleBytes);
    ASSERT_GT(pages.size(), 3u);
    ASSERT_EQ(pages.size(), singlePages.size());
    size_t audio = 0;  // the first audio page (header pages end at 0 or, continued, at -1)
    while (audio < pages.size() && pages[audio].granule <= 0) ++audio;
    ASSERT_GE(audio, c.coverAndGain ? 3u : 2u) << "OpusHead, then OpusTags";
    EXPECT_EQ(splitBytes.substr(0, pages[audio].offset),
              singleBytes.substr(0, singlePages[audio].offset));
    const std::string header = splitBytes.substr(0, pages[audio].offset);
    EXPECT_EQ(Count(header, "TITLE=Long Take"), 1);
    EXPECT_EQ(Count(header, "METADATA_BLOCK_PICTURE="), c.coverAndGain ? 1 : 0);
    EXPECT_EQ(Count(header, "R128_TRACK_GAIN="), c.coverAndGain ? 1 : 0);
    const size_t headAt = pages[0].offset + 27 + pages[0].lacing.size();
    const int preSkip = static_cast<uint8_t>(splitBytes[headAt + 10]) |
                        (static_cast<uint8_t>(splitBytes[headAt + 11]) << 8);
    int64_t packets = 0;
    for (size_t i = audio; i < pages.size(); ++i) {
      SCOPED_TRACE("page " + std::to_string(i));
      EXPECT_EQ(pages[i].sequence, i);
      EXPECT_EQ(pages[i].serial, pages[0].serial);
      EXPECT_EQ(pages[i].Packets(), singlePages[i].Packets());
      EXPECT_EQ(pages[i].granule, singlePages[i].granule);
      packets += pages[i].Packets();
      const bool last = i + 1 == pages.size();
      EXPECT_EQ(pages[i].flags, last ? 4 : 0);
      EXPECT_EQ(pages[i].granule, last ? preSkip + frames : packets * kPacketSamples);
    }

    // Other programs find the stream well formed.
    testing::StreamProbe probe = testing::FfprobeStream(split);
    EXPECT_EQ(probe.codec, "opus");
    EXPECT_EQ(probe.channels, c.channels);
    EXPECT_EQ(probe.tags["TITLE"], "Long Take");
    if (ToolAvailable("opusinfo")) {
      const auto info = testing::CleanOpusinfo(split);
      EXPECT_TRUE(info) << CommandOutput("opusinfo " + Quote(split) + " 2>&1").value_or("");
    }
    if (ToolAvailable("ogginfo")) {
      EXPECT_EQ(testing::OgginfoProblems(split), "");
    }
  }
}

}  // namespace
}  // namespace sonorell
