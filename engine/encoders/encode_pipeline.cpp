#include "engine/encoders/encode_pipeline.h"

#include "engine/dsp/sample_width.h"
#include "engine/encoders/block_conditioner.h"
#include "engine/encoders/block_pump.h"
#include "engine/encoders/loudness_meter.h"
#include "engine/encoders/split/split_choice.h"
#include "engine/encoders/split/split_writer.h"
#include "engine/sources/failure_note.h"
#include "engine/sources/source_factory.h"

namespace sonorell {
namespace {

// Counts the seconds of the source's blocks on their way into the conditioning.
class CountingConsumer : public BlockConsumer {
 public:
  CountingConsumer(BlockConsumer& next, int rate, double& seconds)
      : next_(next), rate_(rate), seconds_(seconds) {}
  bool Consume(const void* left, const void* right, int frames) override {
    if (frames > 0 && rate_ > 0) seconds_ += static_cast<double>(frames) / rate_;
    return next_.Consume(left, right, frames);
  }
  bool Reformat(const PcmFormat& source) override {
    rate_ = source.rate;
    return next_.Reformat(source);
  }

 private:
  BlockConsumer& next_;
  int rate_;
  double& seconds_;
};

// Counts and digests the conditioned PCM on its way into the writer.
class TallyingSink : public PcmSink {
 public:
  TallyingSink(PcmSink& next, EncodeTally& tally) : next_(next), tally_(tally) {}
  bool WritePcm(const void* left, const void* right, int frames) override {
    if (frames > 0) {
      tally_.outputFrames += static_cast<uint64_t>(frames);
      if (!tally_.skipDigest)
        tally_.digest.Add(left, right, frames, tally_.output.channels,
                          SampleBytes(tally_.output.bits));
    }
    return next_.WritePcm(left, right, frames);
  }

 private:
  PcmSink& next_;
  EncodeTally& tally_;
};

// Tags the finished staged file with the track's gain (none for silence or less than
// 400 ms of audio, when old gain tags are still removed) and hands the measure on for
// the album's.
bool WriteTrackGains(const EncodeRecipe& recipe, LoudnessMeter& meter, StagedOutput& out,
                     const EncodeContext& context) {
  GainTags gains;
  if (const std::optional<double> lufs = meter.Blocks().Integrated()) {
    gains.track = Loudness{*lufs, meter.Peak()};
  }
  if (context.notes) {
    context.notes->loudnessBlocks = meter.Blocks();
    context.notes->samplePeak = meter.Peak();
  }
  out.HandOverToLibrary();
  return !out.Failed() && recipe.writeGains(out.TempPath(), gains);
}

}  // namespace

int RunEncode(const EncodeRecipe& recipe, InputTypeCode inputType, const std::string& sourcePath,
              const std::string& targetPath, ConvertProgress& progress,
              const EncodeContext& context) {
  std::unique_ptr<AudioSource> source =
      recipe.width == BlockWidth::kWide
          ? CreateWideAudioSource(sourcePath, inputType, recipe.renderingRate)
          : CreateAudioSource(sourcePath, inputType, recipe.renderingRate, /*forConversion=*/true);
  if (!source) return 0;

  ConditioningPlan plan;
  if (!recipe.plan(*source, DeliveredFormat(*source, recipe.width), plan)) return 0;

  StagedOutput out;
  if (!out.Open(targetPath)) return 0;
  std::unique_ptr<FormatWriter> writer;
  if (const int threads = SplitThreads(context.settings, context.cores, source->GetDuration());
      threads > 1 && recipe.openSplit) {
    if (std::optional<SplitFormat> split = recipe.openSplit(out, plan, *source)) {
      writer = std::make_unique<SplitWriter>(plan.output, std::move(*split), threads);
    }
  }
  if (!writer) writer = recipe.openWriter(out, plan, *source);
  if (!writer) return 0;

  EncodeTally* tally = context.tally;
  EncodeTally unused;
  EncodeTally& counts = tally ? *tally : unused;
  const bool skipDigest = counts.skipDigest;
  counts = EncodeTally{};
  counts.output = plan.output;
  counts.skipDigest = skipDigest;
  // conditioner -> [loudness meter] -> [tally] -> writer
  LoudnessMeter meter(*writer);
  const bool measure = recipe.replayGain != 0 && recipe.writeGains && meter.Open(plan.output);
  PcmSink& measured = measure ? static_cast<PcmSink&>(meter) : *writer;
  TallyingSink tallying(measured, counts);
  BlockConditioner conditioner;
  if (!conditioner.Open(plan, tally ? static_cast<PcmSink&>(tallying) : measured)) {
    SetFailureNote("the sample converter could not be set up for this file");
    return 0;
  }
  CountingConsumer counting(conditioner, plan.source.rate, counts.sourceSeconds);
  const PumpResult pumped =
      PumpSourceBlocks(*source, inputType, sourcePath, progress,
                       tally ? static_cast<BlockConsumer&>(counting) : conditioner, recipe.width);
  const bool keptPartial = pumped == PumpResult::kBrokenOff && context.settings.KeepDamaged != 0;
  if (pumped != PumpResult::kFinished && !keptPartial) {
    return 0;  // the staged file goes with `out`
  }
  // The note of a kept partial output outlives what follows; a failure replaces it.
  const std::string partialNote =
      keptPartial ? std::string(kPartialNotePrefix) + GetFailureNote() : std::string();
  source.reset();
  if (!conditioner.Finish() || !writer->Finish()) return 0;
  writer.reset();
  if (measure && !WriteTrackGains(recipe, meter, out, context)) return 0;
  if (!out.Commit(sourcePath)) return 0;
  if (keptPartial) SetFailureNote(partialNote);
  return 1;
}

}  // namespace sonorell
