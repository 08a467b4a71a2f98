#pragma once

#include "engine/encoders/convert_progress.h"
#include "ui/caption_less_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;

namespace sonorell {

// The conversion progress window: file line and bar, overall line and bar, Cancel.
// It can be dragged from anywhere.
class CConvertProgressDlg : public CaptionLessDialog, public ConvertProgress {
 public:
  explicit CConvertProgressDlg(QWidget* parent = nullptr);
  ~CConvertProgressDlg() override;

  void SetFileLine(const std::string& text) override;
  int FileBarWidth() const override;
  void SetFileBarRange(int maximum) override;
  void SetFileBarPos(int position) override;
  void SetOverallLine(const std::string& text) override;
  void SetOverallBarRange(int maximum) override;
  void StepOverallBar() override;
  void PumpMessages() override;
  bool CancelRequested() const override { return CaptionLessDialog::CancelRequested(); }

  QLabel* FileLine() const { return fileLine_; }
  QLabel* OverallLine() const { return overallLine_; }
  QProgressBar* FileBar() const { return fileBar_; }
  QProgressBar* OverallBar() const { return overallBar_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  QLabel* fileLine_;
  QProgressBar* fileBar_;
  QLabel* overallLine_;
  QProgressBar* overallBar_;
  QPushButton* cancel_;
};

}  // namespace sonorell
