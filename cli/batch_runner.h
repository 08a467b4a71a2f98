#pragma once

#include <vector>

#include "cli/convert_flags.h"
#include "cli/run_report.h"
#include "engine/jobs/source_file.h"
#include "settings/settings.h"

namespace sonorell {

// One file of a batch, with its place in the whole sorted list (from 1), which shard
// slicing keeps so that sequence numbers do not depend on the slice.
struct BatchEntry {
  SourceFile file;
  int fileNumber = 1;
};

// The parent side of a batch: every file in a worker process of its own (this program with
// --worker), flags.jobs at once, each limited to flags.timeoutSeconds. A worker that
// crashes, hangs or ends without a result fails its file alone. Ctrl+C cancels: running
// workers stop and their partial outputs are removed, files not started are listed as not
// converted. Prints one line per finished file and returns every file's outcome in list
// order; cancelled tells whether the batch was cancelled.
std::vector<FileOutcome> RunBatch(const std::vector<BatchEntry>& entries, const ConvertFlags& flags,
                                  const Settings& settings, bool& cancelled);

}  // namespace sonorell
