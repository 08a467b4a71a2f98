// The cutting and joining every split format relies on, with a codec whose frames are the
// audio itself: whatever the file's length against the chunk, lead and tail, and however
// many threads, the joined stream holds every frame of the audio exactly once, in order.
#include <gtest/gtest.h>

#include <cstring>
#include <numeric>

#include "engine/encoders/split/frame_joiner.h"
#include "engine/encoders/split/split_writer.h"

namespace sonorell {
namespace {

constexpr int64_t kStep = 8;

// Frame j of a chunk holds its input's samples j*kStep .. (j+1)*kStep, the last one short.
class CopyEncoder : public ChunkEncoder {
 public:
  bool Write(const void* left, const void*, int frames) override {
    const auto* l = static_cast<const int16_t*>(left);
    input_.insert(input_.end(), l, l + frames);
    return true;
  }
  bool Finish(EncodedChunk& chunk) override {
    for (size_t at = 0; at < input_.size(); at += kStep) {
      const size_t n = std::min<size_t>(kStep, input_.size() - at);
      std::vector<uint8_t> unit(n * 2);
      std::memcpy(unit.data(), input_.data() + at, n * 2);
      chunk.units.push_back(std::move(unit));
    }
    return true;
  }

 private:
  std::vector<int16_t> input_;
};

class CopyJoiner : public FrameJoiner {
 public:
  explicit CopyJoiner(std::vector<int16_t>& out, int64_t& total) : out_(out), total_(total) {}

 protected:
  int64_t FirstFrame(const ChunkSpan& span) const override { return span.inputStart / kStep; }
  int64_t FrameAt(int64_t position) const override { return position / kStep; }
  // Cuts anywhere the two chunks overlap, not only at the nominal frame.
  int64_t ChooseCut(const EncodedChunk&, const EncodedChunk& later,
                    int64_t nominal) const override {
    return nominal + later.span.index % 3;
  }
  bool Emit(std::vector<uint8_t>& unit, int64_t) override {
    const size_t at = out_.size();
    out_.resize(at + unit.size() / 2);
    std::memcpy(out_.data() + at, unit.data(), unit.size());
    return true;
  }
  bool Close(int64_t totalFrames, int64_t) override {
    total_ = totalFrames;
    return true;
  }

 private:
  std::vector<int16_t>& out_;
  int64_t& total_;
};

TEST(SplitWriter, EveryFrameOnceInOrderWhateverTheLength) {
  SplitGrid grid;
  grid.stepFrames = kStep;
  grid.chunkFrames = 10 * kStep;
  grid.leadFrames = 3 * kStep;
  grid.tailFrames = 4 * kStep;
  const int64_t chunkInput = grid.chunkFrames + grid.tailFrames;
  for (const int threads : {1, 2, 3}) {
    for (const int64_t length :
         {int64_t{0}, int64_t{1}, kStep - 1, grid.chunkFrames - 1, grid.chunkFrames,
          grid.chunkFrames + 1, chunkInput - 1, chunkInput, chunkInput + 1, 2 * grid.chunkFrames,
          2 * grid.chunkFrames + grid.tailFrames, 37 * grid.chunkFrames + 5}) {
      SCOPED_TRACE("threads " + std::to_string(threads) + ", length " + std::to_string(length));
      std::vector<int16_t> audio(static_cast<size_t>(length));
      std::iota(audio.begin(), audio.end(), int16_t{1});
      std::vector<int16_t> joined;
      int64_t total = -1;
      SplitFormat split;
      split.grid = grid;
      split.openEncoder = [](const ChunkSpan&) { return std::make_unique<CopyEncoder>(); };
      split.joiner = std::make_unique<CopyJoiner>(joined, total);
      SplitWriter writer(PcmFormat{44100, 1, 16}, std::move(split), threads);
      // Blocks of an odd size, so chunk ends fall inside them.
      for (int64_t at = 0; at < length; at += 13) {
        const auto n = static_cast<int>(std::min<int64_t>(13, length - at));
        ASSERT_TRUE(writer.WritePcm(audio.data() + at, nullptr, n));
      }
      ASSERT_TRUE(writer.Finish());
      EXPECT_EQ(total, length);
      EXPECT_TRUE(joined == audio) << "joined " << joined.size() << " of " << audio.size();
    }
  }
}

// A chunk whose encoder fails fails the file, and a writer dropped with chunks in flight
// (a failure elsewhere, or Cancel) stops its threads.
TEST(SplitWriter, AFailedChunkFailsTheFileAndDroppingStopsTheThreads) {
  SplitGrid grid;
  grid.stepFrames = kStep;
  grid.chunkFrames = 4 * kStep;
  std::vector<int16_t> joined;
  int64_t total = -1;
  SplitFormat split;
  split.grid = grid;
  split.openEncoder = [](const ChunkSpan& span) -> std::unique_ptr<ChunkEncoder> {
    if (span.index == 5) return nullptr;
    return std::make_unique<CopyEncoder>();
  };
  split.joiner = std::make_unique<CopyJoiner>(joined, total);
  const std::vector<int16_t> audio(4096, 7);
  {
    SplitWriter writer(PcmFormat{44100, 1, 16}, std::move(split), 2);
    bool ok = true;
    for (int i = 0; i < 40 && ok; ++i) ok = writer.WritePcm(audio.data(), nullptr, 64);
    EXPECT_FALSE(ok && writer.Finish());
    EXPECT_FALSE(writer.WritePcm(audio.data(), nullptr, 64)) << "nothing after a failure";
  }
  EXPECT_EQ(total, -1) << "a failed file is never completed";

  SplitFormat dropped;
  dropped.grid = grid;
  dropped.openEncoder = [](const ChunkSpan&) { return std::make_unique<CopyEncoder>(); };
  dropped.joiner = std::make_unique<CopyJoiner>(joined, total);
  SplitWriter writer(PcmFormat{44100, 1, 16}, std::move(dropped), 3);
  for (int i = 0; i < 10; ++i) ASSERT_TRUE(writer.WritePcm(audio.data(), nullptr, 512));
}

}  // namespace
}  // namespace sonorell
