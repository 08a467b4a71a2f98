#include "ui/opt_flac_page.h"

namespace sonorell {

using opt_flac_page::Model;

COptFlacPage::COptFlacPage(const Settings& settings, const OptionServices& services,
                           QWidget* parent)
    : ListOptionPage(
          settings, services, parent, opt_flac_page::kTitle,
          {{{opt_flac_page::kCompressionLabel, "compression", opt_flac_page::CompressionEntries()},
            &Model::compression},
           {{opt_flac_page::kRateLabel, "sampleRate", opt_flac_page::RateEntries()}, &Model::rate}},
          opt_flac_page::kLosslessNote) {
  setObjectName(QStringLiteral("flacPage"));
}

}  // namespace sonorell
