#pragma once

#include "cli/convert_flags.h"
#include "engine/jobs/source_file.h"
#include "settings/settings.h"

namespace sonorell {

// The child side of a batch: converts one file in this process with the engine, verifies
// it when asked, and tells the parent on standard output (progress lines, then one result
// line; see worker_protocol.h). SIGINT is the parent's Cancel: the conversion stops and
// its partial output is removed. Returns the exit status.
int RunWorker(const ConvertFlags& flags, const Settings& settings, SourceFile file);

}  // namespace sonorell
