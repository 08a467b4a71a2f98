#include "ui/opt_ogg_page.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <string>

#include "engine/encoders/option_lists.h"
#include "ui/encoding_choice_controls.h"
#include "ui/gain_controls.h"
#include "ui/tag_mode_controls.h"

namespace sonorell {
namespace {

namespace page = opt_ogg_page;

constexpr const char* kTitle = "OGG Options";
constexpr const char* kEditTagText = "Edit ID3 &tag";

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

}  // namespace

COptOggPage::COptOggPage(const Settings& settings, const OptionServices& services, QWidget* parent)
    : COptPage(services, parent), model_(page::Model::FromSettings(settings)) {
  setObjectName(QStringLiteral("oggPage"));
  auto* layout = new QVBoxLayout(this);

  encoding_ = new EncodingChoiceControls(
      page::kEncodingOptionTexts,
      {"&Bit Rate:", "bitrate", ValueListEntries(kOggBitrates, " kbps")},
      {"Sample &Frequency:", "sampleRate", ValueListEntries(kOggSampleRates, " Hz")},
      page::kChannelTexts, this);
  layout->addWidget(encoding_);

  gain_ = new GainControls(this);
  tagControls_ = new TagModeControls(page::kTagTexts, kEditTagText, this);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(gain_, 1, Qt::AlignTop);
  bottom->addWidget(tagControls_, 0, Qt::AlignTop);
  layout->addLayout(bottom);
  layout->addStretch(1);

  // Only user actions (activated, clicked) reach the model, so re-showing it fires nothing.
  encoding_->onOption = [this](int index) {
    model_.SelectEncodingOption(index);
    ShowEncoding();
  };
  encoding_->onFirst = [this](int value) {
    model_.SelectBitrate(value);
    ShowEncoding();
  };
  encoding_->onSecond = [this](int value) {
    model_.SelectRate(value);
    ShowEncoding();
  };
  encoding_->onChannel = [this](int choice) {
    model_.SelectChannel(choice);
    ShowEncoding();
  };
  tagControls_->onChoiceChanged = [this](int choice) { model_.SelectTag(choice); };
  tagControls_->onEdit = [this] {
    if (Services().editTags) Services().editTags(this, model_.tags, true);
  };

  ShowEncoding();
  tagControls_->SetChoice(model_.tagChoice);
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptOggPage::Title() const {
  return Text(kTitle);
}

void COptOggPage::ShowEncoding() {
  encoding_->Show(model_.encodingOption, model_.bitrate, model_.rate, model_.channelChoice,
                  model_.ParametersEnabled());
}

std::optional<PageRefusal> COptOggPage::LeavePage() {
  return gain_->Leave(model_.amplify, model_.coefficient);
}

void COptOggPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
