#pragma once

#include <QString>
#include <array>
#include <optional>

#include "engine/encoders/ogg/ogg_options.h"
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

// "OGG Options": the Vorbis encoding choices, comment tagging and the gain of Ogg output.
class COptOggPage : public COptPage {
 public:
  COptOggPage(const Settings& settings, const OptionServices& services, QWidget* parent);

  QString Title() const override;
  std::optional<PageRefusal> LeavePage() override;
  void StoreInto(Settings& settings) const override;

 private:
  opt_ogg_page::Model model_;

  EncodingChoiceControls* encoding_ = nullptr;
  TagModeControls* tagControls_ = nullptr;
  GainControls* gain_ = nullptr;
};

}  // namespace sonorell
