#pragma once

#include <functional>
#include <string>

#include "engine/sources/input_type_code.h"
#include "settings/settings.h"

namespace sonorell {

// What decoding a finished output again found.
struct VerifyOutcome {
  bool ok = false;
  double sourceSeconds = 0;
  double outputSeconds = 0;
  std::string failure;  // "verify: output is 12.3 s, source 60.0 s"
};

// Decodes the output with the program's own decoders and compares its length with the
// source's: more apart than one frame of the output codec and its encoder delay is a
// failure, so a truncated file is never taken for a converted one. A WAV output written
// without rate, width or channel change must also hold exactly the source's samples
// after gain. cancelled is asked between blocks.
VerifyOutcome VerifyOutput(const Settings& settings, InputTypeCode inputType,
                           const std::string& sourcePath, const std::string& targetPath,
                           const std::function<bool()>& cancelled);

// How far apart, in frames at the output rate, source and output may be for the format.
int AllowedFrameDifference(int outputFormat, int outputRate);

}  // namespace sonorell
