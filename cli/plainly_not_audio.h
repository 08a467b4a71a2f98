#pragma once

#include <string>
#include <vector>

#include "cli/batch_inputs.h"

namespace sonorell {

// The Status text of a file a folder walk leaves because it is plainly not audio.
inline constexpr const char* kStatusNotAudio = "Not audio and skipped";

// Takes out of inputs.files what a folder walk reached that is plainly not audio: resource
// forks ("._" names, which macOS leaves beside the files it copies to other disks) and
// files whose extension the input-type table does not list and that no decoder opens
// (pictures, cue sheets, logs, playlists, text). Those are probed in worker processes,
// `parallel` at once, as intake probes. A file named on the command line stays, whatever it
// is, and so does one with an audio extension: they fail as any unreadable file does.
// Returns the paths taken out, in list order.
std::vector<std::string> TakeOutPlainlyNotAudio(BatchInputs& inputs, int parallel);

}  // namespace sonorell
