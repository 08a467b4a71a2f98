#include "engine/encoders/encode_pipeline.h"

#include "engine/encoders/block_conditioner.h"
#include "engine/encoders/block_pump.h"
#include "engine/sources/source_factory.h"

namespace sonorell {
namespace {

// Counts the source's blocks on their way into the conditioning.
class CountingConsumer : public BlockConsumer {
 public:
  CountingConsumer(BlockConsumer& next, uint64_t& frames) : next_(next), frames_(frames) {}
  bool Consume(const void* left, const void* right, int frames) override {
    frames_ += static_cast<uint64_t>(frames > 0 ? frames : 0);
    return next_.Consume(left, right, frames);
  }

 private:
  BlockConsumer& next_;
  uint64_t& frames_;
};

// Counts and digests the conditioned PCM on its way into the writer.
class TallyingSink : public PcmSink {
 public:
  TallyingSink(PcmSink& next, EncodeTally& tally) : next_(next), tally_(tally) {}
  bool WritePcm(const void* left, const void* right, int frames) override {
    if (frames > 0) {
      tally_.outputFrames += static_cast<uint64_t>(frames);
      tally_.digest.Add(left, right, frames, tally_.output.channels,
                        tally_.output.bits == 8 ? 1 : 2);
    }
    return next_.WritePcm(left, right, frames);
  }

 private:
  PcmSink& next_;
  EncodeTally& tally_;
};

}  // namespace

int RunEncode(const EncodeRecipe& recipe, InputTypeCode inputType, const std::string& sourcePath,
              const std::string& targetPath, ConvertProgress& progress, EncodeTally* tally) {
  std::unique_ptr<AudioSource> source =
      CreateAudioSource(sourcePath, inputType, recipe.renderingRate, /*forConversion=*/true);
  if (!source) return 0;

  ConditioningPlan plan;
  if (!recipe.plan(*source, plan)) return 0;

  StagedOutput out;
  if (!out.Open(targetPath)) return 0;
  std::unique_ptr<FormatWriter> writer = recipe.openWriter(out, plan, *source);
  if (!writer) return 0;

  EncodeTally unused;
  EncodeTally& counts = tally ? *tally : unused;
  counts = EncodeTally{};
  counts.sourceRate = plan.source.rate;
  counts.output = plan.output;
  TallyingSink tallying(*writer, counts);
  BlockConditioner conditioner;
  if (!conditioner.Open(plan, tally ? static_cast<PcmSink&>(tallying) : *writer)) return 0;
  CountingConsumer counting(conditioner, counts.sourceFrames);
  if (PumpSourceBlocks(*source, inputType, sourcePath, progress,
                       tally ? static_cast<BlockConsumer&>(counting) : conditioner) !=
      PumpResult::kFinished) {
    return 0;  // the staged file goes with `out`
  }
  source.reset();
  if (!conditioner.Finish() || !writer->Finish()) return 0;
  writer.reset();
  return out.Commit(sourcePath) ? 1 : 0;
}

}  // namespace sonorell
