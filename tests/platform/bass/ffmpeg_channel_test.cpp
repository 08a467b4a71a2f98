#include "platform/bass/ffmpeg_channel.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform::bass {
namespace {

using sonorell::testing::FfmpegRaw;
using sonorell::testing::FfprobeNumber;
using sonorell::testing::MakeWithFfmpeg;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::SamplePath;
using sonorell::testing::TempFolder;
using sonorell::testing::WriteFileBytes;

// Everything a channel delivers, pulled in requests of the size BASS callers use.
std::string PullAll(Channel& channel, size_t request = 4608) {
  std::string all;
  std::vector<uint8_t> buffer(request);
  for (int guard = 0; guard < 10'000'000; ++guard) {
    const int64_t got = channel.GetData(buffer.data(), buffer.size());
    if (got < 0) break;
    EXPECT_EQ(got % (channel.Channels() * (channel.EightBit() ? 1 : 2)), 0) << "part of a frame";
    all.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(got));
  }
  return all;
}

double Seconds(uint64_t bytes, const Channel& channel) {
  return static_cast<double>(bytes) /
         (static_cast<double>(channel.Rate()) * channel.Channels() * (channel.EightBit() ? 1 : 2));
}

// The channel's PCM is ffmpeg's own 16-bit decoding, byte for byte (float decoders are
// rounded the same way), and its length is right to within 30 ms of what is decoded.
void ExpectLikeFfmpeg(const std::string& path) {
  const std::unique_ptr<Channel> channel = OpenFfmpegChannel(path);
  ASSERT_TRUE(channel);
  EXPECT_EQ(channel->Rate(),
            static_cast<uint32_t>(FfprobeNumber(path, "stream=sample_rate", "a:0").value_or(0)));
  EXPECT_EQ(channel->Channels(),
            static_cast<uint32_t>(FfprobeNumber(path, "stream=channels", "a:0").value_or(0)));
  EXPECT_FALSE(channel->EightBit());
  EXPECT_EQ(channel->PositionBytes(), 0u);
  const auto reference = FfmpegRaw(path, "s16le");
  ASSERT_TRUE(reference);
  const std::string pcm = PullAll(*channel);
  EXPECT_EQ(pcm.size(), reference->size());
  EXPECT_TRUE(pcm == *reference) << "PCM differs from ffmpeg's";
  EXPECT_EQ(channel->PositionBytes(), pcm.size());
  EXPECT_NEAR(Seconds(channel->LengthBytes(), *channel), Seconds(pcm.size(), *channel), 0.030);
  EXPECT_EQ(channel->FileEnd(), static_cast<int64_t>(std::filesystem::file_size(path)));
  EXPECT_LT(channel->GetData(std::vector<uint8_t>(64).data(), 64), 0);  // the end stays
}

TEST(FfmpegChannel, SamplesDecodeLikeFfmpeg) {
  SONORELL_REQUIRE_FFMPEG();
  for (const char* name : {"chord.mp3", "chord.flac", "chord.wv", "chord.m4a"}) {
    SCOPED_TRACE(name);
    if (!std::filesystem::exists(SamplePath(name))) continue;
    ExpectLikeFfmpeg(SamplePath(name));
  }
}

// Formats whose containers store no length, or that the samples do not cover.
TEST(FfmpegChannel, GeneratedFormatsDecodeLikeFfmpeg) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const struct {
    const char* name;
    const char* make;
  } cases[] = {
      {"raw.aac", "-f lavfi -i sine=d=4 -ac 2 -c:a aac -f adts"},
      {"vbr-no-header.mp3",
       "-f lavfi -i anoisesrc=d=4:a=0.2 -ac 2 -c:a libmp3lame -q:a 2 -write_xing 0"},
      {"mono.mp3", "-f lavfi -i sine=d=4 -c:a libmp3lame -b:a 64k"},
      {"clip.adx", "-f lavfi -i sine=d=4 -ac 2 -c:a adpcm_adx"},
      {"clip.tta", "-f lavfi -i sine=d=4 -ac 2 -c:a tta"},
      {"clip.mp2", "-f lavfi -i sine=d=4 -ac 2 -c:a mp2"},
      {"clip.m4b", "-f lavfi -i sine=d=4 -ac 2 -c:a aac -f ipod"},
      {"hi-res.flac", "-f lavfi -i sine=d=4:sample_rate=96000 -ac 2 -sample_fmt s32 -c:a flac"},
      {"six.wv", "-f lavfi -i sine=d=2 -ac 6 -c:a wavpack"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    ASSERT_TRUE(MakeWithFfmpeg(c.make, path));
    ExpectLikeFfmpeg(path);
  }
}

TEST(FfmpegChannel, MusepackDecodesLikeFfmpeg) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_TOOL("mpcenc");
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  TempFolder dir;
  const std::string path = dir / "chord.mpc";
  ASSERT_TRUE(sonorell::testing::CommandOutput(
      "mpcenc --silent " + sonorell::testing::ShellQuote(SamplePath("chord-16bit.wav")) + " " +
      sonorell::testing::ShellQuote(path)));
  ExpectLikeFfmpeg(path);
}

TEST(FfmpegChannel, EightBitStreamsStayEightBit) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "u8.wav";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=1 -ac 2 -c:a pcm_u8", path));
  const auto channel = OpenFfmpegChannel(path);
  ASSERT_TRUE(channel);
  EXPECT_TRUE(channel->EightBit());
  const std::string pcm = PullAll(*channel);
  EXPECT_EQ(pcm.size(), 88200u);
  EXPECT_EQ(channel->LengthBytes(), 88200u);
  const auto reference = FfmpegRaw(path, "u8");
  ASSERT_TRUE(reference);
  EXPECT_TRUE(pcm == *reference);
}

TEST(FfmpegChannel, DeliversWholeFramesOnly) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const auto channel = OpenFfmpegChannel(SamplePath("chord.flac"));
  ASSERT_TRUE(channel);
  std::vector<uint8_t> buffer(64);
  EXPECT_EQ(channel->GetData(buffer.data(), 3), 0);  // less than one frame
  EXPECT_EQ(channel->GetData(buffer.data(), 7), 4);
  EXPECT_EQ(channel->GetData(buffer.data(), 64), 64);
  EXPECT_EQ(channel->PositionBytes(), 68u);
  EXPECT_LT(channel->GetData(nullptr, 64), 0);
}

// BASS callers read four bytes at the audio start to learn the MPEG channel mode.
TEST(FfmpegChannel, Mp3AudioStartsAtItsFirstFrameHeader) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string path = SamplePath("chord.mp3");
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.substr(0, 3), "ID3");
  const size_t tagEnd =
      10 + ((static_cast<size_t>(bytes[6]) & 0x7F) << 21 |
            (static_cast<size_t>(bytes[7]) & 0x7F) << 14 |
            (static_cast<size_t>(bytes[8]) & 0x7F) << 7 | (static_cast<size_t>(bytes[9]) & 0x7F));
  const auto channel = OpenFfmpegChannel(path);
  ASSERT_TRUE(channel);
  EXPECT_EQ(channel->FileStart(), static_cast<int64_t>(tagEnd));
  EXPECT_EQ(static_cast<uint8_t>(bytes[tagEnd]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(bytes[tagEnd + 1]) & 0xE0, 0xE0);

  // Without a tag the first frame is the first byte.
  TempFolder dir;
  const std::string bare = dir / "bare.mp3";
  ASSERT_TRUE(
      MakeWithFfmpeg("-f lavfi -i sine=d=1 -c:a libmp3lame -id3v2_version 0 "
                     "-map_metadata -1 -fflags +bitexact",
                     bare));
  const auto bareChannel = OpenFfmpegChannel(bare);
  ASSERT_TRUE(bareChannel);
  EXPECT_EQ(bareChannel->FileStart(), 0);
}

TEST(FfmpegChannel, FlacAudioStartsAfterItsMetadata) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const auto channel = OpenFfmpegChannel(SamplePath("chord.flac"));
  ASSERT_TRUE(channel);
  const std::string bytes = ReadFileBytes(SamplePath("chord.flac"));
  ASSERT_GT(channel->FileStart(), 4);
  // A FLAC frame starts with the sync code 0xFFF8 (or 0xFFF9).
  EXPECT_EQ(static_cast<uint8_t>(bytes[static_cast<size_t>(channel->FileStart())]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(bytes[static_cast<size_t>(channel->FileStart()) + 1]) & 0xFE,
            0xF8);
}

TEST(FfmpegChannel, TagsUnderTheirBassNames) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "tags.flac";
  ASSERT_TRUE(MakeWithFfmpeg(
      "-f lavfi -i sine=d=0.3 -metadata title=T -metadata artist=A -metadata album=Al "
      "-metadata genre=G -metadata date=1999 -metadata comment=C -metadata track=4/9 "
      "-metadata composer=Co -metadata copyright=Cr",
      path));
  const auto channel = OpenFfmpegChannel(path);
  ASSERT_TRUE(channel);
  const std::map<std::string, std::string> expected = {
      {"title", "T"},   {"artist", "A"},  {"album", "Al"},    {"genre", "G"},     {"year", "1999"},
      {"comment", "C"}, {"track", "4/9"}, {"composer", "Co"}, {"copyright", "Cr"}};
  EXPECT_EQ(channel->Tags(), expected);
}

TEST(FfmpegChannel, RefusesWhatFfmpegCannotDecode) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  WriteFileBytes(dir / "empty.mp3", "");
  std::mt19937 rng(5);
  std::string noise(100'000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  WriteFileBytes(dir / "noise.wv", noise);
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i testsrc=size=32x32:rate=5:duration=1 -c:v mpeg4",
                             dir / "film.mp4"));
  for (const char* name : {"empty.mp3", "noise.wv", "film.mp4", "missing.flac"}) {
    SCOPED_TRACE(name);
    EXPECT_FALSE(OpenFfmpegChannel(dir / name));
  }
}

TEST(FfmpegChannel, TruncatedFileEndsCleanly) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  TempFolder dir;
  const std::string whole = ReadFileBytes(SamplePath("chord.flac"));
  WriteFileBytes(dir / "half.flac", whole.substr(0, whole.size() / 2));
  const auto channel = OpenFfmpegChannel(dir / "half.flac");
  ASSERT_TRUE(channel);
  const std::string pcm = PullAll(*channel);
  EXPECT_GT(pcm.size(), 264600u);  // a good part of the six seconds
  EXPECT_LT(pcm.size(), 264600u * 4);
}

}  // namespace
}  // namespace platform::bass
