#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/dsp/loudness_histogram.h"
#include "engine/jobs/source_file.h"

namespace sonorell {

// Every message between a worker and its parent, and between the window and its worker
// helper, is one line of tab-separated fields. Fields may hold any byte of a file name or a
// tag: tabs, line breaks and backslashes in them are escaped, so every line keeps its fields.
std::string FieldsLine(const std::vector<std::string>& fields);
std::vector<std::string> LineFields(std::string_view line);

// A whole decimal number that fills the text; nothing otherwise.
std::optional<int64_t> WholeNumber(std::string_view text);
// Seconds with three decimals in the C form whatever the locale; 0 for a non-finite value.
std::string SecondsText(double seconds);
// Seconds as SecondsText writes them; 0 for anything unreadable or negative.
double SecondsValue(std::string_view text);

// What a conversion worker says:
//   progress<TAB><percent 0-100>       the file bar moved
//   alive                              still working, the percent has not moved
//   result<TAB><converted 0|1><TAB><status text><TAB><target path or empty><TAB><source seconds>
//         <TAB><loudness blocks, LoudnessHistogram::Text><TAB><sample peak>
struct WorkerResult {
  bool converted = false;
  std::string status;
  std::string target;
  double sourceSeconds = 0;
  LoudnessHistogram loudness;  // empty without ReplayGain
  double peak = 0;
};

std::string ProgressLine(int percent);
std::string AliveLine();
std::string ResultLine(const WorkerResult& result);

// The percent of a progress line; nothing for any other line.
std::optional<int> ParseProgressLine(const std::string& line);
// The fields of a result line; nothing for any other line.
std::optional<WorkerResult> ParseResultLine(const std::string& line);

// What a probe worker says of one path of its share:
//   probed<TAB><index><TAB><opened 0|1><TAB><note><TAB><channels><TAB><channel mode>
//         <TAB><sample rate><TAB><bit rate><TAB><duration>
// The parent knows the path and its input type by the index.
struct ProbeReport {
  size_t index = 0;
  bool opened = false;
  std::string note;  // why a file could not be opened, when there is something to tell
  SourceFile file;   // the probed properties (path and input type are the parent's)
};

std::string ProbedLine(const ProbeReport& report);
std::optional<ProbeReport> ParseProbedLine(const std::string& line);

}  // namespace sonorell
