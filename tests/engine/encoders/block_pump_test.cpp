#include "engine/encoders/block_pump.h"

#include <gtest/gtest.h>

#include "engine/encoders/file_progress.h"
#include "tests/support/generated_source.h"
#include "tests/support/recording_progress.h"

namespace sonorell {
namespace {

using testing::GeneratedSource;
using testing::RecordingProgress;

class CountingConsumer : public BlockConsumer {
 public:
  bool Consume(const void* left, const void* right, int frames) override {
    ++blocks;
    totalFrames += frames;
    sawRight = sawRight || right != nullptr;
    EXPECT_NE(left, nullptr);
    return blocks != failAtBlock;
  }
  int blocks = 0;
  int64_t totalFrames = 0;
  int failAtBlock = -1;
  bool sawRight = false;
};

// A synthesised source that never stops delivering, like a looping tracker module.
class EndlessSource : public GeneratedSource {
 public:
  EndlessSource() : GeneratedSource(Shape{.frames = 1L << 40}) {}
  bool Open(const std::string& p, int r) override {
    const bool ok = GeneratedSource::Open(p, r);
    length_ = 1152 * 4 * 10;  // ten blocks' worth
    return ok;
  }
};

// A broken decoder that claims more frames than a block can hold.
class OverlongSource : public GeneratedSource {
 public:
  OverlongSource() : GeneratedSource(Shape{}) {}
  int Read(void* l, void* r) override { return GeneratedSource::Read(l, r) ? 5000 : 0; }
};

TEST(BlockPump, DeliversEveryFrameAndShowsCompletion) {
  GeneratedSource source({.frames = 10000, .channels = 1});
  ASSERT_TRUE(source.Open("", 0));
  RecordingProgress progress;
  CountingConsumer consumer;
  EXPECT_EQ(PumpSourceBlocks(source, kInputWav, "/x/mono.wav", progress, consumer),
            PumpResult::kFinished);
  EXPECT_EQ(consumer.totalFrames, 10000);
  EXPECT_FALSE(consumer.sawRight);  // mono sources get no right buffer
  EXPECT_EQ(progress.pumps, consumer.blocks);
  EXPECT_EQ(progress.fileLines.back(), "Converting mono.wav...100%");
}

TEST(BlockPump, CancelStopsBeforeTheBlockIsEncoded) {
  GeneratedSource source({.frames = 100000});
  ASSERT_TRUE(source.Open("", 0));
  RecordingProgress progress;
  progress.onPump = [](RecordingProgress& p) { p.cancel = p.pumps == 3; };
  CountingConsumer consumer;
  EXPECT_EQ(PumpSourceBlocks(source, kInputWav, "a.wav", progress, consumer),
            PumpResult::kCancelled);
  EXPECT_EQ(consumer.blocks, 2);
}

TEST(BlockPump, EncoderErrorFailsTheFile) {
  GeneratedSource source({.frames = 100000});
  ASSERT_TRUE(source.Open("", 0));
  RecordingProgress progress;
  CountingConsumer consumer;
  consumer.failAtBlock = 4;
  EXPECT_EQ(PumpSourceBlocks(source, kInputWav, "a.wav", progress, consumer), PumpResult::kFailed);
  EXPECT_EQ(consumer.blocks, 4);
}

TEST(BlockPump, SynthesisedInputsEndAtTheirLength) {
  for (InputTypeCode code : {kInputTrackerModule, kInputMidi}) {
    EndlessSource source;
    ASSERT_TRUE(source.Open("", 0));
    RecordingProgress progress;
    CountingConsumer consumer;
    EXPECT_EQ(PumpSourceBlocks(source, code, "a.it", progress, consumer), PumpResult::kFinished);
    EXPECT_EQ(consumer.blocks, 10);
  }
}

TEST(BlockPump, OrdinaryInputsRunUntilTheDataEndsEvenPastTheLength) {
  GeneratedSource source({.frames = 20000, .reportNoLength = true});
  ASSERT_TRUE(source.Open("", 0));
  RecordingProgress progress;
  CountingConsumer consumer;
  EXPECT_EQ(PumpSourceBlocks(source, kInputFlac, "a.flac", progress, consumer),
            PumpResult::kFinished);
  EXPECT_EQ(consumer.totalFrames, 20000);
  EXPECT_EQ(progress.fileLines.back(), "Converting a.flac...100%");
}

TEST(BlockPump, DecoderClaimingAnOverlongBlockIsAFailureNotAnOverrun) {
  OverlongSource source;
  ASSERT_TRUE(source.Open("", 0));
  RecordingProgress progress;
  CountingConsumer consumer;
  EXPECT_EQ(PumpSourceBlocks(source, kInputWav, "a.wav", progress, consumer), PumpResult::kFailed);
  EXPECT_EQ(consumer.blocks, 0);
}

// The wide read of a source that holds no more than its designed blocks: the same samples,
// 8-bit ones moved up to 16 bits, in 32-bit cells; and the pump keeps such a source on the
// designed read even for a lossless output, so its format is the designed one.
TEST(BlockPump, DesignedSourcesWidenToSixteenBits) {
  for (const int bits : {8, 16}) {
    GeneratedSource designed(GeneratedSource::Shape{.frames = 100, .bits = bits});
    GeneratedSource wide(GeneratedSource::Shape{.frames = 100, .bits = bits});
    ASSERT_TRUE(designed.Open("", 0) && wide.Open("", 0));
    int16_t left16[BlockFrames];
    int16_t right16[BlockFrames];
    int32_t left32[BlockFrames];
    int32_t right32[BlockFrames];
    ASSERT_EQ(designed.Read(left16, right16), 100);
    ASSERT_EQ(wide.ReadWide(left32, right32), 100);
    EXPECT_EQ(wide.GetWideBits(), 16);
    const auto* left8 = reinterpret_cast<const uint8_t*>(left16);
    const auto* right8 = reinterpret_cast<const uint8_t*>(right16);
    for (int i = 0; i < 100; ++i) {
      EXPECT_EQ(left32[i], bits == 16 ? left16[i] : (left8[i] - 128) * 256) << bits << " " << i;
      EXPECT_EQ(right32[i], bits == 16 ? right16[i] : (right8[i] - 128) * 256) << bits << " " << i;
    }
    EXPECT_EQ(DeliveredFormat(wide, BlockWidth::kWide).bits, bits);
  }
}

TEST(FileProgress, PercentAndBarFollowThePositionAndNeverOvershoot) {
  RecordingProgress progress(7);
  FileProgress fp(progress, "/m/a b.mp3", 1000);
  EXPECT_EQ(progress.fileBarRange, 7);
  fp.Update(5);  // below one percent: nothing to rewrite
  EXPECT_TRUE(progress.fileLines.empty());
  fp.Update(10);
  fp.Update(15);    // same whole percent: no rewrite
  fp.Update(2000);  // past the end: capped
  EXPECT_EQ(progress.fileLines,
            (std::vector<std::string>{"Converting a b.mp3...1%", "Converting a b.mp3...100%"}));
  EXPECT_EQ(progress.fileBarPositions.back(), 7);
  fp.Complete();  // already at 100: nothing more
  EXPECT_EQ(progress.fileLines.size(), 2u);
}

TEST(FileProgress, ZeroWidthAndZeroLengthAreSafe) {
  RecordingProgress progress(0);
  FileProgress fp(progress, "a.wav", 0);
  EXPECT_EQ(progress.fileBarRange, 1);
  fp.Update(0);
  fp.Update(UINT64_MAX);
  for (int pos : progress.fileBarPositions) EXPECT_LE(pos, 1);
  fp.Complete();
  EXPECT_EQ(progress.fileLines.back(), "Converting a.wav...100%");
}

TEST(FileProgress, HugeLengthsDoNotOverflow) {
  RecordingProgress progress(500);
  FileProgress fp(progress, "a.wav", UINT64_MAX - 1);
  fp.Update(UINT64_MAX / 2);
  EXPECT_EQ(progress.fileLines.back(), "Converting a.wav...50%");
  EXPECT_EQ(progress.fileBarPositions.back(), 250);
}

}  // namespace
}  // namespace sonorell
