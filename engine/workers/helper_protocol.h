#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "engine/workers/conversion_run.h"
#include "engine/workers/run_plan.h"
#include "engine/workers/worker_protocol.h"

namespace sonorell {

// The window never forks: its worker helper (a single-threaded process of ours, started
// once per window) forks the workers for it. They speak in lines (worker_protocol.h).
//
// A request is a block of lines ending with "go"; while it runs, "cancel" stops it, and the
// end of the window's pipe stops it and ends the helper:
//   convert<TAB><files at once><TAB><silence limit s><TAB><sound font ready 0|1>
//   settings<TAB><the settings record as text>
//   file<TAB><path><TAB><input type><TAB><file number>     one per file, in list order
//   go
// or
//   probe<TAB><probes at once><TAB><silence limit s>
//   path<TAB><path>                                         one per path
//   go
// The helper answers with events:
//   started<TAB><index>
//   percent<TAB><index><TAB><0-100>
//   finished<TAB><index><TAB><converted 0|1><TAB><status><TAB><target><TAB><source s><TAB><s taken>
//   probed...                                              (ProbedLine)
//   end<TAB><cancelled 0|1>                                 the request is over

// What a conversion request carries: the run's snapshot as the window took it.
struct ConvertRequest {
  int parallel = 1;
  std::chrono::seconds silenceLimit{600};
  bool soundFontReady = false;
  Settings settings;
  std::vector<RunEntry> entries;
};

struct ProbeRequest {
  int parallel = 1;
  std::chrono::seconds silenceLimit{60};
  std::vector<std::string> paths;
};

std::vector<std::string> RequestLines(const ConvertRequest& request);
std::vector<std::string> RequestLines(const ProbeRequest& request);
inline constexpr const char* kCancelLine = "cancel";

// Collects a request line by line. Feed returns true once the block is complete (the
// request is then in convert or probe); a malformed block is dropped whole.
class RequestReader {
 public:
  bool Feed(const std::string& line);
  std::optional<ConvertRequest> convert;
  std::optional<ProbeRequest> probe;

 private:
  void Reset();
  bool broken_ = false;
  bool settingsSeen_ = false;
};

// Events.
std::string StartedLine(size_t index);
std::string PercentLine(size_t index, int percent);
std::string FinishedLine(size_t index, const FileOutcome& outcome);
std::string NotedLine(size_t index, const std::string& note);
std::string EndLine(bool cancelled);

struct HelperEvent {
  enum class Kind { kStarted, kPercent, kFinished, kNoted, kProbed, kEnd };
  Kind kind = Kind::kEnd;
  size_t index = 0;
  int percent = 0;
  FileOutcome outcome;     // kFinished
  std::string note;        // kNoted: added to a finished file's Status text
  ProbeReport probe;       // kProbed
  bool cancelled = false;  // kEnd
};
std::optional<HelperEvent> ParseHelperEvent(const std::string& line);

}  // namespace sonorell
