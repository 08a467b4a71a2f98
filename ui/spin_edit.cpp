#include "ui/spin_edit.h"

#include <QLineEdit>
#include <algorithm>
#include <charconv>
#include <climits>
#include <string>

namespace sonorell {

std::optional<int> ParseIntegerText(const QString& text) {
  const std::string trimmed = text.trimmed().toStdString();
  if (trimmed.empty()) return std::nullopt;
  const char* first = trimmed.data();
  const char* last = first + trimmed.size();
  if (*first == '+') ++first;
  int value = 0;
  const auto [end, error] = std::from_chars(first, last, value);
  if (error != std::errc() || end != last || first == last) return std::nullopt;
  return value;
}

SpinEdit::SpinEdit(int minimum, int maximum, int step, QWidget* parent)
    : QAbstractSpinBox(parent), minimum_(minimum), maximum_(maximum), step_(step) {
  setAccelerated(true);
  setCorrectionMode(QAbstractSpinBox::CorrectToPreviousValue);
  setKeyboardTracking(true);
}

void SpinEdit::SetValue(int value) {
  lineEdit()->setText(QString::number(value));
}

void SpinEdit::SetText(const QString& text) {
  lineEdit()->setText(text);
}

void SpinEdit::stepBy(int steps) {
  // Text that is no number steps from the nearest end of the range, as an up-down does.
  const long long current = Value().value_or(steps > 0 ? minimum_ - step_ : maximum_ + step_);
  const long long next =
      std::clamp<long long>(current + static_cast<long long>(steps) * step_, minimum_, maximum_);
  SetValue(static_cast<int>(next));
  lineEdit()->selectAll();
}

QAbstractSpinBox::StepEnabled SpinEdit::stepEnabled() const {
  const std::optional<int> v = Value();
  StepEnabled enabled = StepNone;
  if (!v || *v < maximum_) enabled |= StepUpEnabled;
  if (!v || *v > minimum_) enabled |= StepDownEnabled;
  return enabled;
}

QValidator::State SpinEdit::validate(QString& /*input*/, int& /*pos*/) const {
  // Any text may stand; the page judges it when the user leaves.
  return QValidator::Acceptable;
}

}  // namespace sonorell
