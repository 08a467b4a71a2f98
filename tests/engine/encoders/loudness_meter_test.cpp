#include "engine/encoders/loudness_meter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "tests/support/decoding.h"
#include "tests/support/ebur128_summary.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::FfmpegEbur128;
using testing::TempFolder;
using testing::ToolAvailable;

class NullSink : public PcmSink {
 public:
  bool WritePcm(const void*, const void*, int) override { return true; }
};

// Feeds a 16-bit stereo WAV, as sox delivers its samples, through a meter in planar blocks.
bool Measure(const std::string& path, LoudnessMeter& meter) {
  const std::optional<std::string> raw =
      CommandOutput("sox " + testing::ShellQuote(path) + " -t raw -e signed -b 16 -L -c 2 -");
  if (!raw || !meter.Open({44100, 2, 16})) return false;
  std::vector<int16_t> samples(raw->size() / 2);
  std::memcpy(samples.data(), raw->data(), samples.size() * 2);
  const size_t frames = samples.size() / 2;
  std::vector<int16_t> left(4096), right(4096);
  for (size_t at = 0; at < frames; at += left.size()) {
    const size_t n = std::min(left.size(), frames - at);
    for (size_t k = 0; k < n; ++k) {
      left[k] = samples[2 * (at + k)];
      right[k] = samples[2 * (at + k) + 1];
    }
    meter.WritePcm(left.data(), right.data(), static_cast<int>(n));
  }
  return true;
}

TEST(LoudnessMeter, TrackAndAlbumLoudnessAgreeWithFfmpegsEbur128) {
  if (!ToolAvailable("sox") || !ToolAvailable("ffmpeg")) GTEST_SKIP() << "sox or ffmpeg missing";
  TempFolder dir;
  LoudnessHistogram album;
  std::string parts;
  for (const int level : {-4, -14, -28}) {
    SCOPED_TRACE(level);
    const std::string wav = dir / ("pink" + std::to_string(-level) + ".wav");
    ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 20 pinknoise vol " +
                              std::to_string(level) + "dB"));
    NullSink sink;
    LoudnessMeter meter(sink);
    ASSERT_TRUE(Measure(wav, meter));
    const std::optional<testing::Ebur128Summary> reference = FfmpegEbur128(wav);
    ASSERT_TRUE(reference);
    const std::optional<double> measured = meter.Blocks().Integrated();
    ASSERT_TRUE(measured);
    EXPECT_NEAR(*measured, reference->integrated, 0.1);
    EXPECT_NEAR(20 * std::log10(meter.Peak()), reference->peakDb, 0.1);
    album.Merge(meter.Blocks());
    parts += " " + wav;
  }
  // The album is all of its files' blocks: the loudness of the files played one after the
  // other (whose few blocks across the joins barely count).
  const std::string joined = dir / "album.wav";
  ASSERT_TRUE(CommandOutput("sox" + parts + " " + joined));
  const std::optional<testing::Ebur128Summary> reference = FfmpegEbur128(joined);
  ASSERT_TRUE(reference && album.Integrated());
  EXPECT_NEAR(*album.Integrated(), reference->integrated, 0.1);

  // What a worker hands its parent is the same measure.
  EXPECT_EQ(LoudnessHistogram::FromText(album.Text()), album);
}

TEST(LoudnessMeter, SilenceAndShortFilesHaveNoLoudnessAndBadTextIsRefused) {
  NullSink sink;
  LoudnessMeter meter(sink);
  ASSERT_TRUE(meter.Open({48000, 1, 16}));
  const std::vector<int16_t> silence(48000 * 2);
  meter.WritePcm(silence.data(), nullptr, static_cast<int>(silence.size()));
  EXPECT_FALSE(meter.Blocks().Integrated());  // gated away entirely
  EXPECT_EQ(meter.Peak(), 0.0);

  LoudnessMeter brief(sink);
  ASSERT_TRUE(brief.Open({48000, 1, 16}));
  const std::vector<int16_t> loud(48000 * 3 / 10, 20000);  // 300 ms: not one whole block
  brief.WritePcm(loud.data(), nullptr, static_cast<int>(loud.size()));
  EXPECT_FALSE(brief.Blocks().Integrated());
  EXPECT_NEAR(brief.Peak(), 20000.0 / 32768, 1e-6);

  for (const char* text : {"x", "1:", ":1", "-2300:0", "-99999:1", "5:1;6:1"}) {
    EXPECT_FALSE(LoudnessHistogram::FromText(text)) << text;
  }
  EXPECT_TRUE(LoudnessHistogram::FromText(""));  // no blocks at all
}

}  // namespace
}  // namespace sonorell
