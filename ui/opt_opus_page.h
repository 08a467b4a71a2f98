#pragma once

#include "engine/encoders/opus/opus_options.h"
#include "ui/list_option_page.h"

namespace sonorell {

// "Opus Options": bit rate, rate control, complexity and channels of Opus output, its
// comments and its gain.
class COptOpusPage : public ListOptionPage<opt_opus_page::Model> {
 public:
  COptOpusPage(const Settings& settings, const OptionServices& services, QWidget* parent);
};

}  // namespace sonorell
