#include "ui/opt_ogg_page.h"

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
  layout->addLayout(GainRow(gain_, tagControls_));
  layout->addStretch(1);

  // Only user actions (activated, clicked) reach the model, so re-showing it fires nothing.
  encoding_->Drive(model_, &page::Model::SelectBitrate, &page::Model::bitrate,
                   &page::Model::SelectRate, &page::Model::rate);
  tagControls_->Bind(model_.tagChoice, model_.tags, Services(), this);
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptOggPage::Title() const {
  return Text(kTitle);
}

std::optional<PageRefusal> COptOggPage::LeavePage() {
  return gain_->Leave(model_.amplify, model_.coefficient);
}

void COptOggPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
