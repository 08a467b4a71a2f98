#pragma once

#include <QAbstractSpinBox>
#include <QString>
#include <optional>

namespace sonorell {

// The whole text as a decimal integer (blanks around it allowed, a sign in front), or
// nothing for empty text, letters or a number out of int's range.
std::optional<int> ParseIntegerText(const QString& text);

// An edit with an up-down control beside it, as the option pages use for percentages and
// numbers. Unlike a spin box it keeps whatever the user typed, so the page can refuse it
// with its own message; the arrows step from the current number within the range.
class SpinEdit : public QAbstractSpinBox {
 public:
  SpinEdit(int minimum, int maximum, int step, QWidget* parent);

  void SetValue(int value);
  // The typed number, or nothing when the text is no integer.
  std::optional<int> Value() const { return ParseIntegerText(text()); }
  void SetText(const QString& text);

  void stepBy(int steps) override;

 protected:
  StepEnabled stepEnabled() const override;
  QValidator::State validate(QString& input, int& pos) const override;

 private:
  int minimum_;
  int maximum_;
  int step_;
};

}  // namespace sonorell
