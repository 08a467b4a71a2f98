#include "engine/sources/wma/wma_source.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/sources/source_factory.h"
#include "platform/wmf/wm_runtime.h"
#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/platform/wmf/asf_files.h"
#include "tests/support/decoding.h"
#include "tests/support/no_wm_runtime.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::DecodeAll;
using testing::Decoded;
using testing::MakeAsfAudio;
using testing::ReadFileBytes;
using testing::SamplePath;
using testing::TempFolder;
using testing::WriteFileBytes;

class WmaSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::ToolAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
    ASSERT_TRUE(platform::LoadWmRuntime());
  }
  // Channel c of ffmpeg's own decoding, for comparison sample by sample.
  static std::vector<int16_t> FfmpegChannel(const std::string& path, int channels, int c) {
    const auto all = testing::FfmpegDecode16(path);
    std::vector<int16_t> out;
    if (!all) return out;
    for (size_t i = static_cast<size_t>(c); i < all->size(); i += static_cast<size_t>(channels)) {
      out.push_back((*all)[i]);
    }
    return out;
  }
  TempFolder dir;
};

TEST_F(WmaSourceTest, SharedSampleDecodesWithItsTagsLengthAndFullBlocks) {
  SONORELL_REQUIRE_SAMPLE("chord.wma");
  const std::string path = SamplePath("chord.wma");
  WmaSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetSampleRate(), 44100);
  EXPECT_EQ(source.GetChannels(), 2);
  EXPECT_EQ(source.GetOutputChannels(), 2);
  EXPECT_EQ(source.GetBitsPerSample(), 16);
  EXPECT_EQ(source.GetBitrate(), 128);
  EXPECT_NEAR(static_cast<double>(source.GetLength()) / 1e7, testing::FfprobeSeconds(path), 0.05);
  EXPECT_EQ(source.GetDuration(), 6);
  std::string t, a, al, y, g, c, tr, co, cp;
  ASSERT_TRUE(source.ReadTags(t, a, al, y, g, c, tr, co, cp));
  EXPECT_EQ(t, "Chord WMA");
  EXPECT_EQ(a, "Sample Artist");
  EXPECT_EQ(tr, "0");

  // Every block is whole until the last, though the decoder hands out 2048-frame samples.
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  std::vector<int16_t> left, right;
  std::vector<int> sizes;
  for (int n; (n = source.Read(l.data(), r.data())) > 0;) {
    sizes.push_back(n);
    left.insert(left.end(), l.begin(), l.begin() + n);
    right.insert(right.end(), r.begin(), r.begin() + n);
  }
  ASSERT_FALSE(sizes.empty());
  for (size_t i = 0; i + 1 < sizes.size(); ++i) ASSERT_EQ(sizes[i], BlockFrames) << i;
  EXPECT_EQ(left, FfmpegChannel(path, 2, 0));
  EXPECT_EQ(right, FfmpegChannel(path, 2, 1));
  EXPECT_GT(source.GetPosition(), 0u);
}

TEST_F(WmaSourceTest, FfmpegMadeFilesOfManyKindsDecodeToTheirLength) {
  const testing::LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  struct Case {
    const char* codec;
    int rate;
    int channels;
  } cases[] = {{"wmav2", 22050, 1}, {"wmav2", 32000, 2}, {"wmav2", 48000, 2},
               {"wmav1", 44100, 1}, {"wmav1", 22050, 2}, {"pcm_s16le", 16000, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.codec) + " " + std::to_string(c.rate) + "/" +
                 std::to_string(c.channels));
    const std::string path = dir / "t.wma";
    ASSERT_TRUE(MakeAsfAudio(path, c.codec, c.rate, c.channels, 2.0,
                             "-metadata title=Заголовок -metadata album=アルバム "
                             "-metadata track=7 -metadata composer=Cömposer -metadata genre=Jazz "
                             "-metadata copyright=Copy -metadata comment=Note"));
    WmaSource source;
    ASSERT_TRUE(source.Open(path, 0));
    EXPECT_EQ(source.GetSampleRate(), c.rate);
    EXPECT_EQ(source.GetOutputChannels(), c.channels);
    const double probed = testing::FfprobeSeconds(path);
    EXPECT_NEAR(static_cast<double>(source.GetLength()) / 1e7, probed, 0.05);
    std::string t, a, al, y, g, cm, tr, co, cp;
    ASSERT_TRUE(source.ReadTags(t, a, al, y, g, cm, tr, co, cp));
    EXPECT_EQ(t, "Заголовок");
    EXPECT_EQ(al, "アルバム");
    EXPECT_EQ(tr, "7");  // stored as the text "7"
    EXPECT_EQ(co, "Cömposer");
    EXPECT_EQ(g, "Jazz");
    EXPECT_EQ(cp, "Copy");
    EXPECT_EQ(cm, "Note");
    const Decoded d = DecodeAll(source);
    EXPECT_EQ(d.left, FfmpegChannel(path, c.channels, 0));
    // FFmpeg's WMA encoder pads the last frame and its decoders drop the priming first one,
    // so the sound is up to a frame shorter than the container says.
    EXPECT_NEAR(static_cast<double>(d.left.size()) / c.rate, probed, 2048.0 / c.rate + 0.01);
  }
}

TEST_F(WmaSourceTest, VideoFileGivesItsSoundOnly) {
  const std::string path = dir / "v.wmv";
  ASSERT_TRUE(testing::MakeWmv(path, 2.0));
  WmaSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetSampleRate(), 44100);
  EXPECT_NEAR(static_cast<double>(source.GetLength()) / 1e7, testing::FfprobeSeconds(path), 0.05);
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left, FfmpegChannel(path, 1, 0));
  EXPECT_NEAR(static_cast<double>(d.left.size()) / 44100, 2.0, 2048.0 / 44100 + 0.01);
}

TEST_F(WmaSourceTest, SixChannelsDeliverTheFirstTwoAsLeftAndRight) {
  // WMA Professional carries 5.1; FFmpeg cannot write it, but ASF with six PCM channels goes
  // through the same reader output of more than two values per frame.
  const std::string path = dir / "six.asf";
  ASSERT_TRUE(CommandOutput(
      "ffmpeg -nostdin -v error -y -f lavfi -i \"sine=f=300:d=1\" -f lavfi -i "
      "\"sine=f=500:d=1\" -f lavfi -i anullsrc=cl=mono:d=1 -filter_complex "
      "\"[0][1][2][2][2][2]join=inputs=6:channel_layout=5.1[a]\" -map \"[a]\" -c:a pcm_s16le "
      "-f asf " +
      testing::ShellQuote(path)));
  WmaSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetChannels(), 6);
  EXPECT_EQ(source.GetOutputChannels(), 2);
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left, FfmpegChannel(path, 6, 0));
  EXPECT_EQ(d.right, FfmpegChannel(path, 6, 1));
  EXPECT_NEAR(static_cast<double>(d.left.size()), 44100, 2048);
}

TEST_F(WmaSourceTest, DamagedFilesFailOrEndCleanly) {
  const std::string good = dir / "good.wma";
  ASSERT_TRUE(MakeAsfAudio(good, "wmav2", 44100, 2, 1.0, "-metadata title=T"));
  const std::string bytes = ReadFileBytes(good);
  std::mt19937 random(11);
  const std::string path = dir / "bad.wma";
  for (int round = 0; round < 60; ++round) {
    std::string damaged = bytes;
    if (round < 30) {
      damaged.resize(static_cast<size_t>(round) * bytes.size() / 30);
    } else {
      for (int i = 0; i < 16; ++i) damaged[random() % damaged.size()] = static_cast<char>(random());
    }
    WriteFileBytes(path, damaged);
    WmaSource source;
    if (source.Open(path, 0)) {
      const Decoded d = DecodeAll(source, 10000);
      EXPECT_LT(d.reads, 10000) << round;
    }
  }
}

TEST_F(WmaSourceTest, FactoryPutsTheWindowsMediaSourceFirstWithTheRuntime) {
  SONORELL_REQUIRE_SAMPLE("chord.wma");
  auto source = CreateAudioSource(SamplePath("chord.wma"), kInputWindowsMedia, 0, true);
  ASSERT_TRUE(source);
  EXPECT_NE(dynamic_cast<WmaSource*>(source.get()), nullptr);
  // A ".wma" that is really an MP3 falls back to the other decoders.
  const std::string fake = dir / "fake.wma";
  WriteFileBytes(fake, ReadFileBytes(SamplePath("chord.mp3")));
  auto fallback = CreateAudioSource(fake, kInputWindowsMedia, 0, true);
  ASSERT_TRUE(fallback);
  EXPECT_EQ(dynamic_cast<WmaSource*>(fallback.get()), nullptr);
}

TEST(WmaSourceWithoutRuntime, FailsAtOnceAndTheFactoryFallsBack) {
  const testing::NoWmRuntime absent;
  if (platform::WmRuntimeLoaded()) GTEST_SKIP() << "the runtime was loaded earlier in this process";
  SONORELL_REQUIRE_SAMPLE("chord.wma");
  WmaSource source;
  EXPECT_FALSE(source.Open(SamplePath("chord.wma"), 0));
  int asked = 0;
  auto other = CreateAudioSource(SamplePath("chord.wma"), kInputWindowsMedia, 0, true,
                                 {[&] { ++asked; }, nullptr});
  ASSERT_TRUE(other);
  EXPECT_EQ(dynamic_cast<WmaSource*>(other.get()), nullptr);
  EXPECT_EQ(asked, 1);
}

}  // namespace
}  // namespace sonorell
