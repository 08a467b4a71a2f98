#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/encoders/convert_progress.h"

namespace sonorell::testing {

// Records what a run shows and presses Cancel when told to.
class RecordingProgress : public ConvertProgress {
 public:
  explicit RecordingProgress(int barWidth = 200) : barWidth_(barWidth) {}

  void SetFileLine(const std::string& text) override { fileLines.push_back(text); }
  int FileBarWidth() const override { return barWidth_; }
  void SetFileBarRange(int maximum) override { fileBarRange = maximum; }
  void SetFileBarPos(int position) override { fileBarPositions.push_back(position); }
  void SetOverallLine(const std::string& text) override { overallLines.push_back(text); }
  void SetOverallBarRange(int maximum) override { overallRange = maximum; }
  void StepOverallBar() override { ++overallSteps; }
  void PumpMessages() override {
    ++pumps;
    if (onPump) onPump(*this);
  }
  bool CancelRequested() const override { return cancel; }

  std::vector<std::string> fileLines;
  std::vector<int> fileBarPositions;
  std::vector<std::string> overallLines;
  int fileBarRange = -1;
  int overallRange = -1;
  int overallSteps = 0;
  int pumps = 0;
  bool cancel = false;
  std::function<void(RecordingProgress&)> onPump;

 private:
  int barWidth_;
};

}  // namespace sonorell::testing
