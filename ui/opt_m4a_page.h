#pragma once

#include "ui/aac_family_page.h"

namespace sonorell {

// "MP4/M4A/M4B Options": AAC in the MP4 containers, with the tags they carry.
class COptM4aPage : public AacFamilyPage {
 public:
  COptM4aPage(const Settings& settings, const OptionServices& services, QWidget* parent)
      : AacFamilyPage(settings, opt_aac_page::Family::kMp4, services, parent) {}
};

}  // namespace sonorell
