#pragma once

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>
#include <QWidget>

namespace sonorell::testing {

// Controls of window that a user cannot read whole: smaller than their text needs, or
// reaching outside the window. Hidden controls are not counted.
inline QStringList ClippedControls(QWidget& window) {
  QStringList clipped;
  const QRect bounds = window.rect();
  for (QWidget* w : window.findChildren<QWidget*>()) {
    if (!w->isVisibleTo(&window)) continue;
    const bool textual = qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                         qobject_cast<QComboBox*>(w);
    if (!textual) continue;
    const QString name = w->objectName().isEmpty() ? QString::fromUtf8(w->metaObject()->className())
                                                   : w->objectName();
    QString text;
    if (auto* l = qobject_cast<QLabel*>(w)) text = l->text();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) text = b->text();
    const QRect inWindow(w->mapTo(&window, QPoint(0, 0)), w->size());
    if (!bounds.contains(inWindow)) {
      clipped << name + " outside: " + text;
      continue;
    }
    auto* label = qobject_cast<QLabel*>(w);
    if (label && label->wordWrap()) {
      if (label->heightForWidth(label->width()) > label->height()) clipped << name + ": " + text;
      continue;
    }
    const QSize need =
        w->minimumSizeHint().expandedTo(qobject_cast<QComboBox*>(w) ? QSize() : w->sizeHint());
    if (w->width() < need.width() || w->height() < need.height()) {
      clipped << QStringLiteral("%1 (%2x%3 < %4x%5): %6")
                     .arg(name)
                     .arg(w->width())
                     .arg(w->height())
                     .arg(need.width())
                     .arg(need.height())
                     .arg(text);
    }
  }
  return clipped;
}

}  // namespace sonorell::testing
