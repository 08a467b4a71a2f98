#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "cli/terminal_progress.h"

namespace sonorell {

// The progress of a batch on the terminal: the overall bar and count, the file being
// converted and its percent (or, with several workers, how many are running), and the time
// left, estimated from the source seconds converted so far. Nothing is drawn when standard
// error is not a terminal. Owns the Ctrl+C handling of the batch.
class BatchProgress {
 public:
  explicit BatchProgress(size_t files);

  void Started(size_t index, const std::string& name);
  void Percent(size_t index, int percent);
  void Finished(size_t index, double sourceSeconds);
  // Clears the line so a result line can be printed; the next change draws it again.
  void ClearLine() { terminal_.ClearLine(); }
  bool CancelRequested() const { return terminal_.CancelRequested(); }

 private:
  void Redraw(bool force);

  using Clock = std::chrono::steady_clock;
  TerminalProgress terminal_{false};
  Clock::time_point start_ = Clock::now();
  Clock::time_point drawn_{};
  std::vector<int> percent_;  // -1 not running
  std::vector<std::string> names_;
  size_t finished_ = 0;
  double finishedSeconds_ = 0;
  size_t withDuration_ = 0;
};

// "0:35 left", "1:02:05 left"; empty for an unknown time.
std::string TimeLeftText(double seconds);

}  // namespace sonorell
