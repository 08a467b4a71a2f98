#pragma once

#include <memory>
#include <string>

#include "engine/encoders/convert_progress.h"

namespace sonorell {

// What the window that owns the file list offers a conversion run. The desktop window,
// the batch command and the tests implement it.
class RunHost {
 public:
  virtual ~RunHost() = default;

  virtual void SetWaitCursor(bool on) = 0;
  virtual void SetMainWindowEnabled(bool enabled) = 0;
  virtual void SetRowStatus(int row, const std::string& text) = 0;
  virtual void EnsureRowVisible(int row) = 0;
  virtual void SetStatusColumnWidth(int pixels) = 0;

  // A Yes/No question titled "Sonorell"; true for Yes.
  virtual bool AskYesNo(const std::string& question) = 0;
  // Opens an address or path with the desktop's opener.
  virtual void OpenWithShell(const std::string& addressOrPath) = 0;
  // Shows the file selected in the desktop's file browser.
  virtual void SelectInFileBrowser(const std::string& path) = 0;

  // Creates and shows the run's progress window; releasing it closes the window.
  virtual std::unique_ptr<ConvertProgress> OpenConvertProgress() = 0;
};

}  // namespace sonorell
