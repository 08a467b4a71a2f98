#pragma once

#include <QString>
#include <array>
#include <optional>

#include "engine/encoders/aac/aac_options.h"
#include "settings/settings.h"
#include "ui/opt_page.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;

namespace sonorell {

class GainControls;
class SpinEdit;
class TagModeControls;

// The page both AAC outputs share: raw AAC (ADTS) with its MPEG version, and the MP4
// container family with its tag controls instead.
class AacFamilyPage : public COptPage {
 public:
  AacFamilyPage(const Settings& settings, opt_aac_page::Family family,
                const OptionServices& services, QWidget* parent);

  QString Title() const override;
  std::optional<PageRefusal> LeavePage() override;
  void StoreInto(Settings& settings) const override;

 private:
  void BuildEncodingControls();
  // Puts the model's encoding choices into the controls (opening and "Reset").
  void ShowEncoding();
  // Usable controls follow the auto box and the ABR/VBR choice.
  void ApplyEnabling();
  void ModeClicked(int mode);
  void Reset();
  void EditTags();
  // The typed quality into the model; false when the text is no number.
  bool ReadQuality();

  opt_aac_page::Model model_;

  QCheckBox* auto_ = nullptr;
  QButtonGroup* modeGroup_ = nullptr;
  std::array<QRadioButton*, 2> modes_{};
  QLabel* bitrateLabel_ = nullptr;
  QComboBox* bitrate_ = nullptr;
  QLabel* qualityLabel_ = nullptr;
  SpinEdit* quality_ = nullptr;
  QCheckBox* tns_ = nullptr;
  QCheckBox* midside_ = nullptr;
  QButtonGroup* mpegGroup_ = nullptr;  // raw AAC only
  std::array<QRadioButton*, 2> mpegVersions_{};
  QButtonGroup* blockGroup_ = nullptr;
  std::array<QRadioButton*, 3> blockTypes_{};
  QPushButton* reset_ = nullptr;
  GainControls* gain_ = nullptr;
  TagModeControls* tagControls_ = nullptr;  // MP4 only
};

}  // namespace sonorell
