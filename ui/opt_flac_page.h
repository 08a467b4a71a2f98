#pragma once

#include "engine/encoders/flac/flac_options.h"
#include "ui/list_option_page.h"

namespace sonorell {

// "FLAC Options": compression level, rate and channels of lossless FLAC output, its
// comments and its gain.
class COptFlacPage : public ListOptionPage<opt_flac_page::Model> {
 public:
  COptFlacPage(const Settings& settings, const OptionServices& services, QWidget* parent);
};

}  // namespace sonorell
