#pragma once

#include <QGroupBox>
#include <array>
#include <functional>

class QButtonGroup;
class QPushButton;
class QRadioButton;

namespace sonorell {

// The "ID3 tag" group of a tagged format's page: Add, Transfer, None and the Edit button,
// which is usable only while Add is chosen.
class TagModeControls : public QGroupBox {
 public:
  TagModeControls(const std::array<const char*, 3>& radioTexts, const char* editText,
                  QWidget* parent);

  // 0 Add, 1 Transfer, 2 None; other values show as None.
  void SetChoice(int choice);
  int Choice() const;

  QRadioButton* Radio(int choice) const { return radios_[static_cast<size_t>(choice)]; }
  QPushButton* EditButton() const { return edit_; }

  // Called after the user picks a radio, with the new choice.
  std::function<void(int choice)> onChoiceChanged;
  // Called when the Edit button is pressed.
  std::function<void()> onEdit;

 private:
  void ApplyEnabling();

  QButtonGroup* group_;
  std::array<QRadioButton*, 3> radios_{};
  QPushButton* edit_;
};

}  // namespace sonorell
