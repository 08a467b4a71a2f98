#include "engine/encoders/flac/flac_encoder.h"

#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/flac/flac_gain_tags.h"
#include "engine/encoders/flac/flac_split.h"
#include "engine/encoders/flac/flac_writer.h"
#include "engine/encoders/tags/flac_picture_block.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"
#include "engine/sources/failure_note.h"

namespace sonorell {

ConditioningPlan PlanFlacOutput(const Settings& s, const PcmFormat& delivered) {
  const int channels = (s.FLACChannels == 1 || s.FLACChannels == 2) ? s.FLACChannels : 0;
  const PcmFormat wanted{s.FLACSampleRate > 0 ? s.FLACSampleRate : 0, channels,
                         delivered.bits > 16 ? 24 : 16};
  return PlanConditioning(delivered, wanted, s.MonoType, s.AmplifyFLAC != 0, s.AmplifyFLACCoeff);
}

int EncodeFlacFile(InputTypeCode inputType, const std::string& sourcePath,
                   const std::string& targetPath, ConvertProgress& progress,
                   const EncodeContext& context) {
  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate = s.FLACSampleRate > 0 ? s.FLACSampleRate : 44100;
  recipe.width = BlockWidth::kWide;
  recipe.replayGain = ReplayGainUnder(s.FLACID3TagType, s.FlacTags.ReplayGain);
  recipe.writeGains = WriteFlacGainTags;
  recipe.plan = [&s](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    plan = PlanFlacOutput(s, delivered);
    return CheckRatesConvertible(delivered.rate, plan.output.rate, "a FLAC file");
  };
  const auto openFlac = [&](StagedOutput& out, const ConditioningPlan& plan,
                           AudioSource& source) -> std::unique_ptr<FlacWriter> {
    FlacStreamSetup setup;
    setup.format = plan.output;
    setup.level = s.FLACCompression;
    if (source.GetDuration() > 0) {
      setup.totalFrames =
          static_cast<uint64_t>(source.GetDuration()) * static_cast<uint64_t>(plan.output.rate);
    }
    if (const std::optional<TagRecord> tags =
            OutputTags(s.FLACID3TagType, s.FlacTags, inputType, sourcePath, source, context)) {
      setup.comments = VorbisCommentFields(*tags);
    }
    ExtraTags extras = OutputExtras(s.FLACID3TagType, s.FlacTags, inputType, sourcePath, context);
    for (CommentField& field : VorbisExtraFields(extras))
      setup.comments.push_back(std::move(field));
    if (extras.cover && FlacPictureBlockLength(*extras.cover) > kLongestFlacBlock) {
      if (context.notes != nullptr) context.notes->coverNote = "it is larger than FLAC holds";
    } else {
      setup.picture = std::move(extras.cover);
    }
    // Room for the gain tags written once the file is finished.
    if (recipe.replayGain != 0) setup.padding = kFlacGainPadding;
    auto writer = std::make_unique<FlacWriter>(out);
    if (!writer->Open(setup)) {
      if (!out.Failed()) {
        SetFailureNote("the FLAC encoder refused " + std::to_string(plan.output.rate) + " Hz " +
                       std::to_string(plan.output.bits) + "-bit " +
                       (plan.output.channels == 2 ? "stereo" : "mono"));
      }
      return nullptr;
    }
    return writer;
  };
  recipe.openWriter = openFlac;
  recipe.openSplit = [&](StagedOutput& out, const ConditioningPlan& plan,
                         AudioSource& source) -> std::optional<SplitFormat> {
    std::unique_ptr<FlacWriter> writer = openFlac(out, plan, source);
    if (!writer) return SplitFormat{};  // no joiner: the file fails with the writer's note
    return FlacSplitFormat(std::move(writer), plan.output, s.FLACCompression);
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
