#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engine/encoders/forwarding_progress.h"
#include "engine/jobs/run_host.h"
#include "tests/support/recording_progress.h"

namespace sonorell::testing {

// The list window of a run, recorded. The progress window it opens stays readable after
// the run has closed it.
class RecordingHost : public RunHost {
 public:
  void SetWaitCursor(bool on) override { waitCursorCalls.push_back(on); }
  void SetMainWindowEnabled(bool enabled) override { enabledCalls.push_back(enabled); }
  void SetRowStatus(int row, const std::string& text) override {
    status[row] = text;
    statusHistory.push_back({row, text});
  }
  void EnsureRowVisible(int row) override { visibleRows.push_back(row); }
  void SetStatusColumnWidth(int pixels) override { columnWidths.push_back(pixels); }
  bool AskYesNo(const std::string& question) override {
    questions.push_back(question);
    return answerYes;
  }
  void OpenWithShell(const std::string& what) override { opened.push_back(what); }
  void SelectInFileBrowser(const std::string& path) override { selected.push_back(path); }

  std::unique_ptr<ConvertProgress> OpenConvertProgress() override {
    ++progressWindowsOpened;
    return std::make_unique<ForwardingProgress>(progress, [this] { ++progressWindowsClosed; });
  }

  RecordingProgress progress;
  std::map<int, std::string> status;
  std::vector<std::pair<int, std::string>> statusHistory;
  std::vector<bool> waitCursorCalls;
  std::vector<bool> enabledCalls;
  std::vector<int> visibleRows;
  std::vector<int> columnWidths;
  std::vector<std::string> questions;
  std::vector<std::string> opened;
  std::vector<std::string> selected;
  bool answerYes = false;
  int progressWindowsOpened = 0;
  int progressWindowsClosed = 0;
};

}  // namespace sonorell::testing
