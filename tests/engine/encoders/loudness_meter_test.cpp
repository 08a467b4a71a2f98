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

// Feeds a WAV, as sox delivers its samples at `bits` (8, 16 or 32), through a meter in
// planar blocks of `blockFrames`.
bool Measure(const std::string& path, LoudnessMeter& meter, PcmFormat format = {44100, 2, 16},
             int blockFrames = 4096) {
  const int bytes = format.bits / 8;
  const std::string encoding = format.bits == 8 ? "unsigned" : "signed";
  const std::optional<std::string> raw = CommandOutput(
      "sox " + testing::ShellQuote(path) + " -t raw -e " + encoding + " -b " +
      std::to_string(format.bits) + " -L -c " + std::to_string(format.channels) + " -");
  if (!raw || !meter.Open(format)) return false;
  const size_t frameBytes = static_cast<size_t>(bytes * format.channels);
  const size_t frames = raw->size() / frameBytes;
  std::vector<uint8_t> planes[2];
  for (std::vector<uint8_t>& plane : planes) plane.resize(static_cast<size_t>(blockFrames * bytes));
  for (size_t at = 0; at < frames; at += static_cast<size_t>(blockFrames)) {
    const size_t n = std::min(static_cast<size_t>(blockFrames), frames - at);
    for (size_t k = 0; k < n; ++k) {
      for (int c = 0; c < format.channels; ++c) {
        std::memcpy(planes[c].data() + k * bytes, raw->data() + (at + k) * frameBytes + c * bytes,
                    static_cast<size_t>(bytes));
      }
    }
    meter.WritePcm(planes[0].data(), planes[1].data(), static_cast<int>(n));
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

// Other rates, widths and channel counts, in blocks that fit no 100 ms grid; tones where the
// weighting's shelf and high pass are steepest, and a signal that falls silent for seconds
// between its bursts.
TEST(LoudnessMeter, EveryWidthAndRateAgreesWithFfmpegsEbur128) {
  if (!ToolAvailable("sox") || !ToolAvailable("ffmpeg")) GTEST_SKIP() << "sox or ffmpeg missing";
  TempFolder dir;
  const struct {
    PcmFormat format;
    int blockFrames;
    const char* synth;
  } cases[] = {{{8000, 1, 16}, 4410, "synth 7 sine 35 vol -3dB"},
               {{11025, 1, 8}, 333, "synth 7 pinknoise vol -9dB"},
               {{22050, 2, 32}, 1152, "synth 7 pinknoise vol -20dB"},
               {{44100, 2, 16}, 4096, "synth 7 sine 1500 sine 9000 vol -6dB"},
               {{48000, 1, 16}, 48000, "synth 7 pinknoise vol -1dB"},
               {{48000, 2, 16}, 2048, "synth 2 pinknoise vol -18dB pad 0 6 repeat 2"},
               {{96000, 2, 32}, 100001, "synth 7 pinknoise vol -12dB"},
               {{192000, 2, 32}, 7000, "synth 7 sine 60 sine 16000 vol -10dB"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.format.rate) + " Hz, " + std::to_string(c.format.bits) +
                 " bits: " + c.synth);
    const std::string wav = dir / "signal.wav";
    ASSERT_TRUE(CommandOutput("sox -n -r " + std::to_string(c.format.rate) + " -c " +
                              std::to_string(c.format.channels) + " -b 24 " + wav + " " + c.synth));
    NullSink sink;
    LoudnessMeter meter(sink);
    ASSERT_TRUE(Measure(wav, meter, c.format, c.blockFrames));
    const std::optional<testing::Ebur128Summary> reference = FfmpegEbur128(wav);
    ASSERT_TRUE(reference);
    ASSERT_TRUE(meter.Blocks().Integrated());
    EXPECT_NEAR(*meter.Blocks().Integrated(), reference->integrated, 0.1);
    // 8-bit samples lose the top of the peak to their coarse steps.
    EXPECT_NEAR(20 * std::log10(meter.Peak()), reference->peakDb, c.format.bits == 8 ? 0.3 : 0.1);
  }
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

  // No measure where the weighting has no meaning, rather than a wrong one.
  EXPECT_FALSE(LoudnessMeter(sink).Open({3000, 1, 16}));
  EXPECT_FALSE(LoudnessMeter(sink).Open({48000, 6, 16}));

  for (const char* text : {"x", "1:", ":1", "-2300:0", "-99999:1", "5:1;6:1"}) {
    EXPECT_FALSE(LoudnessHistogram::FromText(text)) << text;
  }
  EXPECT_TRUE(LoudnessHistogram::FromText(""));  // no blocks at all
}

}  // namespace
}  // namespace sonorell
