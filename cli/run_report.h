#pragma once

#include <string>
#include <vector>

#include "engine/workers/conversion_run.h"

namespace sonorell {

// True for a file the batch left on purpose (its target exists under the skip rule, or it
// is not audio): done, not failed.
bool IsSkipped(const FileOutcome& outcome);

// The report as a JSON array of one object per file:
// {"source", "target", "status", "converted", "skipped", "duration", "seconds"}.
std::string ReportJson(const std::vector<FileOutcome>& outcomes);

// Writes the report to path through a temporary file beside it and a rename, so a reader
// never sees half a report. False with a reason on failure.
bool WriteReport(const std::string& path, const std::vector<FileOutcome>& outcomes,
                 std::string& error);

}  // namespace sonorell
