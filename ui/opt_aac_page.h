#pragma once

#include "ui/aac_family_page.h"

namespace sonorell {

// "AAC Options": raw AAC in ADTS frames, with the MPEG version to mark them with.
class COptAacPage : public AacFamilyPage {
 public:
  COptAacPage(const Settings& settings, const OptionServices& services, QWidget* parent)
      : AacFamilyPage(settings, opt_aac_page::Family::kRawAac, services, parent) {}
};

}  // namespace sonorell
