#pragma once

#include <QGroupBox>
#include <array>
#include <functional>

#include "settings/tag_defaults.h"
#include "ui/option_services.h"

class QButtonGroup;
class QCheckBox;
class QPushButton;
class QRadioButton;

namespace sonorell {

// The "ID3 tag" group of a tagged format's page: Add, Transfer, None and the Edit button,
// which is usable only while Add is chosen; below them "Carry the cover picture" and
// "Write ReplayGain tags", usable while the mode writes tags.
class TagModeControls : public QGroupBox {
 public:
  TagModeControls(const std::array<const char*, 3>& radioTexts, const char* editText,
                  QWidget* parent);

  // 0 Add, 1 Transfer, 2 None; other values show as None. The two boxes show the bound
  // tag set's values again.
  void SetChoice(int choice);
  int Choice() const;

  // Shows choice and from then on keeps the page's copies up to date: a picked radio goes
  // into choice (then changed runs, when given), and Edit opens the tag dialog over owner
  // on tags.
  void Bind(int& choice, TagDefaults& tags, const OptionServices& services, QWidget* owner,
            std::function<void()> changed = {});
  // Keeps the two boxes and tags.CarryCover / tags.ReplayGain (the page's copy) in step.
  // A ticked ReplayGain box writes the track's and the album's gains.
  void BindExtras(TagDefaults& tags);

  QRadioButton* Radio(int choice) const { return radios_[static_cast<size_t>(choice)]; }
  QPushButton* EditButton() const { return edit_; }
  QCheckBox* CoverBox() const { return cover_; }
  QCheckBox* ReplayGainBox() const { return replayGain_; }

  // Called after the user picks a radio, with the new choice.
  std::function<void(int choice)> onChoiceChanged;
  // Called when the Edit button is pressed.
  std::function<void()> onEdit;

 private:
  void ApplyEnabling();

  QButtonGroup* group_;
  std::array<QRadioButton*, 3> radios_{};
  QPushButton* edit_;
  QCheckBox* cover_;
  QCheckBox* replayGain_;
  TagDefaults* extras_ = nullptr;
};

}  // namespace sonorell
