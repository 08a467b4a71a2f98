#include "ui/caption_less_dialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include <algorithm>

namespace sonorell {

CaptionLessDialog::CaptionLessDialog(QWidget* parent, bool draggable)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), draggable_(draggable) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

QRect CaptionLessDialog::AvailableArea() const {
  const QWidget* owner = parentWidget();
  const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  return screen ? screen->availableGeometry() : QRect();
}

void CaptionLessDialog::CenterOnOwner() {
  const QWidget* owner = parentWidget();
  const QRect screenArea = AvailableArea();
  if (!owner && screenArea.isEmpty()) return;
  QPoint topLeft = (owner ? owner->frameGeometry() : screenArea).center() - rect().center();
  if (!screenArea.isEmpty()) {
    // Bottom and right edges first, so a window larger than the screen keeps its top left.
    topLeft.setX(
        std::max(screenArea.left(), std::min(topLeft.x(), screenArea.right() + 1 - width())));
    topLeft.setY(
        std::max(screenArea.top(), std::min(topLeft.y(), screenArea.bottom() + 1 - height())));
  }
  move(topLeft);
}

void CaptionLessDialog::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ||
      event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void CaptionLessDialog::closeEvent(QCloseEvent* event) {
  event->ignore();
}

void CaptionLessDialog::mousePressEvent(QMouseEvent* event) {
  if (draggable_ && event->button() == Qt::LeftButton) {
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
    return;
  }
  QDialog::mousePressEvent(event);
}

void CaptionLessDialog::mouseMoveEvent(QMouseEvent* event) {
  if (draggable_ && (event->buttons() & Qt::LeftButton)) {
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
    return;
  }
  QDialog::mouseMoveEvent(event);
}

}  // namespace sonorell
