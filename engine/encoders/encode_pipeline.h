#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "engine/encoders/block_pump.h"
#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/convert_progress.h"
#include "engine/encoders/encode_tally.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/split/chunk_codec.h"
#include "engine/encoders/staged_output.h"
#include "engine/encoders/tags/gain_tags.h"
#include "engine/sources/audio_source.h"
#include "engine/sources/input_type_code.h"

namespace sonorell {

// What one output format adds to the shared encode loop: the rate synthesised inputs are
// rendered at, how the output is decided from the opened source, and its writer.
struct EncodeRecipe {
  int renderingRate = 44100;
  // Lossless formats read sources wider than 16 bits at their own width.
  BlockWidth width = BlockWidth::kDesigned;
  // Decides the output for the source's delivered format. False refuses the file (after
  // leaving a failure note when there is a reason to tell).
  std::function<bool(AudioSource& source, const PcmFormat& delivered, ConditioningPlan& plan)> plan;
  // Opens the format's writer on the staged output; null fails the file.
  std::function<std::unique_ptr<FormatWriter>(StagedOutput& out, const ConditioningPlan& plan,
                                              AudioSource& source)>
      openWriter;
  // ReplayGain: when the output's family asks for it (TagDefaults::ReplayGain, in a tag
  // mode that writes tags), the conditioned samples are measured on their way into the
  // writer and, once the writer has finished, the track's gain tags are written into the
  // staged file with writeGains before it is put in place. Formats without gain tags leave
  // writeGains null.
  int replayGain = 0;
  GainTagWriter writeGains = nullptr;
  // For formats that can encode one file on several cores: the chunk encoders and joiner
  // for the decided output, on the staged output. Used instead of openWriter when the file
  // is long and cores are free (SplitThreads); nullopt (before anything is written) keeps
  // the file single-pass.
  std::function<std::optional<SplitFormat>(StagedOutput& out, const ConditioningPlan& plan,
                                           AudioSource& source)>
      openSplit;
};

// The one encode loop: open the source, decide the output, open the writer, pump the blocks
// through the conditioning, finish the writer and put the file in place. 1 on success; 0 on
// failure or Cancel, when nothing of the output remains and an old target is untouched.
// With the context's tally, what went into the writer is counted and digested into it.
// A source that breaks off fails the file with a note that says where, unless the options
// keep damaged sources: then what was decoded is finished as the output, 1 is returned and
// the note stays (it tells that the output is partial).
int RunEncode(const EncodeRecipe& recipe, InputTypeCode inputType, const std::string& sourcePath,
              const std::string& targetPath, ConvertProgress& progress,
              const EncodeContext& context);

}  // namespace sonorell
