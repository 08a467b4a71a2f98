#pragma once

#include <optional>
#include <string>

namespace sonorell {

// The lines a worker writes on its standard output for the batch that started it:
//   progress<TAB><percent 0-100>
//   result<TAB><converted 0|1><TAB><status text><TAB><target path or empty><TAB><source seconds>
// Texts may hold any byte of a file name; tabs, line breaks and backslashes in them are
// escaped so that every line keeps its fields.
struct WorkerResult {
  bool converted = false;
  std::string status;
  std::string target;
  double sourceSeconds = 0;
};

std::string ProgressLine(int percent);
std::string ResultLine(const WorkerResult& result);

// The percent of a progress line; nothing for any other line.
std::optional<int> ParseProgressLine(const std::string& line);
// The fields of a result line; nothing for any other line.
std::optional<WorkerResult> ParseResultLine(const std::string& line);

}  // namespace sonorell
