#include "engine/encoders/encode_pipeline.h"

#include "engine/encoders/block_conditioner.h"
#include "engine/encoders/block_pump.h"
#include "engine/sources/source_factory.h"

namespace sonorell {

int RunEncode(const EncodeRecipe& recipe, InputTypeCode inputType, const std::string& sourcePath,
              const std::string& targetPath, ConvertProgress& progress) {
  std::unique_ptr<AudioSource> source =
      CreateAudioSource(sourcePath, inputType, recipe.renderingRate, /*forConversion=*/true);
  if (!source) return 0;

  ConditioningPlan plan;
  if (!recipe.plan(*source, plan)) return 0;

  StagedOutput out;
  if (!out.Open(targetPath)) return 0;
  std::unique_ptr<FormatWriter> writer = recipe.openWriter(out, plan, *source);
  if (!writer) return 0;

  BlockConditioner conditioner;
  if (!conditioner.Open(plan, *writer)) return 0;
  if (PumpSourceBlocks(*source, inputType, sourcePath, progress, conditioner) !=
      PumpResult::kFinished) {
    return 0;  // the staged file goes with `out`
  }
  source.reset();
  if (!conditioner.Finish() || !writer->Finish()) return 0;
  writer.reset();
  return out.Commit(sourcePath) ? 1 : 0;
}

}  // namespace sonorell
