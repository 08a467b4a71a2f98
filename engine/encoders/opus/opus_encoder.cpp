#include "engine/encoders/opus/opus_encoder.h"

#include <optional>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/ogg_stream_serial.h"
#include "engine/encoders/opus/opus_gain_tags.h"
#include "engine/encoders/opus/opus_split.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {
namespace {

// libopusenc's pages go to the staged output; a failed write is remembered there (with its
// reason as the failure note) and stops the file at the next block.
int WritePage(void* output, const unsigned char* data, opus_int32 size) {
  return static_cast<StagedOutput*>(output)->Write(data, static_cast<size_t>(size)) ? 0 : 1;
}

// The staged output is closed by its own owner.
int KeepOpen(void*) {
  return 0;
}

constexpr OpusEncCallbacks kCallbacks{WritePage, KeepOpen};

}  // namespace

bool OggOpusWriter::Open(int rate, int channels, const OpusParameters& parameters, int serial,
                         const std::vector<CommentField>& comments) {
  return encoder_.Open(kCallbacks, &out_, rate, channels, parameters, serial, comments);
}

bool OggOpusWriter::WritePcm(const void* left, const void* right, int frames) {
  return encoder_.Write(left, right, frames) && !out_.Failed();
}

bool OggOpusWriter::Finish() {
  return encoder_.Drain() && !out_.Failed();
}

int EncodeOpusFile(InputTypeCode inputType, const std::string& sourcePath,
                   const std::string& targetPath, ConvertProgress& progress,
                   const EncodeContext& context) {
  const Settings& s = context.settings;
  EncodeRecipe recipe;
  recipe.renderingRate = kOpusStreamRate;  // synthesised inputs: the rate Opus decodes at
  recipe.replayGain = ReplayGainUnder(s.OpusID3TagType, s.OpusTags.ReplayGain);
  recipe.writeGains = WriteOpusGainTags;
  OpusParameters parameters;
  recipe.plan = [&](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    parameters = DecideOpusParameters(s, delivered);
    // The rate stays the source's: libopusenc makes it 48 kHz.
    const PcmFormat wanted{0, parameters.channels, 16};
    plan = PlanConditioning(delivered, wanted, s.MonoType, s.AmplifyOpus != 0, s.AmplifyOpusCoeff);
    return true;
  };
  // The comments and the stream serial, decided once whichever writer the file gets.
  std::optional<std::vector<CommentField>> comments;
  int serial = 0;
  const auto decideStream = [&](AudioSource& source) {
    if (comments) return;
    const std::optional<TagRecord> tags =
        OutputTags(s.OpusID3TagType, s.OpusTags, inputType, sourcePath, source, context);
    const ExtraTags extras =
        OutputExtras(s.OpusID3TagType, s.OpusTags, inputType, sourcePath, context);
    comments = OggCommentFields(tags ? &*tags : nullptr, extras);
    serial = NextOggStreamSerial();
  };
  recipe.openSplit = [&](StagedOutput& out, const ConditioningPlan& plan, AudioSource& source) {
    decideStream(source);
    return OpenOpusSplit(out, plan.output.rate, plan.output.channels, parameters, serial,
                         *comments);
  };
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan& plan,
                          AudioSource& source) -> std::unique_ptr<FormatWriter> {
    decideStream(source);
    auto writer = std::make_unique<OggOpusWriter>(out);
    if (!writer->Open(plan.output.rate, plan.output.channels, parameters, serial, *comments)) {
      return nullptr;
    }
    return writer;
  };
  return RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
