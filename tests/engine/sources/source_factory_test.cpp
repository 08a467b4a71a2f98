#include "engine/sources/source_factory.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "engine/sources/failure_note.h"
#include "platform/wmf/wm_runtime.h"
#include "tests/support/no_wm_runtime.h"

namespace sonorell {
namespace {

using testing::NoWmRuntime;

// Decoders that open only when told to, and remember who was asked and who is alive.
struct Bench {
  std::set<DecoderKind> accepting;
  std::set<DecoderKind> unbuilt;
  std::vector<DecoderKind> attempts;
  std::vector<bool> conversionFlags;
  int alive = 0;
  int maxAlive = 0;

  DecoderMaker Maker() {
    return [this](DecoderKind kind, bool forConversion) -> std::unique_ptr<AudioSource> {
      attempts.push_back(kind);
      conversionFlags.push_back(forConversion);
      if (unbuilt.count(kind)) return nullptr;
      return std::make_unique<Fake>(*this, accepting.count(kind) > 0, kind);
    };
  }

  class Fake : public AudioSource {
   public:
    Fake(Bench& bench, bool accept, DecoderKind kind)
        : bench_(bench), accept_(accept), kind_(kind) {
      bench_.maxAlive = std::max(bench_.maxAlive, ++bench_.alive);
    }
    ~Fake() override { --bench_.alive; }
    void Close() override {}
    bool Open(const std::string&, int rate) override {
      renderingRate = rate;
      return accept_;
    }
    int Read(void*, void*) override { return 0; }
    DecoderKind kind() const { return kind_; }
    int renderingRate = -1;

   private:
    Bench& bench_;
    bool accept_;
    DecoderKind kind_;
  };
};

using D = DecoderKind;

DecoderKind KindOf(const std::unique_ptr<AudioSource>& s) {
  return static_cast<const Bench::Fake&>(*s).kind();
}

TEST(SourceFactory, WavRefusedByTheLibrariesIsReadByTheOwnParserLast) {
  Bench bench;
  bench.accepting = {D::kWav};
  auto source = CreateAudioSourceWith(bench.Maker(), "/a/gsm.wav", kInputWav, 44100, true);
  ASSERT_TRUE(source);
  EXPECT_EQ(KindOf(source), D::kWav);
  EXPECT_EQ(bench.attempts, (std::vector<D>{D::kBass, D::kFfmpeg, D::kWav}));
  EXPECT_EQ(bench.maxAlive, 1) << "each refusing decoder goes before the next is made";
  EXPECT_EQ(bench.alive, 1);
}

TEST(SourceFactory, UnknownExtensionGoesToFfmpegAlone) {
  Bench bench;
  ClearFailureNote();
  EXPECT_FALSE(CreateAudioSourceWith(bench.Maker(), "/a/x.xyz", kInputOther, 0, true));
  EXPECT_EQ(bench.attempts, (std::vector<D>{D::kFfmpeg}));
  EXPECT_EQ(GetFailureNote(), kNoDecoderNote);
  EXPECT_EQ(bench.alive, 0);
}

TEST(SourceFactory, SpeexTriesFfmpegThenBass) {
  Bench bench;
  bench.accepting = {D::kBass};
  auto source = CreateAudioSourceWith(bench.Maker(), "/a/x.spx", kInputSpeex, 0, false);
  ASSERT_TRUE(source);
  EXPECT_EQ(bench.attempts, (std::vector<D>{D::kFfmpeg, D::kBass}));
}

TEST(SourceFactory, EachInputTypeFollowsItsOwnOrder) {
  struct Case {
    InputTypeCode code;
    std::vector<D> order;
  } cases[] = {
      {kInputMp3, {D::kBass, D::kFfmpeg}},
      {kInputMidi, {D::kBass, D::kFfmpeg}},
      {kInputMp4, {D::kBass, D::kFfmpeg}},
      {kInputOgg, {D::kOggVorbis, D::kBass, D::kFfmpeg}},
      {kInputSunAudio, {D::kAu, D::kFfmpeg}},
      {kInputAiff, {D::kAiff, D::kBass, D::kFfmpeg}},
      {kInputWav, {D::kBass, D::kFfmpeg, D::kWav}},
      {1234, {D::kFfmpeg}},
  };
  for (const Case& c : cases) {
    Bench bench;
    EXPECT_FALSE(CreateAudioSourceWith(bench.Maker(), "/x", c.code, 0, false));
    EXPECT_EQ(bench.attempts, c.order) << "input type " << c.code;
  }
}

TEST(SourceFactory, IntakeNeverWritesTheNoteButConversionDoes) {
  Bench bench;
  SetFailureNote("left by intake");
  EXPECT_FALSE(CreateAudioSourceWith(bench.Maker(), "/x.mp3", kInputMp3, 0, false));
  EXPECT_EQ(GetFailureNote(), "left by intake");
  EXPECT_FALSE(CreateAudioSourceWith(bench.Maker(), "/x.mp3", kInputMp3, 44100, true));
  EXPECT_EQ(GetFailureNote(), kNoDecoderNote);
}

TEST(SourceFactory, ModeAndRenderingRateReachTheDecoders) {
  Bench bench;
  bench.accepting = {D::kFfmpeg};
  auto probe = CreateAudioSourceWith(bench.Maker(), "/x.mkv", kInputOther, 0, false);
  auto convert = CreateAudioSourceWith(bench.Maker(), "/x.mkv", kInputOther, 22050, true);
  EXPECT_EQ(bench.conversionFlags, (std::vector<bool>{false, true}));
  EXPECT_EQ(static_cast<Bench::Fake&>(*convert).renderingRate, 22050);
}

TEST(SourceFactory, DecoderMissingFromTheBuildCountsAsARefusal) {
  Bench bench;
  bench.unbuilt = {D::kBass, D::kFfmpeg};
  bench.accepting = {D::kWav, D::kBass};
  auto source = CreateAudioSourceWith(bench.Maker(), "/a.wav", kInputWav, 0, true);
  ASSERT_TRUE(source);
  EXPECT_EQ(KindOf(source), D::kWav);
}

TEST(SourceFactory, WindowsMediaWithoutTheRuntimeAsksAndFallsBack) {
  const NoWmRuntime absent;
  if (platform::WmRuntimeLoaded()) GTEST_SKIP() << "the runtime was loaded earlier in this process";
  Bench bench;
  int asked = 0;
  int refreshed = 0;
  SourceFactoryHooks hooks{[&] { ++asked; }, [&] { ++refreshed; }};
  EXPECT_FALSE(CreateAudioSourceWith(bench.Maker(), "/a.wma", kInputWindowsMedia, 0, false, hooks));
  EXPECT_EQ(bench.attempts, (std::vector<D>{D::kBass, D::kFfmpeg}));
  EXPECT_EQ(asked, 1);  // asked in intake mode too
  EXPECT_EQ(refreshed, 0);
  EXPECT_EQ(PlanFor(kInputWindowsMedia, true).first, D::kWindowsMedia);
}

// Lossless outputs want the decoders with a wide read first; rendered inputs keep theirs.
TEST(SourceFactory, WideOrderPutsTheWideReadersFirst) {
  const struct {
    InputTypeCode code;
    std::vector<D> attempts;
  } cases[] = {
      {kInputFlac, {D::kFfmpeg, D::kBass}},
      {kInputWav, {D::kWav, D::kFfmpeg, D::kBass}},
      {kInputAiff, {D::kAiff, D::kFfmpeg, D::kBass}},
      {kInputSunAudio, {D::kAu, D::kFfmpeg}},
      {kInputOgg, {D::kOggVorbis, D::kFfmpeg, D::kBass}},
      {kInputMidi, {D::kBass, D::kFfmpeg}},
      {kInputTrackerModule, {D::kBass, D::kFfmpeg}},
      {kInputOther, {D::kFfmpeg}},
  };
  for (const auto& c : cases) {
    Bench bench;
    EXPECT_FALSE(CreateWideAudioSourceWith(bench.Maker(), "/a", c.code, 44100));
    EXPECT_EQ(bench.attempts, c.attempts) << c.code;
  }
}

TEST(SourceFactory, BuiltInFactoryRefusesWhatNoDecoderOfThisBuildReads) {
  ClearFailureNote();
  EXPECT_FALSE(CreateAudioSource("/nonexistent/sonorell/a.xyz", kInputOther, 0, true));
  EXPECT_EQ(GetFailureNote(), kNoDecoderNote);
}

}  // namespace
}  // namespace sonorell
