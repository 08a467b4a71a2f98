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
  encoding_->onOption = [this](int index) {
    model_.SelectEncodingOption(index);
    ShowEncoding();
  };
  encoding_->onFirst = [this](int value) {
    model_.SelectRate(value);
    ShowEncoding();
  };
  encoding_->onSecond = [this](int value) {
    model_.SelectBits(value);
    ShowEncoding();
  };
  encoding_->onChannel = [this](int choice) {
    model_.SelectChannel(choice);
    ShowEncoding();
  };

  ShowEncoding();
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptWavPage::Title() const {
  return Text(page::kTitle);
}

void COptWavPage::ShowEncoding() {
  encoding_->Show(model_.encodingOption, model_.rate, model_.bits, model_.channelChoice,
                  model_.ParametersEnabled());
}

std::optional<PageRefusal> COptWavPage::LeavePage() {
  return gain_->Leave(model_.amplify, model_.coefficient);
}

void COptWavPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
