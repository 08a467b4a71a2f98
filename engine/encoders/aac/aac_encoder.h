#pragma once

#include <string>

#include "engine/encoders/encoder_entry.h"
#include "platform/mp4/mp4_wrapper.h"

namespace sonorell {

// Converts one file to raw AAC (ADTS frames) with the AAC options of the run. The source's
// rate and channels are kept; only its width becomes 16 bits.
int EncodeAacFile(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// Converts one file to an MP4-family file (M4A, MP4, M4B by the target's extension) with
// one AAC track and the M4A tags of the run.
int EncodeMp4File(InputTypeCode inputType, const std::string& sourcePath,
                  const std::string& targetPath, ConvertProgress& progress,
                  const EncodeContext& context);

// The flavour a target's extension asks for: "m4a" and "m4b" the iTunes ones, anything
// else plain MP4.
platform::Mp4Brand Mp4BrandFor(const std::string& targetPath);

}  // namespace sonorell
