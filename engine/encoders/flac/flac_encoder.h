#pragma once

#include <array>
#include <string>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/sources/input_type_code.h"
#include "settings/settings.h"

namespace sonorell {

// The rates a FLAC output may be made at besides the source's own, ascending.
inline constexpr std::array<int, 13> kFlacSampleRates{
    8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 88200, 96000, 176400, 192000};

// The output a FLAC file is made in: the stored rate and channels (0 keeps the source's),
// 16 bits for sources of up to 16 and 24 bits for wider ones, and the stored gain.
ConditioningPlan PlanFlacOutput(const Settings& settings, const PcmFormat& delivered);

// Converts one file to FLAC, losslessly where the plan changes nothing.
int EncodeFlacFile(InputTypeCode inputType, const std::string& sourcePath,
                   const std::string& targetPath, ConvertProgress& progress,
                   const EncodeContext& context);

}  // namespace sonorell
