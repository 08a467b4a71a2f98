#pragma once

#include <QLabel>
#include <QString>

namespace sonorell {

// A one-line plain-text label that never asks its window for more width: when its text is
// wider than the label, the middle of the text gives way to an ellipsis, so the start and
// the end (a file's percentage) stay readable. text() keeps the whole text.
class ElidedLabel : public QLabel {
 public:
  explicit ElidedLabel(QWidget* parent);

  // The text as it is drawn at the label's current width.
  QString ShownText() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QRect TextArea() const;
};

}  // namespace sonorell
