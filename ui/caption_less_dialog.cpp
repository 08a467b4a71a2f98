#include "ui/caption_less_dialog.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

namespace sonorell {

CaptionLessDialog::CaptionLessDialog(QWidget* parent, bool draggable)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), draggable_(draggable) {
  setModal(false);
  setAttribute(Qt::WA_DeleteOnClose, false);
}

void CaptionLessDialog::CenterOnOwner() {
  const QWidget* owner = parentWidget();
  const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen();
  if (!owner && !screen) return;
  const QRect area = owner ? owner->frameGeometry() : screen->availableGeometry();
  move(area.center() - rect().center());
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
