#include "ui/opt_wav_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string>

#include "ui/gain_controls.h"
#include "ui/list_combo.h"
#include "ui/spin_edit.h"

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

  auto* optionsLabel = new QLabel(QStringLiteral("&Encoding Options:"), this);
  encodingOptions_ = new QComboBox(this);
  encodingOptions_->setObjectName(QStringLiteral("encodingOptions"));
  for (const char* text : page::kEncodingOptionTexts) encodingOptions_->addItem(Text(text));
  optionsLabel->setBuddy(encodingOptions_);
  auto* optionsRow = new QHBoxLayout;
  optionsRow->addWidget(optionsLabel);
  optionsRow->addWidget(encodingOptions_, 1);
  layout->addLayout(optionsRow);

  auto* params = new QGroupBox(this);
  params->setObjectName(QStringLiteral("encodingParameters"));
  auto* grid = new QGridLayout(params);
  rateLabel_ = new QLabel(QStringLiteral("Sample &Frequency:"), params);
  rate_ = new QComboBox(params);
  rate_->setObjectName(QStringLiteral("sampleRate"));
  FillListCombo(*rate_, page::RateEntries());
  rateLabel_->setBuddy(rate_);
  bitsLabel_ = new QLabel(QStringLiteral("&Bits:"), params);
  bits_ = new QComboBox(params);
  bits_->setObjectName(QStringLiteral("bits"));
  FillListCombo(*bits_, page::BitsEntries());
  bitsLabel_->setBuddy(bits_);

  auto* channelBox = new QGroupBox(QStringLiteral("Channels:"), params);
  channelBox->setObjectName(QStringLiteral("channels"));
  auto* channelLayout = new QVBoxLayout(channelBox);
  channelGroup_ = new QButtonGroup(this);
  for (size_t i = 0; i < channels_.size(); ++i) {
    channels_[i] = new QRadioButton(Text(page::kChannelTexts[i]), channelBox);
    channels_[i]->setObjectName(QStringLiteral("channel%1").arg(i));
    channelGroup_->addButton(channels_[i], static_cast<int>(i));
    channelLayout->addWidget(channels_[i]);
  }

  grid->addWidget(rateLabel_, 0, 0);
  grid->addWidget(rate_, 0, 1);
  grid->addWidget(bitsLabel_, 1, 0);
  grid->addWidget(bits_, 1, 1);
  grid->addWidget(channelBox, 0, 2, 3, 1);
  grid->setRowStretch(2, 1);
  grid->setColumnStretch(1, 1);
  layout->addWidget(params);

  gain_ = new GainControls(this);
  layout->addWidget(gain_);
  layout->addStretch(1);

  // Only user actions (activated, clicked) reach the model, so re-showing it fires nothing.
  connect(encodingOptions_, &QComboBox::activated, this, [this](int index) {
    model_.SelectEncodingOption(index);
    ShowEncoding();
  });
  connect(bits_, &QComboBox::activated, this, [this] {
    model_.SelectBits(SelectedListValue(*bits_, model_.bits));
    ShowEncoding();
  });
  connect(rate_, &QComboBox::activated, this, [this] {
    model_.SelectRate(SelectedListValue(*rate_, model_.rate));
    ShowEncoding();
  });
  connect(channelGroup_, &QButtonGroup::idClicked, this, [this](int id) {
    model_.SelectChannel(id);
    ShowEncoding();
  });

  ShowEncoding();
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptWavPage::Title() const {
  return Text(page::kTitle);
}

void COptWavPage::ShowEncoding() {
  const QSignalBlocker blockOptions(encodingOptions_);
  const QSignalBlocker blockBits(bits_);
  const QSignalBlocker blockRate(rate_);
  encodingOptions_->setCurrentIndex(model_.encodingOption);
  SelectListValue(*bits_, model_.bits);
  SelectListValue(*rate_, model_.rate);
  channels_[static_cast<size_t>(model_.channelChoice)]->setChecked(true);

  const bool manual = model_.ParametersEnabled();
  bitsLabel_->setEnabled(manual);
  bits_->setEnabled(manual);
  rateLabel_->setEnabled(manual);
  rate_->setEnabled(manual);
  for (QRadioButton* radio : channels_) radio->setEnabled(manual);
}

std::optional<PageRefusal> COptWavPage::LeavePage() {
  gain_->ReadInto(model_.amplify, model_.coefficient);
  if (std::optional<PageRefusal> refusal = gain_->Check()) return refusal;
  if (const std::optional<std::string> text = model_.LeaveRefusal()) {
    return PageRefusal{QString::fromStdString(*text), gain_->CoefficientEdit()};
  }
  return std::nullopt;
}

void COptWavPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
