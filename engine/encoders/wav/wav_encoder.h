#pragma once

#include <string>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"

namespace sonorell {

// Converts one file to PCM WAV with the WAV options of the run.
int EncodeWavFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// The output the WAV options ask for from a source of the given format: with automatic
// parameters the source's own; otherwise the chosen rate, channels and bits, 0 meaning
// the source's.
ConditioningPlan PlanWavOutput(const Settings& settings, const PcmFormat& source);

// Rates the WAV options may ask for; anything else in a hand-edited store is refused
// rather than driving the converter's buffers.
inline constexpr int kMinOutputRate = 1000;
inline constexpr int kMaxOutputRate = 768000;

}  // namespace sonorell
