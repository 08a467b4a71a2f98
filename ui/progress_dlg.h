#pragma once

#include "engine/jobs/intake_progress.h"
#include "ui/caption_less_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sonorell {

// The intake progress window: one line, one bar, Cancel.
class CProgressDlg : public CaptionLessDialog, public IntakeProgress {
 public:
  explicit CProgressDlg(QWidget* parent = nullptr);
  ~CProgressDlg() override;

  void SetLine(const std::string& text) override;
  void SetBarRange(int maximum) override;
  void StepBar() override;
  void PumpMessages() override;
  bool CancelRequested() const override { return CaptionLessDialog::CancelRequested(); }

  QLabel* Line() const { return line_; }
  QProgressBar* Bar() const { return bar_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLabel* line_;
  QProgressBar* bar_;
  QPushButton* cancel_;
};

}  // namespace sonorell
