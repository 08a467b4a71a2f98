#pragma once

#include <QDialog>
#include <QPoint>
#include <QRect>

namespace sonorell {

// A modeless progress window without caption or system menu. Enter and Esc do nothing and
// a close gesture is ignored: the run that owns the window closes it by destroying it.
class CaptionLessDialog : public QDialog {
 public:
  CaptionLessDialog(QWidget* parent, bool draggable);

  bool CancelRequested() const { return cancelRequested_; }

 protected:
  // Centres the window on its owner, or on the screen when it has none, and then moves it
  // as little as needed to keep it inside the screen's available area.
  void CenterOnOwner();
  // The part of the screen the window opens on that windows may use: the owner's screen, or
  // the primary screen without owner. Empty when there is no screen.
  QRect AvailableArea() const;
  void RequestCancel() { cancelRequested_ = true; }
  void keyPressEvent(QKeyEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void reject() override {}
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  bool cancelRequested_ = false;
  bool draggable_;
  QPoint dragOffset_;
};

}  // namespace sonorell
