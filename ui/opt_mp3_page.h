#pragma once

#include <QString>
#include <array>
#include <optional>

#include "engine/encoders/mp3/mp3_options.h"
#include "settings/settings.h"
#include "ui/opt_page.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;

namespace sonorell {

class EncodingChoiceControls;
class GainControls;
class TagModeControls;

// "MP3 Options": the LAME encoding choices, ID3 tagging and the gain of MP3 output.
class COptMp3Page : public COptPage {
 public:
  COptMp3Page(const Settings& settings, const OptionServices& services, QWidget* parent);

  QString Title() const override;
  std::optional<PageRefusal> LeavePage() override;
  void StoreInto(Settings& settings) const override;

 private:
  void ShowTagChoice();
  void OpenHelp();

  opt_mp3_page::Model model_;

  EncodingChoiceControls* encoding_ = nullptr;
  TagModeControls* tagControls_ = nullptr;
  QLabel* versionLabel_ = nullptr;
  QButtonGroup* versionGroup_ = nullptr;
  std::array<QRadioButton*, 3> versions_{};
  GainControls* gain_ = nullptr;
};

}  // namespace sonorell
