#pragma once

#include <optional>
#include <string>

#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/encoder_entry.h"
#include "engine/encoders/wma/wma_profile_list.h"
#include "settings/settings.h"

namespace sonorell {

// What one WMA output asks of the codec list, and how its PCM reaches the writer.
struct WmaDecision {
  WmaWanted wanted;
  ConditioningPlan plan;  // at the source's rate and width; one channel when one is picked
};

// The automatic choice from the source's rate and delivered channels, or the stored one;
// without the automatic choice a stereo source becomes one picked channel when fewer
// channels are wanted and MonoType picks one (otherwise the runtime reduces the channels).
WmaDecision DecideWma(const Settings& s, const PcmFormat& source);

// Converts one file to WMA through the Windows Media runtime (OutputFormatCode 7000).
int EncodeWmaFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

}  // namespace sonorell
