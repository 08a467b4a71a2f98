#include "ui/opt_opus_page.h"

namespace sonorell {

COptOpusPage::COptOpusPage(const Settings& settings, const OptionServices& services,
                           QWidget* parent)
    : ListOptionPage(
          settings, services, parent, opt_opus_page::kTitle,
          {{{opt_opus_page::kBitrateLabel, "bitrate", opt_opus_page::BitrateEntries()},
            &opt_opus_page::Model::bitrate},
           {{opt_opus_page::kRateControlLabel, "rateControl", opt_opus_page::RateControlEntries()},
            &opt_opus_page::Model::rateControl},
           {{opt_opus_page::kComplexityLabel, "complexity", opt_opus_page::ComplexityEntries()},
            &opt_opus_page::Model::complexity}},
          opt_opus_page::kRateNote) {
  setObjectName(QStringLiteral("opusPage"));
}

}  // namespace sonorell
