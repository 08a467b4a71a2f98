#pragma once

#include <string>
#include <vector>

namespace sonorell {

// The outcome of one file of a batch, as the report lists it.
struct FileOutcome {
  std::string source;
  std::string target;  // empty when nothing was written
  std::string status;  // the Status text the list would show
  bool converted = false;
  double durationSeconds = 0;  // of the source
  double secondsTaken = 0;
};

// The report as a JSON array of one object per file:
// {"source", "target", "status", "converted", "duration", "seconds"}.
std::string ReportJson(const std::vector<FileOutcome>& outcomes);

// Writes the report to path through a temporary file beside it and a rename, so a reader
// never sees half a report. False with a reason on failure.
bool WriteReport(const std::string& path, const std::vector<FileOutcome>& outcomes,
                 std::string& error);

}  // namespace sonorell
