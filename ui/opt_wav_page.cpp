#include "ui/opt_wav_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <string>

#include "ui/encoding_choice_controls.h"
#include "ui/gain_controls.h"

namespace sonorell {
namespace {

namespace page = opt_wav_page;

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

COptWavPage::COptWavPage(const Settings& settings, const OptionServices& services, QWidget* parent)
    : COptPage(services, parent), model_(page::Model::FromSettings(settings)) {
  setObjectName(QStringLiteral("wavPage"));
  auto* layout = new QVBoxLayout(this);

  encoding_ = new EncodingChoiceControls(
      page::kEncodingOptionTexts, {"Sample &Frequency:", "sampleRate", page::RateEntries()},
      {"&Bits:", "bits", page::BitsEntries()}, page::kChannelTexts, this);
  layout->addWidget(encoding_);

  gain_ = new GainControls(this);
  layout->addWidget(gain_);
  layout->addStretch(1);

  // Only user actions (activated, clicked) reach the model, so re-showing it fires nothing.
  encoding_->Drive(model_, &page::Model::SelectRate, &page::Model::rate, &page::Model::SelectBits,
                   &page::Model::bits);
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptWavPage::Title() const {
  return Text(page::kTitle);
}

std::optional<PageRefusal> COptWavPage::LeavePage() {
  return gain_->Leave(model_.amplify, model_.coefficient);
}

void COptWavPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
