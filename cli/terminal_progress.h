#pragma once

#include <string>

#include "engine/encoders/convert_progress.h"

namespace sonorell {

// The run's progress on a terminal: one line with the overall count, the file's percent
// and a bar, rewritten in place on standard error. Silent when standard error is not a
// terminal. Ctrl+C (or SIGTERM) asks for Cancel; a second Ctrl+C ends the program at once
// unless the caller finishes the cancel itself (a batch that must stop its workers first).
class TerminalProgress : public ConvertProgress {
 public:
  explicit TerminalProgress(bool secondInterruptExits = true);
  ~TerminalProgress() override;
  TerminalProgress(const TerminalProgress&) = delete;
  TerminalProgress& operator=(const TerminalProgress&) = delete;

  void SetFileLine(const std::string& text) override;
  int FileBarWidth() const override { return kBarCells; }
  void SetFileBarRange(int maximum) override;
  void SetFileBarPos(int position) override;
  void SetOverallLine(const std::string& text) override;
  void SetOverallBarRange(int maximum) override;
  void StepOverallBar() override;
  void PumpMessages() override {}
  bool CancelRequested() const override;

  // Clears the progress line so that a result line can be printed.
  void ClearLine();
  // True when the line is drawn at all (standard error is a terminal).
  bool Enabled() const { return enabled_; }

 private:
  static constexpr int kBarCells = 30;
  void Redraw();

  bool enabled_;
  bool drawn_ = false;
  std::string fileLine_;
  std::string overallLine_;
  int fileMax_ = 1;
  int filePos_ = 0;
  int overallMax_ = 1;
  int overallPos_ = 0;
};

}  // namespace sonorell
