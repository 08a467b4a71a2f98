#include "engine/encoders/amr/amr_encoder.h"

#include <gtest/gtest.h>
#include <opencore-amrnb/interf_dec.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/sources/failure_note.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/platform/amr/amr_frames.h"
#include "tests/support/decoding.h"
#include "tests/support/recording_progress.h"
#include "tests/support/sweep_share.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

using testing::AmrFrames;
using testing::CommandOutput;
using testing::ReadFileBytes;
using testing::RecordingProgress;
using testing::SamplePath;
using testing::ShellQuote;
using testing::TempFolder;
using testing::ToneEnergy;
using testing::WalkAmrFrames;

// The two tones testing::MakeTone puts in the left and right channels.
constexpr double kLeftHz = 440;
constexpr double kRightHz = 660;

// FFmpeg's AMR-NB decoder has no comfort noise: it refuses SID and NO_DATA frames. The
// narrow-band DTX files are decoded with opencore's decoder instead, one frame after the
// other from the frame starts the walk found.
std::vector<int16_t> DecodeNbWithOpencore(const std::string& bytes) {
  struct Closer {
    void operator()(void* state) const { Decoder_Interface_exit(state); }
  };
  static constexpr int kPayload[16] = {12, 13, 15, 17, 19, 20, 26, 31, 5, 0, 0, 0, 0, 0, 0, 0};
  std::vector<int16_t> pcm;
  const std::unique_ptr<void, Closer> state(Decoder_Interface_init());
  if (!state || bytes.compare(0, 6, "#!AMR\n") != 0) return pcm;
  size_t at = 6;
  short frame[160];
  while (at < bytes.size()) {
    const int type = (static_cast<uint8_t>(bytes[at]) >> 3) & 0x0F;
    const size_t size = 1 + static_cast<size_t>(kPayload[type]);
    if (at + size > bytes.size()) break;
    // The decoder may read a little past a short frame; give it a padded copy.
    unsigned char in[64] = {};
    std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(at), size, in);
    Decoder_Interface_Decode(state.get(), in, frame, 0);
    pcm.insert(pcm.end(), frame, frame + 160);
    at += size;
  }
  return pcm;
}

// ---- the codec table and the conditioning ----

TEST(AmrCodecTable, AmrFollowsAmrTypeAndAwbIgnoresIt) {
  Settings s;
  s.AMRMode = 1;
  s.AMRWBMode = 2;
  s.AWBMode = 3;
  s.AMRDTX = 1;
  s.AWBDTX = 0;
  EXPECT_EQ(ChooseAmrCodec(s, AmrFileKind::kAmr), (AmrCodecChoice{true, 8000, 1, true}));
  EXPECT_EQ(ChooseAmrCodec(s, AmrFileKind::kAwb), (AmrCodecChoice{false, 16000, 3, false}));
  for (int type : {1, 2, -1}) {
    s.AMRType = type;
    EXPECT_EQ(ChooseAmrCodec(s, AmrFileKind::kAmr), (AmrCodecChoice{false, 16000, 2, true}))
        << type;
    EXPECT_EQ(ChooseAmrCodec(s, AmrFileKind::kAwb), (AmrCodecChoice{false, 16000, 3, false}))
        << type;
  }
  s.AWBDTX = 1;
  s.AMRDTX = 0;
  EXPECT_TRUE(ChooseAmrCodec(s, AmrFileKind::kAwb).dtx);
  EXPECT_FALSE(ChooseAmrCodec(s, AmrFileKind::kAmr).dtx);
}

TEST(AmrConditioning, ConverterOnlyWhereRateWidthOrMixingNeedIt) {
  Settings s;
  struct Case {
    PcmFormat source;
    int monoType;
    int codecRate;
    bool convert;
    int picked;
  } cases[] = {
      {{44100, 2, 16}, 0, 8000, true, 0},    // mixed and resampled
      {{44100, 2, 16}, 1, 8000, true, 1},    // the left channel resampled alone
      {{44100, 2, 16}, 2, 16000, true, 2},   // the right one
      {{8000, 1, 16}, 0, 8000, false, 0},    // straight to the frames
      {{8000, 1, 8}, 0, 8000, true, 0},      // width only
      {{16000, 2, 16}, 2, 16000, false, 2},  // one channel picked, nothing converted
      {{16000, 2, 16}, 1, 16000, false, 1},
      {{16000, 2, 16}, 0, 16000, true, 0},   // mixing takes the converter
      {{16000, 1, 16}, 2, 16000, false, 0},  // nothing to pick from mono
  };
  for (const Case& c : cases) {
    s.MonoType = c.monoType;
    const ConditioningPlan plan = PlanAmrConditioning(s, c.source, c.codecRate);
    SCOPED_TRACE(std::to_string(c.source.rate) + "/" + std::to_string(c.source.channels) + "/" +
                 std::to_string(c.source.bits) + " MonoType " + std::to_string(c.monoType));
    EXPECT_EQ(plan.convert, c.convert);
    EXPECT_EQ(plan.pickedChannel, c.picked);
    EXPECT_EQ(plan.output.rate, c.codecRate);
    EXPECT_EQ(plan.output.channels, 1);
    EXPECT_EQ(plan.output.bits, 16);
  }
}

TEST(AmrConditioning, GainOnlyWhenSwitchedOnAndNotAHundred) {
  Settings s;
  const PcmFormat cd{44100, 2, 16};
  s.AmplifyAMRCoef = 150;
  EXPECT_FALSE(PlanAmrConditioning(s, cd, 8000).gain);
  s.AmplifyAMR = 1;
  const ConditioningPlan plan = PlanAmrConditioning(s, cd, 8000);
  EXPECT_TRUE(plan.gain);
  EXPECT_EQ(plan.gainFactor, 1.5f);
  s.AmplifyAMRCoef = 100;
  EXPECT_FALSE(PlanAmrConditioning(s, cd, 8000).gain);
}

// ---- whole files ----

class AmrOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::ToolAvailable("sox") || !testing::ToolAvailable("ffmpeg")) {
      GTEST_SKIP() << "sox and ffmpeg are needed";
    }
  }
  int Encode(const std::string& source, const std::string& target,
             AmrFileKind kind = AmrFileKind::kAmr, InputTypeCode type = kInputWav) {
    const EncodeContext context{settings, 1};
    return kind == AmrFileKind::kAmr ? EncodeAmrFile(type, source, target, progress, context)
                                     : EncodeAwbFile(type, source, target, progress, context);
  }
  std::string Tone(const std::string& name, int rate, int channels, double seconds, int bits = 16) {
    const std::string path = dir / name;
    EXPECT_TRUE(testing::MakeTone(path, rate, channels, seconds, bits)) << "sox";
    return path;
  }
  // A tone, then silence: what DTX is for.
  std::string ToneThenSilence(const std::string& name, int rate) {
    const std::string path = dir / name;
    EXPECT_TRUE(CommandOutput("sox -n -r " + std::to_string(rate) + " -c 1 -b 16 " +
                              ShellQuote(path) + " synth 1 sine 440 vol 0.5 pad 0 4"));
    return path;
  }
  // Walks every frame, checks each speech frame's mode and that ffmpeg decodes the whole
  // file to the source's length (within the last, padded frame and a little).
  AmrFrames ExpectSpeechFile(const std::string& out, bool wideBand, int mode,
                             double sourceSeconds) {
    const AmrFrames frames = WalkAmrFrames(ReadFileBytes(out), wideBand);
    EXPECT_TRUE(frames.ok) << out << ": " << frames.problem;
    EXPECT_GT(frames.SpeechFrames(wideBand), 0) << out;
    EXPECT_TRUE(frames.SpeechAllOfMode(mode, wideBand)) << out << " mode " << mode;
    const int rate = wideBand ? 16000 : 8000;
    const int frameSamples = wideBand ? 320 : 160;
    const auto decoded = testing::FfmpegDecode16(out);
    EXPECT_TRUE(decoded) << out;
    if (decoded) {
      EXPECT_EQ(decoded->size(), frames.types.size() * frameSamples) << out;
      EXPECT_NEAR(static_cast<double>(decoded->size()), sourceSeconds * rate,
                  frameSamples + 0.005 * rate)
          << out;
    }
    return frames;
  }
  std::vector<int16_t> Decoded(const std::string& out) {
    return testing::FfmpegDecode16(out).value_or(std::vector<int16_t>());
  }

  TempFolder dir;
  Settings settings;
  RecordingProgress progress;
};

TEST_F(AmrOutput, CdStereoToNarrowBandMixesOrPicksThroughTheConverter) {
  const std::string source = Tone("cd.wav", 44100, 2, 2.0);
  settings.AMRMode = 7;
  std::vector<double> left;
  std::vector<double> right;
  for (int monoType : {0, 1, 2}) {
    SCOPED_TRACE(monoType);
    settings.MonoType = monoType;
    const std::string out = dir / ("cd" + std::to_string(monoType) + ".amr");
    ClearFailureNote();
    ASSERT_EQ(Encode(source, out), 1) << GetFailureNote();
    ExpectSpeechFile(out, false, 7, 2.0);
    const std::vector<int16_t> pcm = Decoded(out);
    left.push_back(ToneEnergy(pcm, 8000, kLeftHz));
    right.push_back(ToneEnergy(pcm, 8000, kRightHz));
  }
  // Mixed: both tones, each at about half the level it has alone.
  EXPECT_GT(left[0], right[0] / 4);
  EXPECT_GT(right[0], left[0] / 4);
  EXPECT_LT(left[0], left[1] * 0.6);
  // Picked: one tone alone.
  EXPECT_GT(left[1], 50 * right[1]);
  EXPECT_GT(right[2], 50 * left[2]);
  EXPECT_EQ(progress.fileLines.back(), "Converting cd.wav...100%");
}

TEST_F(AmrOutput, NarrowBandMonoGoesStraightToTheFramesAndPadsOnlyAPartialLast) {
  // 8000 samples are exactly 50 frames; 8080 need a 51st, zero-padded.
  for (const auto& [seconds, frameCount] : {std::pair{1.0, 50u}, std::pair{1.01, 51u}}) {
    const std::string source = Tone("n.wav", 8000, 1, seconds);
    const std::string out = dir / "n.amr";
    ASSERT_EQ(Encode(source, out), 1) << GetFailureNote();
    const AmrFrames frames = ExpectSpeechFile(out, false, 6, seconds);
    EXPECT_EQ(frames.types.size(), frameCount) << seconds;
    std::filesystem::remove(out);
  }
}

TEST_F(AmrOutput, SixteenKStereoToAwbEncodesThePickedChannelAlone) {
  const std::string source = Tone("wb.wav", 16000, 2, 1.5);
  settings.AWBMode = 8;
  for (int monoType : {1, 2}) {
    SCOPED_TRACE(monoType);
    settings.MonoType = monoType;
    const std::string out = dir / ("wb" + std::to_string(monoType) + ".awb");
    ASSERT_EQ(Encode(source, out, AmrFileKind::kAwb), 1) << GetFailureNote();
    ExpectSpeechFile(out, true, 8, 1.5);
    const std::vector<int16_t> pcm = Decoded(out);
    const double l = ToneEnergy(pcm, 16000, kLeftHz);
    const double r = ToneEnergy(pcm, 16000, kRightHz);
    if (monoType == 1) {
      EXPECT_GT(l, 50 * r);
    } else {
      EXPECT_GT(r, 50 * l);
    }
  }
}

TEST_F(AmrOutput, AmrTypeOneWritesWideBandAmrAndAwbKeepsItsOwnMode) {
  const std::string source = Tone("t.wav", 22050, 1, 1.0);
  settings.AMRType = 1;
  settings.AMRMode = 0;
  settings.AMRWBMode = 2;
  settings.AWBMode = 7;
  ASSERT_EQ(Encode(source, dir / "wide.amr"), 1) << GetFailureNote();
  EXPECT_EQ(ReadFileBytes(dir / "wide.amr").substr(0, 9), "#!AMR-WB\n");
  ExpectSpeechFile(dir / "wide.amr", true, 2, 1.0);
  for (int type : {0, 1}) {
    settings.AMRType = type;
    const std::string out = dir / ("own" + std::to_string(type) + ".awb");
    ASSERT_EQ(Encode(source, out, AmrFileKind::kAwb), 1) << GetFailureNote();
    ExpectSpeechFile(out, true, 7, 1.0);
  }
  settings.AMRType = 0;
  ASSERT_EQ(Encode(source, dir / "narrow.amr"), 1) << GetFailureNote();
  EXPECT_EQ(ReadFileBytes(dir / "narrow.amr").substr(0, 6), "#!AMR\n");
  ExpectSpeechFile(dir / "narrow.amr", false, 0, 1.0);
}

TEST_F(AmrOutput, EveryModeOfEveryChoiceReachesTheFrameHeaders) {
  const std::string source = Tone("m.wav", 11025, 1, 0.4);
  for (int mode = 0; mode < kAmrNbModeCount; ++mode) {
    settings = Settings();
    settings.AMRMode = mode;
    ASSERT_EQ(Encode(source, dir / "nb.amr"), 1) << mode;
    ExpectSpeechFile(dir / "nb.amr", false, mode, 0.4);
    std::filesystem::remove(dir / "nb.amr");
  }
  for (int mode = 0; mode < kAmrWbModeCount; ++mode) {
    settings = Settings();
    settings.AMRType = 1;
    settings.AMRWBMode = mode;
    ASSERT_EQ(Encode(source, dir / "wb.amr"), 1) << mode;
    ExpectSpeechFile(dir / "wb.amr", true, mode, 0.4);
    settings = Settings();
    settings.AWBMode = mode;
    ASSERT_EQ(Encode(source, dir / "x.awb", AmrFileKind::kAwb), 1) << mode;
    ExpectSpeechFile(dir / "x.awb", true, mode, 0.4);
    std::filesystem::remove(dir / "wb.amr");
    std::filesystem::remove(dir / "x.awb");
  }
}

TEST_F(AmrOutput, DtxShrinksSilenceForEachChoiceWithItsOwnFlag) {
  const std::string source = ToneThenSilence("ts.wav", 16000);
  struct Choice {
    const char* name;
    AmrFileKind kind;
    int amrType;
    bool wideBand;
  } choices[] = {{"nb.amr", AmrFileKind::kAmr, 0, false},
                 {"wb.amr", AmrFileKind::kAmr, 1, true},
                 {"x.awb", AmrFileKind::kAwb, 0, true}};
  for (const Choice& c : choices) {
    SCOPED_TRACE(c.name);
    settings = Settings();
    settings.AMRType = c.amrType;
    // The other format's flag is on: it must not matter.
    settings.AMRDTX = c.kind == AmrFileKind::kAwb ? 1 : 0;
    settings.AWBDTX = c.kind == AmrFileKind::kAwb ? 0 : 1;
    const std::string off = dir / (std::string("off-") + c.name);
    ASSERT_EQ(Encode(source, off, c.kind), 1);
    const AmrFrames offFrames = ExpectSpeechFile(off, c.wideBand, 6, 5.0);
    EXPECT_EQ(offFrames.SpeechFrames(c.wideBand), static_cast<int>(offFrames.types.size()));

    settings.AMRDTX = c.kind == AmrFileKind::kAwb ? 0 : 1;
    settings.AWBDTX = c.kind == AmrFileKind::kAwb ? 1 : 0;
    const std::string on = dir / (std::string("on-") + c.name);
    ASSERT_EQ(Encode(source, on, c.kind), 1);
    const AmrFrames onFrames = WalkAmrFrames(ReadFileBytes(on), c.wideBand);
    ASSERT_TRUE(onFrames.ok) << onFrames.problem;
    EXPECT_EQ(onFrames.types.size(), offFrames.types.size());
    EXPECT_TRUE(onFrames.SpeechAllOfMode(6, c.wideBand));
    EXPECT_GT(onFrames.Count(c.wideBand ? testing::kAmrWbSid : testing::kAmrNbSid), 0);
    EXPECT_GT(onFrames.Count(testing::kAmrNoData), 100);
    EXPECT_LT(std::filesystem::file_size(on), std::filesystem::file_size(off) / 2);
    // Still the tone, then near silence, for the whole length. FFmpeg's wide-band decoder
    // skips NO_DATA frames, so there only the speech is checked.
    const int rate = c.wideBand ? 16000 : 8000;
    const std::vector<int16_t> pcm =
        c.wideBand ? Decoded(on) : DecodeNbWithOpencore(ReadFileBytes(on));
    const std::vector<int16_t> tone(pcm.begin() + rate / 10, pcm.begin() + rate * 9 / 10);
    EXPECT_GT(testing::Rms(tone), 5000);
    if (c.wideBand) {
      EXPECT_GE(pcm.size(), static_cast<size_t>(onFrames.SpeechFrames(true)) * 320);
    } else {
      ASSERT_EQ(pcm.size(), onFrames.types.size() * 160);
      const std::vector<int16_t> quiet(pcm.begin() + rate * 2, pcm.end());
      EXPECT_LT(testing::Rms(quiet), 100);
    }
  }
}

TEST_F(AmrOutput, GainScalesWhatTheCodecHearsAndAHundredChangesNothing) {
  const std::string source = Tone("g.wav", 8000, 1, 2.0);
  settings.AMRMode = 7;
  ASSERT_EQ(Encode(source, dir / "plain.amr"), 1);
  settings.AmplifyAMR = 1;
  ASSERT_EQ(Encode(source, dir / "hundred.amr"), 1);
  EXPECT_EQ(ReadFileBytes(dir / "hundred.amr"), ReadFileBytes(dir / "plain.amr"));
  settings.AmplifyAMRCoef = 50;
  ASSERT_EQ(Encode(source, dir / "half.amr"), 1);
  const double plain = testing::Rms(Decoded(dir / "plain.amr"));
  const double half = testing::Rms(Decoded(dir / "half.amr"));
  ASSERT_GT(plain, 3000);
  EXPECT_NEAR(half / plain, 0.5, 0.08);
}

TEST_F(AmrOutput, SharedSamplesConvertToBothFiles) {
  int checked = 0;
  std::vector<testing::NativeSample> samples = testing::NativeSamples();
  for (const auto& s : testing::DecodedSamples()) samples.push_back(s);
  testing::SweepShare share;
  for (const auto& sample : samples) {
    const std::string source = SamplePath(sample.name);
    if (!std::filesystem::exists(source) || !testing::FactoryOpens(source, sample.type)) continue;
    if (!share.Take()) continue;
    const testing::StreamProbe probe = testing::FfprobeStream(source);
    ASSERT_TRUE(probe.ok) << sample.name;
    for (AmrFileKind kind : {AmrFileKind::kAmr, AmrFileKind::kAwb}) {
      const bool wideBand = kind == AmrFileKind::kAwb;
      const std::string out = dir / (std::string(sample.name) + (wideBand ? ".awb" : ".amr"));
      ClearFailureNote();
      ASSERT_EQ(Encode(source, out, kind, sample.type), 1)
          << sample.name << ": " << GetFailureNote();
      const AmrFrames frames = WalkAmrFrames(ReadFileBytes(out), wideBand);
      EXPECT_TRUE(frames.ok) << sample.name << ": " << frames.problem;
      EXPECT_TRUE(frames.SpeechAllOfMode(6, wideBand)) << sample.name;
      // Compressed sources carry their codec's delay and padding; allow a little more.
      const auto decoded = testing::FfmpegDecode16(out);
      ASSERT_TRUE(decoded) << sample.name;
      const int rate = wideBand ? 16000 : 8000;
      EXPECT_NEAR(static_cast<double>(decoded->size()), probe.seconds * rate,
                  (wideBand ? 320 : 160) + 0.06 * rate)
          << sample.name;
      std::filesystem::remove(out);
    }
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no samples present";
}

TEST_F(AmrOutput, ATrackerModuleEndsAtItsLength) {
  SONORELL_REQUIRE_SAMPLE("the-big-march-in-space.it");
  const std::string source = SamplePath("the-big-march-in-space.it");
  ASSERT_EQ(Encode(source, dir / "mod.awb", AmrFileKind::kAwb, kInputTrackerModule), 1)
      << GetFailureNote();
  const AmrFrames frames = WalkAmrFrames(ReadFileBytes(dir / "mod.awb"), true);
  EXPECT_TRUE(frames.ok) << frames.problem;
  EXPECT_GT(frames.types.size(), 50u);
  EXPECT_GT(testing::Rms(Decoded(dir / "mod.awb")), 100) << "music is heard";
}

// ---- failures leave nothing ----

TEST_F(AmrOutput, CancelLeavesNoFileAndKeepsTheOldTarget) {
  const std::string source = Tone("long.wav", 44100, 2, 10.0);
  testing::WriteFileBytes(dir / "out.amr", "old");
  progress.onPump = [](RecordingProgress& p) {
    if (p.pumps == 20) p.cancel = true;
  };
  EXPECT_EQ(Encode(source, dir / "out.amr"), 0);
  EXPECT_EQ(progress.pumps, 20);
  EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\nout.amr\n");
  EXPECT_EQ(ReadFileBytes(dir / "out.amr"), "old");
  progress.pumps = 0;
  progress.cancel = false;
  EXPECT_EQ(Encode(source, dir / "new.awb", AmrFileKind::kAwb), 0);
  EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\nout.amr\n");
}

TEST_F(AmrOutput, AMissingOrUnreadableSourceMakesNoFile) {
  EXPECT_EQ(Encode(dir / "absent.wav", dir / "out.amr"), 0);
  EXPECT_EQ(Encode(dir / "absent.wav", dir / "out.awb", AmrFileKind::kAwb), 0);
  EXPECT_EQ(testing::ListFolder(dir.path()), "");
  testing::WriteFileBytes(dir / "bad.wav", "RIFF....WAVEjunk");
  ClearFailureNote();
  EXPECT_EQ(Encode(dir / "bad.wav", dir / "out.amr"), 0);
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(testing::ListFolder(dir.path()), "bad.wav\n");
}

TEST_F(AmrOutput, AFolderThatTakesNoFileFailsCleanly) {
  const std::string source = Tone("s.wav", 8000, 1, 0.5);
  testing::WriteFileBytes(dir / "plain", "x");
  for (const std::string& target : {dir / "missing/out.amr", dir / "plain/out.amr"}) {
    EXPECT_EQ(Encode(source, target), 0) << target;
    EXPECT_EQ(Encode(source, target, AmrFileKind::kAwb), 0) << target;
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), "plain\ns.wav\n");
  EXPECT_EQ(ReadFileBytes(dir / "plain"), "x");
}

TEST_F(AmrOutput, AFullDiskFailsTheFileWithAReason) {
  const std::string source = Tone("long.wav", 8000, 1, 10.0);
  for (AmrFileKind kind : {AmrFileKind::kAmr, AmrFileKind::kAwb}) {
    ClearFailureNote();
    int result = -1;
    {
      testing::FileSizeLimit full(3000);
      result = Encode(source, dir / "out.amr", kind);
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\n");
    EXPECT_NE(GetFailureNote().find("disk may be full"), std::string::npos) << GetFailureNote();
  }
}

TEST_F(AmrOutput, AStoredModeTheCodecLacksFailsWithAReason) {
  const std::string source = Tone("s.wav", 8000, 1, 0.5);
  settings.AMRMode = 8;
  ClearFailureNote();
  EXPECT_EQ(Encode(source, dir / "out.amr"), 0);
  EXPECT_NE(GetFailureNote().find("AMR-NB bit rate setting 8"), std::string::npos)
      << GetFailureNote();
  settings.AWBMode = -1;
  ClearFailureNote();
  EXPECT_EQ(Encode(source, dir / "out.awb", AmrFileKind::kAwb), 0);
  EXPECT_NE(GetFailureNote().find("AMR-WB bit rate setting -1"), std::string::npos)
      << GetFailureNote();
  EXPECT_EQ(testing::ListFolder(dir.path()), "s.wav\n");
}

TEST_F(AmrOutput, ARateTheConverterCannotReachFailsWithAReason) {
  const std::string source = dir / "slow.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 20 -c 1 -b 16 " + source + " synth 5 sine 3"));
  if (!testing::FactoryOpens(source, kInputWav)) GTEST_SKIP() << "no reader takes 20 Hz";
  ClearFailureNote();
  EXPECT_EQ(Encode(source, dir / "out.amr"), 0);
  EXPECT_NE(GetFailureNote().find("20 Hz"), std::string::npos) << GetFailureNote();
  EXPECT_EQ(testing::ListFolder(dir.path()), "slow.wav\n");
}

// ---- the frame splitter on its own ----

class AmrEncoderAlone : public ::testing::Test {
 protected:
  std::vector<int16_t> Samples(int count) {
    std::vector<int16_t> s(static_cast<size_t>(count));
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>((i * 997) % 20000 - 10000);
    return s;
  }
  TempFolder dir;
  AmrEncoder encoder;
};

TEST_F(AmrEncoderAlone, AHundredThenThreeHundredSamplesMakeTwoFramesAndLeaveEighty) {
  const std::vector<int16_t> a = Samples(100);
  const std::vector<int16_t> b = Samples(300);
  EXPECT_EQ(encoder.Prepare(dir / "x.amr", true), 1);
  ASSERT_EQ(encoder.Open(dir / "x.amr"), 1);
  ASSERT_EQ(encoder.Encode(a.data(), 100), 1);
  EXPECT_EQ(encoder.Buffered(), 100);
  EXPECT_EQ(encoder.FramesEncoded(), 0);
  ASSERT_EQ(encoder.Encode(b.data(), 300), 1);
  EXPECT_EQ(encoder.FramesEncoded(), 2);
  EXPECT_EQ(encoder.Buffered(), 80);
  ASSERT_TRUE(encoder.Close());
  const AmrFrames frames = WalkAmrFrames(ReadFileBytes(dir / "x.amr"), false);
  ASSERT_TRUE(frames.ok) << frames.problem;
  EXPECT_EQ(frames.types, (std::vector<int>{6, 6, 6})) << "the last 80 padded to a frame";
}

TEST_F(AmrEncoderAlone, WideBandFramesAreThreeHundredTwenty) {
  const std::vector<int16_t> s = Samples(700);
  encoder.Prepare("", false);
  encoder.SetWbMode(1);
  EXPECT_EQ(encoder.FrameSize(), 320);
  ASSERT_EQ(encoder.Open(dir / "x.awb"), 1);
  ASSERT_EQ(encoder.Encode(s.data(), 100), 1);
  ASSERT_EQ(encoder.Encode(s.data() + 100, 300), 1);
  EXPECT_EQ(encoder.FramesEncoded(), 1);
  EXPECT_EQ(encoder.Buffered(), 80);
  ASSERT_EQ(encoder.Encode(s.data() + 400, 240), 1);  // exactly completes the second
  EXPECT_EQ(encoder.FramesEncoded(), 2);
  EXPECT_EQ(encoder.Buffered(), 0);
  ASSERT_EQ(encoder.Encode(s.data(), 0), 1);
  ASSERT_TRUE(encoder.Close());
  const AmrFrames frames = WalkAmrFrames(ReadFileBytes(dir / "x.awb"), true);
  ASSERT_TRUE(frames.ok) << frames.problem;
  EXPECT_EQ(frames.types, (std::vector<int>{1, 1})) << "nothing left to pad";
}

TEST_F(AmrEncoderAlone, PrepareAndCloseResetTheSettings) {
  encoder.SetDtx(true);
  encoder.SetNbMode(2);
  encoder.SetWbMode(3);
  encoder.Prepare("", false);
  EXPECT_FALSE(encoder.Dtx());
  EXPECT_EQ(encoder.NbMode(), 6);
  EXPECT_EQ(encoder.WbMode(), 6);
  EXPECT_FALSE(encoder.NarrowBand());
  EXPECT_EQ(encoder.FrameSize(), 320);
  EXPECT_FALSE(encoder.Close()) << "nothing was open";
  EXPECT_TRUE(encoder.NarrowBand());
  EXPECT_EQ(encoder.FrameSize(), 0);
  // Unprepared: no frame size to split by, so nothing opens.
  EXPECT_EQ(encoder.Open(dir / "y.amr"), 0);
  const std::vector<int16_t> s = Samples(160);
  EXPECT_EQ(encoder.Encode(s.data(), 160), 0);
  EXPECT_EQ(testing::ListFolder(dir.path()), "");
}

TEST_F(AmrEncoderAlone, PreparingAgainFinishesTheOpenFile) {
  const std::vector<int16_t> s = Samples(100);
  encoder.Prepare("", true);
  encoder.SetDtx(true);
  ASSERT_EQ(encoder.Open(dir / "a.amr"), 1);
  EXPECT_EQ(encoder.Open(dir / "b.amr"), 0) << "one file at a time";
  ASSERT_EQ(encoder.Encode(s.data(), 100), 1);
  encoder.Prepare("", true);
  EXPECT_FALSE(encoder.IsOpen());
  EXPECT_FALSE(encoder.Dtx());
  const AmrFrames frames = WalkAmrFrames(ReadFileBytes(dir / "a.amr"), false);
  ASSERT_TRUE(frames.ok) << frames.problem;
  EXPECT_EQ(frames.types.size(), 1u);
  EXPECT_FALSE(std::filesystem::exists(dir / "b.amr"));
}

TEST_F(AmrEncoderAlone, OpenRefusesModesAndPathsTheLibraryCannotTake) {
  encoder.Prepare("", true);
  encoder.SetNbMode(8);
  EXPECT_EQ(encoder.Open(dir / "a.amr"), 0);
  encoder.SetNbMode(-1);
  EXPECT_EQ(encoder.Open(dir / "a.amr"), 0);
  encoder.Prepare("", false);
  encoder.SetWbMode(9);
  EXPECT_EQ(encoder.Open(dir / "a.awb"), 0);
  encoder.SetWbMode(0);
  EXPECT_EQ(encoder.Open(dir / "missing/a.awb"), 0);
  EXPECT_EQ(testing::ListFolder(dir.path()), "");
  EXPECT_EQ(encoder.Open(dir / "a.awb"), 1);
  EXPECT_TRUE(encoder.Close());
}

TEST_F(AmrEncoderAlone, AFailedWriteFailsEveryLaterCallAndTheFinish) {
  const std::vector<int16_t> s = Samples(1600);
  encoder.Prepare("", true);
  encoder.SetNbMode(7);
  ClearFailureNote();
  bool written = true;
  {
    testing::FileSizeLimit full(100);
    ASSERT_EQ(encoder.Open(dir / "full.amr"), 1);
    for (int i = 0; i < 10 && written; ++i) written = encoder.WritePcm(s.data(), nullptr, 160);
  }
  EXPECT_FALSE(written);
  EXPECT_NE(GetFailureNote().find("disk may be full"), std::string::npos) << GetFailureNote();
  EXPECT_EQ(encoder.Encode(s.data(), 1600), 0);
  EXPECT_FALSE(encoder.Finish());
  EXPECT_FALSE(encoder.IsOpen());
}

}  // namespace
}  // namespace sonorell
