#include "ui/elided_label.h"

#include <QPainter>
#include <QStyle>

namespace sonorell {

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
  // File names are never markup, and the label must not make its window wider.
  setTextFormat(Qt::PlainText);
  setMinimumWidth(1);
}

QRect ElidedLabel::TextArea() const {
  return contentsRect().adjusted(margin(), margin(), -margin(), -margin());
}

QString ElidedLabel::ShownText() const {
  return fontMetrics().elidedText(text(), Qt::ElideMiddle, TextArea().width());
}

void ElidedLabel::paintEvent(QPaintEvent* event) {
  const QString shown = ShownText();
  if (shown == text()) {
    QLabel::paintEvent(event);
    return;
  }
  // Drawn as a plain label draws its text, which follows the direction of the text itself.
  const Qt::LayoutDirection direction = text().isRightToLeft() ? Qt::RightToLeft : Qt::LeftToRight;
  const int flags =
      int(QStyle::visualAlignment(direction, alignment())) |
      (direction == Qt::LeftToRight ? Qt::TextForceLeftToRight : Qt::TextForceRightToLeft);
  QPainter painter(this);
  drawFrame(&painter);
  style()->drawItemText(&painter, TextArea(), flags, palette(), isEnabled(), shown,
                        foregroundRole());
}

}  // namespace sonorell
