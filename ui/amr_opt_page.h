#pragma once

#include <QString>
#include <array>
#include <optional>

#include "engine/encoders/amr/amr_options.h"
#include "settings/settings.h"
#include "ui/opt_page.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QRadioButton;

namespace sonorell {

class GainControls;

// "AMR/AWB Options": the speech codec for ".amr" (narrow or wide band) with its mode and
// DTX, the wide-band mode and DTX for ".awb", and the gain.
class CAmrOptPage : public COptPage {
 public:
  CAmrOptPage(const Settings& settings, const OptionServices& services, QWidget* parent);

  QString Title() const override;
  std::optional<PageRefusal> LeavePage() override;
  void StoreInto(Settings& settings) const override;

 private:
  void ApplyEnabling();
  void ReadControls();

  opt_amr_page::Model model_;

  QButtonGroup* codecGroup_ = nullptr;
  std::array<QRadioButton*, 2> codecs_{};
  QLabel* nbLabel_ = nullptr;
  QComboBox* nbBitrate_ = nullptr;
  QLabel* wbLabel_ = nullptr;
  QComboBox* wbBitrate_ = nullptr;
  QCheckBox* amrDtx_ = nullptr;
  QComboBox* awbBitrate_ = nullptr;
  QCheckBox* awbDtx_ = nullptr;
  GainControls* gain_ = nullptr;
};

}  // namespace sonorell
