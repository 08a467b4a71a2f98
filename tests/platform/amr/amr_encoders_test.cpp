#include "platform/amr/amr_encoders.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/platform/amr/amr_frames.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace platform {
namespace {

using sonorell::testing::AmrFrames;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::TempFolder;
using sonorell::testing::WalkAmrFrames;

// A tone at about half scale.
std::vector<short> Tone(int rate, int samples, double hz = 440) {
  std::vector<short> s(static_cast<size_t>(samples));
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<short>(16000 * std::sin(2 * M_PI * hz * static_cast<double>(i) / rate));
  }
  return s;
}

TEST(AmrNbLibrary, EveryModeWritesSpeechFramesOfThatModeThatFfmpegDecodes) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  TempFolder dir;
  constexpr int kFrames = 40;
  const std::vector<short> tone = Tone(8000, 160 * kFrames);
  for (int mode = MR475; mode <= MR122; ++mode) {
    SCOPED_TRACE(mode);
    const std::string path = dir / ("m" + std::to_string(mode) + ".amr");
    AmrNbEncoder* encoder = amrnbenc_init(path.c_str(), 0, static_cast<Mode>(mode));
    ASSERT_NE(encoder, nullptr);
    for (int i = 0; i < kFrames; ++i) {
      EXPECT_GT(amrnbenc_encode(encoder, tone.data() + 160 * i), 0);
    }
    EXPECT_EQ(amrnbenc_quit(encoder), 0);
    const AmrFrames frames = WalkAmrFrames(ReadFileBytes(path), false);
    ASSERT_TRUE(frames.ok) << frames.problem;
    EXPECT_EQ(frames.types, std::vector<int>(kFrames, mode));
    const auto decoded = sonorell::testing::FfmpegDecode16(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), 160u * kFrames);
    EXPECT_GT(sonorell::testing::Rms(*decoded), 3000) << "the tone is heard";
  }
}

TEST(AmrWbLibrary, EveryModeWritesSpeechFramesOfThatModeThatFfmpegDecodes) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  TempFolder dir;
  constexpr int kFrames = 30;
  const std::vector<short> tone = Tone(16000, 320 * kFrames);
  for (int mode = 0; mode <= 8; ++mode) {
    SCOPED_TRACE(mode);
    const std::string path = dir / ("m" + std::to_string(mode) + ".awb");
    AmrWbEncoder* encoder = amrwbenc_init(path.c_str(), 0, mode);
    ASSERT_NE(encoder, nullptr);
    for (int i = 0; i < kFrames; ++i) {
      EXPECT_GT(amrwbenc_encode(encoder, tone.data() + 320 * i), 0);
    }
    EXPECT_EQ(amrwbenc_quit(encoder), 0);
    const AmrFrames frames = WalkAmrFrames(ReadFileBytes(path), true);
    ASSERT_TRUE(frames.ok) << frames.problem;
    EXPECT_EQ(frames.types, std::vector<int>(kFrames, mode));
    const auto decoded = sonorell::testing::FfmpegDecode16(path);
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->size(), 320u * kFrames);
    EXPECT_GT(sonorell::testing::Rms(*decoded), 3000) << "the tone is heard";
  }
}

TEST(AmrLibraries, TheCallersSamplesAreLeftAsTheyWere) {
  // The encoder is handed const samples; a codec that filters in place must not reach them
  // (the next file, or a block shared with the source, would hear the change).
  TempFolder dir;
  const std::vector<short> original = Tone(16000, 320);
  std::vector<short> samples = original;
  AmrNbEncoder* nb = amrnbenc_init((dir / "c.amr").c_str(), 0, MR122);
  AmrWbEncoder* wb = amrwbenc_init((dir / "c.awb").c_str(), 0, 8);
  ASSERT_NE(nb, nullptr);
  ASSERT_NE(wb, nullptr);
  EXPECT_GT(amrnbenc_encode(nb, samples.data()), 0);
  EXPECT_EQ(samples, original);
  EXPECT_GT(amrwbenc_encode(wb, samples.data()), 0);
  EXPECT_EQ(samples, original);
  EXPECT_EQ(amrnbenc_quit(nb), 0);
  EXPECT_EQ(amrwbenc_quit(wb), 0);
}

TEST(AmrLibraries, AFileWithoutFramesIsTheMagicAlone) {
  TempFolder dir;
  AmrNbEncoder* nb = amrnbenc_init((dir / "a.amr").c_str(), 0, MR122);
  ASSERT_NE(nb, nullptr);
  EXPECT_EQ(amrnbenc_quit(nb), 0);
  EXPECT_EQ(ReadFileBytes(dir / "a.amr"), "#!AMR\n");
  AmrWbEncoder* wb = amrwbenc_init((dir / "a.awb").c_str(), 1, 8);
  ASSERT_NE(wb, nullptr);
  EXPECT_EQ(amrwbenc_quit(wb), 0);
  EXPECT_EQ(ReadFileBytes(dir / "a.awb"), "#!AMR-WB\n");
}

TEST(AmrLibraries, InitReplacesWhatWasThere) {
  TempFolder dir;
  sonorell::testing::WriteFileBytes(dir / "old.amr", std::string(5000, 'x'));
  AmrNbEncoder* nb = amrnbenc_init((dir / "old.amr").c_str(), 0, MR475);
  ASSERT_NE(nb, nullptr);
  EXPECT_EQ(amrnbenc_quit(nb), 0);
  EXPECT_EQ(ReadFileBytes(dir / "old.amr"), "#!AMR\n");
}

TEST(AmrLibraries, ModesOutsideTheCodecAreRefusedBeforeAnyFileIsMade) {
  TempFolder dir;
  for (int mode : {-1, 8, 9, 1000}) {
    EXPECT_EQ(amrnbenc_init((dir / "b.amr").c_str(), 0, static_cast<Mode>(mode)), nullptr) << mode;
  }
  for (int mode : {-1, 9, 10, 1000}) {
    EXPECT_EQ(amrwbenc_init((dir / "b.awb").c_str(), 0, mode), nullptr) << mode;
  }
  EXPECT_EQ(sonorell::testing::ListFolder(dir.path()), "");
}

TEST(AmrLibraries, AFileThatCannotBeMadeGivesNoHandle) {
  TempFolder dir;
  sonorell::testing::WriteFileBytes(dir / "plain", "x");
  for (const std::string& path :
       {dir / "no/such/folder.amr", dir / "plain/inside.amr", std::string(), dir.path()}) {
    EXPECT_EQ(amrnbenc_init(path.c_str(), 0, MR122), nullptr) << path;
    EXPECT_EQ(amrwbenc_init(path.c_str(), 0, 2), nullptr) << path;
  }
  EXPECT_EQ(amrnbenc_init(nullptr, 0, MR122), nullptr);
  EXPECT_EQ(amrwbenc_init(nullptr, 0, 2), nullptr);
  // The magic itself does not fit.
  EXPECT_EQ(amrnbenc_init("/dev/full", 0, MR122), nullptr);
  EXPECT_EQ(amrwbenc_init("/dev/full", 0, 2), nullptr);
  EXPECT_EQ(sonorell::testing::ListFolder(dir.path()), "plain\n");
}

TEST(AmrLibraries, NullHandlesAndSamplesFailWithoutHarm) {
  const std::vector<short> silence(320, 0);
  EXPECT_EQ(amrnbenc_encode(nullptr, silence.data()), -1);
  EXPECT_EQ(amrwbenc_encode(nullptr, silence.data()), -1);
  EXPECT_EQ(amrnbenc_quit(nullptr), -1);
  EXPECT_EQ(amrwbenc_quit(nullptr), -1);

  TempFolder dir;
  AmrNbEncoder* nb = amrnbenc_init((dir / "n.amr").c_str(), 0, MR122);
  ASSERT_NE(nb, nullptr);
  EXPECT_EQ(amrnbenc_encode(nb, nullptr), -1);
  EXPECT_EQ(amrnbenc_encode(nb, silence.data()), -1) << "the handle stays failed";
  EXPECT_EQ(amrnbenc_quit(nb), -1);
}

TEST(AmrLibraries, AWriteThatDoesNotFitFailsThatFrameEveryLaterOneAndTheQuit) {
  TempFolder dir;
  const std::vector<short> tone = Tone(16000, 320);
  AmrNbEncoder* nb = nullptr;
  AmrWbEncoder* wb = nullptr;
  int nbResult = 0;
  int wbResult = 0;
  {
    sonorell::testing::FileSizeLimit full(200);
    nb = amrnbenc_init((dir / "full.amr").c_str(), 0, MR122);
    wb = amrwbenc_init((dir / "full.awb").c_str(), 0, 8);
    ASSERT_NE(nb, nullptr);
    ASSERT_NE(wb, nullptr);
    for (int i = 0; i < 20 && nbResult >= 0; ++i) nbResult = amrnbenc_encode(nb, tone.data());
    for (int i = 0; i < 20 && wbResult >= 0; ++i) wbResult = amrwbenc_encode(wb, tone.data());
  }
  EXPECT_EQ(nbResult, -1);
  EXPECT_EQ(wbResult, -1);
  // Room again, but the file already has a hole where a frame should be.
  EXPECT_EQ(amrnbenc_encode(nb, tone.data()), -1);
  EXPECT_EQ(amrwbenc_encode(wb, tone.data()), -1);
  EXPECT_EQ(amrnbenc_quit(nb), -1);
  EXPECT_EQ(amrwbenc_quit(wb), -1);
}

TEST(AmrLibraries, DtxSendsSilenceAsComfortNoiseAndNoData) {
  TempFolder dir;
  constexpr int kFrames = 100;
  const std::vector<short> silence(320 * kFrames, 0);
  for (int dtx : {0, 1}) {
    SCOPED_TRACE(dtx);
    const std::string nbPath = dir / ("s" + std::to_string(dtx) + ".amr");
    const std::string wbPath = dir / ("s" + std::to_string(dtx) + ".awb");
    AmrNbEncoder* nb = amrnbenc_init(nbPath.c_str(), dtx, MR795);
    AmrWbEncoder* wb = amrwbenc_init(wbPath.c_str(), dtx, 3);
    ASSERT_NE(nb, nullptr);
    ASSERT_NE(wb, nullptr);
    for (int i = 0; i < kFrames; ++i) {
      EXPECT_GT(amrnbenc_encode(nb, silence.data() + 160 * i), 0);
      EXPECT_GT(amrwbenc_encode(wb, silence.data() + 320 * i), 0);
    }
    EXPECT_EQ(amrnbenc_quit(nb), 0);
    EXPECT_EQ(amrwbenc_quit(wb), 0);
    const AmrFrames nbFrames = WalkAmrFrames(ReadFileBytes(nbPath), false);
    const AmrFrames wbFrames = WalkAmrFrames(ReadFileBytes(wbPath), true);
    ASSERT_TRUE(nbFrames.ok) << nbFrames.problem;
    ASSERT_TRUE(wbFrames.ok) << wbFrames.problem;
    ASSERT_EQ(nbFrames.types.size(), size_t{kFrames});
    ASSERT_EQ(wbFrames.types.size(), size_t{kFrames});
    EXPECT_TRUE(nbFrames.SpeechAllOfMode(MR795, false));
    EXPECT_TRUE(wbFrames.SpeechAllOfMode(3, true));
    if (dtx == 0) {
      EXPECT_EQ(nbFrames.SpeechFrames(false), kFrames);
      EXPECT_EQ(wbFrames.SpeechFrames(true), kFrames);
    } else {
      EXPECT_GT(nbFrames.Count(sonorell::testing::kAmrNbSid), 0);
      EXPECT_GT(nbFrames.Count(sonorell::testing::kAmrNoData), kFrames / 2);
      EXPECT_GT(wbFrames.Count(sonorell::testing::kAmrWbSid), 0);
      EXPECT_GT(wbFrames.Count(sonorell::testing::kAmrNoData), kFrames / 2);
    }
  }
  EXPECT_LT(std::filesystem::file_size(dir / "s1.amr"), std::filesystem::file_size(dir / "s0.amr"));
  EXPECT_LT(std::filesystem::file_size(dir / "s1.awb"), std::filesystem::file_size(dir / "s0.awb"));
}

}  // namespace
}  // namespace platform
