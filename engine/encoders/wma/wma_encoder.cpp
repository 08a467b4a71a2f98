#include "engine/encoders/wma/wma_encoder.h"

#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/encoders/wma/build_profile_list.h"
#include "engine/encoders/wma/wma_file_writer.h"
#include "engine/encoders/wma/wma_gain_tags.h"
#include "engine/sources/failure_note.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {

WmaDecision DecideWma(const Settings& s, const PcmFormat& source) {
  WmaDecision d;
  PcmFormat input = source;
  if (s.AutoDestWMAEncodingParam != 0) {
    d.wanted = AutoWmaWanted(source.rate, source.channels);
  } else {
    d.wanted = {s.WMASampleRate, s.WMABitRate, s.WMAChannels};
    if (s.WMAChannels < source.channels && s.MonoType > 0) input.channels = 1;
  }
  d.plan = PlanConditioning(source, input, s.MonoType, s.AmplifyWMA != 0, s.AmplifyWMACoeff);
  return d;
}

int EncodeWmaFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  if (!platform::WmRuntimeLoaded()) {
    SetFailureNote("the Windows Media runtime is not available");
    return 0;
  }
  WmaProfileList& list = SharedWmaProfileList();
  // The runtime may have been loaded by a WMA input before any WMA run filled the list.
  if (list.Empty()) BuildProfileList(list);

  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate = s.AutoDestWMAEncodingParam != 0 ? 44100 : s.WMASampleRate;
  recipe.replayGain = ReplayGainUnder(s.WMAID3TagType, s.WmaTags.ReplayGain);
  recipe.writeGains = WriteWmaGainTags;
  WmaProfileEntry chosen;
  recipe.plan = [&](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    const WmaDecision decision = DecideWma(s, delivered);
    const std::optional<WmaProfileEntry> entry = SelectProfile(list, decision.wanted);
    if (!entry) {
      SetFailureNote(std::string("the Windows Media runtime offers no ") +
                     (decision.wanted.channels == 1 ? "mono" : "stereo") + " WMA encoding");
      return false;
    }
    chosen = *entry;
    plan = decision.plan;
    return true;
  };
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan& plan,
                          AudioSource& source) -> std::unique_ptr<FormatWriter> {
    auto writer = std::make_unique<WmaFileWriter>();
    // The runtime writes the staged file itself; it is renamed into place on success.
    out.HandOverToLibrary();
    writer->SetPath(out.TempPath());
    writer->SetInput(plan.output.rate, plan.output.bits, plan.output.channels);
    writer->SetProfile(chosen);
    const std::optional<TagRecord> tags =
        OutputTags(s.WMAID3TagType, s.WmaTags, inputType, sourcePath, source, context);
    if (tags) writer->SetTags(*tags);
    writer->SetExtras(OutputExtras(s.WMAID3TagType, s.WmaTags, inputType, sourcePath, context),
                      context.notes);
    if (!writer->Begin()) {
      SetFailureNote("the Windows Media writer refused " +
                     std::to_string(chosen.format.sampleRate) + " Hz at " +
                     std::to_string(chosen.bitRate / 1000) +
                     " kbps, or the file could not be made");
      return nullptr;
    }
    return writer;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
