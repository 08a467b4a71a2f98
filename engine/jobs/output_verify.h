#pragma once

#include <functional>
#include <string>

#include "engine/encoders/encode_tally.h"

namespace sonorell {

// What decoding a finished output again found.
struct VerifyOutcome {
  bool ok = false;
  double sourceSeconds = 0;  // of the source, as the conversion read it
  double outputSeconds = 0;
  std::string failure;  // "verify: output is 12.3 s, source 60.0 s"
};

// Decodes the output with the program's own decoders and compares it with what the
// conversion handed its writer (the tally), so the source is never decoded twice: a length
// further apart than one frame of the output codec and its encoder delay is a failure, so a
// truncated file is never taken for a converted one; a WAV output must hold exactly the
// samples that were encoded. cancelled is asked between blocks.
VerifyOutcome VerifyOutput(int outputFormat, const EncodeTally& tally,
                           const std::string& targetPath, const std::function<bool()>& cancelled);

// How far apart, in frames at the output rate, encoded and decoded audio may be.
int AllowedFrameDifference(int outputFormat, int outputRate);

}  // namespace sonorell
