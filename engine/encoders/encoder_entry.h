#pragma once

#include <functional>
#include <string>

#include "engine/dsp/loudness_histogram.h"
#include "engine/encoders/convert_progress.h"
#include "engine/encoders/encode_tally.h"
#include "engine/sources/input_type_code.h"
#include "settings/settings.h"

namespace sonorell {

// What a conversion has to tell about its finished output besides its name.
struct OutputNotes {
  bool tagTextReplaced = false;  // a tag text was written with replacement characters
  // Why the cover picture was left out of the output, when it was ("it is no image").
  std::string coverNote;
  // With ReplayGain: the output's loudness blocks and sample peak, from which the album's
  // loudness is computed over several files.
  LoudnessHistogram loudnessBlocks;
  double samplePeak = 0.0;
};

// What an encoder knows of the run besides its file: the options as they stood when the
// run started (a change made meanwhile cannot alter a file half-way) and the 1-based number
// of the file within the run, used for track numbering.
struct EncodeContext {
  const Settings& settings;
  int runFileNumber = 1;
  // When set, receives what the writer was given (for checking the finished file).
  EncodeTally* tally = nullptr;
  // When set, receives what the user should be told about the output.
  OutputNotes* notes = nullptr;
  // The cores this file may use: more than one lets a long file be encoded in chunks at the
  // same time (see split_choice.h).
  int cores = 1;
};

// Converts one file. Non-zero when the output file was completed under targetPath; 0 on
// failure or Cancel, in which case nothing of the output remains and an existing target is
// untouched.
using EncoderEntry = int (*)(InputTypeCode inputType, const std::string& sourcePath,
                             const std::string& targetPath, ConvertProgress& progress,
                             const EncodeContext& context);

// The same, as an object: tests put their own encoders behind it.
using EncoderFunction = std::function<int(InputTypeCode, const std::string&, const std::string&,
                                          ConvertProgress&, const EncodeContext&)>;

}  // namespace sonorell
