#pragma once

#include <QString>
#include <optional>

#include "engine/encoders/wma/wma_options.h"
#include "settings/settings.h"
#include "ui/opt_page.h"

class QComboBox;

namespace sonorell {

class GainControls;
class TagModeControls;

// "WMA Options": the encoding (Auto or one of the Windows Media runtime's formats), the tag
// mode with the default tags, and the gain. The list of formats is asked for when the page
// is first shown, because that is when the runtime is looked for.
class CPageWMAOptions : public COptPage {
 public:
  CPageWMAOptions(const Settings& settings, const OptionServices& services, QWidget* parent);

  QString Title() const override;
  void InitPage() override;
  std::optional<PageRefusal> LeavePage() override;
  // Before the page was first shown it stores nothing.
  void StoreInto(Settings& settings) const override;

 private:
  void ShowModel();
  void ReadControls();

  const Settings settings_;
  std::optional<opt_wma_page::Model> model_;  // from the first showing on

  QComboBox* encoding_ = nullptr;
  TagModeControls* tagControls_ = nullptr;
  GainControls* gain_ = nullptr;
};

}  // namespace sonorell
