#include "engine/encoders/aac/aac_encoder.h"

#include <memory>

#include "engine/encoders/aac/aac_encoder_setup.h"
#include "engine/encoders/aac/aac_encoding_options.h"
#include "engine/encoders/aac/aac_file_writer.h"
#include "engine/encoders/aac/aac_split_format.h"
#include "engine/encoders/aac/adts_file_sink.h"
#include "engine/encoders/aac/mp4_aac_track.h"
#include "engine/encoders/aac/mp4_aac_writer.h"
#include "engine/encoders/aac/mp4_gain_tags.h"
#include "engine/encoders/encode_pipeline.h"
#include "engine/encoders/tags/output_extras.h"
#include "engine/encoders/tags/output_tags.h"
#include "engine/encoders/tags/tag_mode.h"
#include "engine/paths/path_rules.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

// Synthesised inputs (modules, MIDI) are rendered at CD rate.
constexpr int kRenderingRate = 44100;

void NoteUnsupportedFormat(const PcmFormat& format) {
  SetFailureNote("the AAC encoder cannot take " + std::to_string(format.rate) + " Hz " +
                 (format.channels == 2 ? "stereo" : "mono") + " audio");
}

void NoteRefusedOptions(const AacEncodingOptions& options, const PcmFormat& format) {
  // AAC carries at most 6144 bits per channel in each 1024-sample frame.
  const long maxKbps = 6L * format.rate * format.channels / 1000;
  if (!options.automatic && !options.vbr && options.abrKbps > maxKbps) {
    SetFailureNote("AAC cannot carry " + std::to_string(options.abrKbps) + " kbps at " +
                   std::to_string(format.rate) + " Hz " +
                   (format.channels == 2 ? "stereo" : "mono") + "; choose at most " +
                   std::to_string(maxKbps) + " kbps");
  } else {
    SetFailureNote("the AAC encoder refuses the chosen options for this file");
  }
}

// Everything the two AAC outputs share: the source's rate and channels at 16 bits, the
// family's gain, and the encoder options applied between Open and Start.
EncodeRecipe AacRecipe(const AacEncodingOptions& options) {
  EncodeRecipe recipe;
  recipe.renderingRate = kRenderingRate;
  recipe.plan = [options](AudioSource&, const PcmFormat& delivered, ConditioningPlan& plan) {
    if (delivered.rate <= 0 || delivered.channels < 1 || delivered.channels > 2) {
      NoteUnsupportedFormat(delivered);
      return false;
    }
    plan = PlanConditioning(delivered, PcmFormat{delivered.rate, delivered.channels, 16},
                            /*monoType=*/0, options.amplify, options.coefficient);
    return true;
  };
  return recipe;
}

// Opens, configures and starts one of the two single-pass writers.
template <typename Writer, typename... OpenArgs>
std::unique_ptr<Writer> StartWriter(StagedOutput& out, const ConditioningPlan& plan,
                                    const AacEncodingOptions& options, OpenArgs... openArgs) {
  auto writer = std::make_unique<Writer>(out);
  switch (SetUpAacEncoder(*writer, plan.output, options, openArgs...)) {
    case AacSetUp::kStarted:
      return writer;
    case AacSetUp::kUnsupportedFormat:
      NoteUnsupportedFormat(plan.output);
      return nullptr;
    case AacSetUp::kRefusedOptions:
      NoteRefusedOptions(options, plan.output);
      return nullptr;
  }
  return nullptr;
}

// The M4A tags of the run, the cover and the room for gain tags, in the track of either
// path.
void TagTrack(Mp4AacTrack& track, const EncodeRecipe& recipe, InputTypeCode inputType,
              const std::string& sourcePath, AudioSource& source, const EncodeContext& context) {
  const Settings& s = context.settings;
  const std::optional<TagRecord> tags =
      OutputTags(s.M4AID3TagType, s.M4aTags, inputType, sourcePath, source, context);
  const ExtraTags extras = OutputExtras(s.M4AID3TagType, s.M4aTags, inputType, sourcePath, context);
  if (tags) track.SetTags(*tags, extras.trackTotal);
  if (std::string note = track.SetExtras(extras); !note.empty() && context.notes) {
    context.notes->coverNote = std::move(note);
  }
  if (recipe.replayGain != 0) track.ReserveTagRoom(kMp4GainRoom);
}

void NoteWriteFailureUnlessNoted() {
  if (GetFailureNote().empty()) {
    SetFailureNote("the AAC output could not be encoded or written; the disk may be full");
  }
}

int RunAac(const EncodeRecipe& recipe, InputTypeCode inputType, const std::string& sourcePath,
           const std::string& targetPath, ConvertProgress& progress, const EncodeContext& context) {
  ClearFailureNote();
  const int result = RunEncode(recipe, inputType, sourcePath, targetPath, progress, context);
  if (result == 0 && !progress.CancelRequested()) NoteWriteFailureUnlessNoted();
  return result;
}

}  // namespace

platform::Mp4Brand Mp4BrandFor(const std::string& targetPath) {
  const std::string extension = AsciiLower(ExtensionOf(targetPath));
  if (extension == ".m4a") return platform::Mp4Brand::kM4a;
  if (extension == ".m4b") return platform::Mp4Brand::kM4b;
  return platform::Mp4Brand::kMp4;
}

int EncodeAacFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  const AacEncodingOptions options = RawAacOptions(context.settings);
  EncodeRecipe recipe = AacRecipe(options);
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan& plan,
                          AudioSource&) -> std::unique_ptr<FormatWriter> {
    return StartWriter<AacFileWriter>(out, plan, options);
  };
  recipe.openSplit = [&](StagedOutput& out, const ConditioningPlan& plan,
                         AudioSource&) -> std::optional<SplitFormat> {
    return AacSplitFormat(plan.output, options, /*adts=*/true,
                          [&](const AacChunkEncoder&) -> std::unique_ptr<AacFrameSink> {
                            return std::make_unique<AdtsFileSink>(out);
                          });
  };
  return RunAac(recipe, inputType, sourcePath, targetPath, progress, context);
}

int EncodeMp4File(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context) {
  const Settings& s = context.settings;
  const AacEncodingOptions options = Mp4AacOptions(s);
  EncodeRecipe recipe = AacRecipe(options);
  recipe.replayGain = ReplayGainUnder(s.M4AID3TagType, s.M4aTags.ReplayGain);
  recipe.writeGains = WriteMp4GainTags;
  const platform::Mp4Brand brand = Mp4BrandFor(targetPath);
  recipe.openWriter = [&](StagedOutput& out, const ConditioningPlan& plan,
                          AudioSource& source) -> std::unique_ptr<FormatWriter> {
    std::unique_ptr<Mp4AacWriter> writer = StartWriter<Mp4AacWriter>(out, plan, options, brand);
    if (writer) TagTrack(writer->Track(), recipe, inputType, sourcePath, source, context);
    return writer;
  };
  recipe.openSplit = [&](StagedOutput& out, const ConditioningPlan& plan,
                         AudioSource& source) -> std::optional<SplitFormat> {
    return AacSplitFormat(
        plan.output, options, /*adts=*/false,
        [&](const AacChunkEncoder& probe) -> std::unique_ptr<AacFrameSink> {
          auto track = std::make_unique<Mp4AacTrack>(out);
          if (!track->Create(brand) ||
              !track->AddTrack(plan.output.rate, probe.FrameSize(), probe.DecoderSpecificInfo())) {
            return nullptr;
          }
          TagTrack(*track, recipe, inputType, sourcePath, source, context);
          return track;
        });
  };
  return RunAac(recipe, inputType, sourcePath, targetPath, progress, context);
}

}  // namespace sonorell
