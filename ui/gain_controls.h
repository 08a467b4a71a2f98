#pragma once

#include <QWidget>
#include <optional>

#include "ui/opt_page.h"

class QCheckBox;
class QHBoxLayout;
class QLabel;

namespace sonorell {

class SpinEdit;

// "&Amplify / Reduce sound" with its coefficient edit, up-down, "%" and the note, as every
// encoder page shows them. The edit is usable only while the box is ticked.
class GainControls : public QWidget {
 public:
  explicit GainControls(QWidget* parent);

  void SetValues(bool amplify, int coefficient);
  bool Amplify() const;
  // The typed coefficient; nothing when the text is no integer.
  std::optional<int> Coefficient() const;
  // The two values into a page's copies: the coefficient changes only when it is a number.
  void ReadInto(bool& amplify, int& coefficient) const;
  // "Invalid amplification coefficient. ..." while the box is ticked and the coefficient is
  // not a whole percent from 10 to 3000.
  std::optional<PageRefusal> Check() const;
  // Leaving a page: ReadInto, then Check.
  std::optional<PageRefusal> Leave(bool& amplify, int& coefficient) const {
    ReadInto(amplify, coefficient);
    return Check();
  }

  QCheckBox* AmplifyBox() const { return amplify_; }
  SpinEdit* CoefficientEdit() const { return coefficient_; }

 private:
  void ApplyEnabling(bool focusEdit);

  QCheckBox* amplify_;
  QLabel* label_;
  SpinEdit* coefficient_;
  QLabel* percent_;
};

// The bottom row of an encoder page: the gain controls taking the spare width, then beside
// (the tag group, say; none when null), both at the top.
QHBoxLayout* GainRow(GainControls* gain, QWidget* beside);

}  // namespace sonorell
