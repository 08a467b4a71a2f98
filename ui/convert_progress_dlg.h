#pragma once

#include <string>
#include <vector>

#include "engine/encoders/convert_progress.h"
#include "ui/caption_less_dialog.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QVBoxLayout;

namespace sonorell {

// The conversion progress window: file line and bar, overall line and bar, Cancel.
// It can be dragged from anywhere.
//
// A run that converts several files at once gives each running file a slot: a line and a bar
// of its own, stacked above the overall line. Slot 0 is the file line and bar, so with one
// slot the window is the designed one, and the file calls of ConvertProgress are slot 0.
class CConvertProgressDlg : public CaptionLessDialog, public ConvertProgress {
 public:
  static constexpr int kMaxFileSlots = 64;

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

  // Sets the number of slots (clamped to 1 .. kMaxFileSlots) and rebuilds the pairs past
  // slot 0, which start empty. The window keeps its width, grows by one pair's height per
  // slot past the first as far as its screen allows, and is centred on its owner again.
  void SetFileSlots(int count) override;
  int FileSlots() const { return fileSlots_; }

  // Calls for a slot outside 0 .. FileSlots() - 1 are ignored; so are calls for a slot the
  // screen has no room to draw, whose bar reports the width every bar has.
  void SetSlotLine(int slot, const std::string& text) override;
  int SlotBarWidth(int slot) const override;
  void SetSlotBarRange(int slot, int maximum) override;
  void SetSlotBarPos(int slot, int position) override;
  // An idle slot: empty line, empty bar.
  void ClearSlot(int slot) override;

  // The slot's controls, or null for a slot that is not drawn.
  QLabel* SlotLine(int slot) const;
  QProgressBar* SlotBar(int slot) const;

  QLabel* FileLine() const { return SlotLine(0); }
  QLabel* OverallLine() const { return overallLine_; }
  QProgressBar* FileBar() const { return SlotBar(0); }
  QProgressBar* OverallBar() const { return overallBar_; }
  QPushButton* CancelButton() const { return cancel_; }

 private:
  struct Pair {
    QLabel* line;
    QProgressBar* bar;
  };

  Pair AddPair(int slot);
  const Pair* Drawn(int slot) const;

  QVBoxLayout* rows_;
  std::vector<Pair> pairs_;  // the drawn slots, from slot 0
  int fileSlots_ = 1;
  QLabel* overallLine_;
  QProgressBar* overallBar_;
  QPushButton* cancel_;
};

}  // namespace sonorell
