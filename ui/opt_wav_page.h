#pragma once

#include <QString>
#include <array>
#include <optional>

#include "engine/encoders/wav/wav_options.h"
#include "settings/settings.h"
#include "ui/opt_page.h"

class QButtonGroup;
class QComboBox;
class QLabel;
class QRadioButton;

namespace sonorell {

class EncodingChoiceControls;
class GainControls;

// "WAV Options": sample width, rate and channels of PCM output, and its gain.
class COptWavPage : public COptPage {
 public:
  COptWavPage(const Settings& settings, const OptionServices& services, QWidget* parent);

  QString Title() const override;
  std::optional<PageRefusal> LeavePage() override;
  void StoreInto(Settings& settings) const override;

 private:
  opt_wav_page::Model model_;

  EncodingChoiceControls* encoding_ = nullptr;
  GainControls* gain_ = nullptr;
};

}  // namespace sonorell
