#include "ui/opt_mp3_page.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>
#include <string>

#include "engine/encoders/option_lists.h"
#include "platform/desktop/program_folder.h"
#include "ui/gain_controls.h"
#include "ui/list_combo.h"
#include "ui/main_window_services.h"
#include "ui/spin_edit.h"
#include "ui/tag_mode_controls.h"

namespace sonorell {
namespace {

namespace page = opt_mp3_page;

constexpr const char* kTitle = "MP3 Options";
constexpr const char* kEditTagText = "Edit ID3 &tag";
constexpr const char* kJointStereoLinkText = "Joint Stereo vs. Stereo";
constexpr const char* kLameLinkText = "The program uses LAME MP3 encoder.";

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

QLabel* LinkLabel(const char* text, const QString& name, QWidget* parent) {
  auto* label =
      new QLabel(QStringLiteral("<a href=\"help\">%1</a>").arg(Text(text).toHtmlEscaped()), parent);
  label->setObjectName(name);
  label->setTextFormat(Qt::RichText);
  label->setTextInteractionFlags(Qt::LinksAccessibleByMouse | Qt::LinksAccessibleByKeyboard);
  return label;
}

}  // namespace

COptMp3Page::COptMp3Page(const Settings& settings, const OptionServices& services, QWidget* parent)
    : COptPage(services, parent), model_(page::Model::FromSettings(settings)) {
  setObjectName(QStringLiteral("mp3Page"));
  auto* layout = new QVBoxLayout(this);

  // The encoding choice: Auto, a preset or Custom.
  auto* optionsLabel = new QLabel(QStringLiteral("&Encoding Options:"), this);
  encodingOptions_ = new QComboBox(this);
  encodingOptions_->setObjectName(QStringLiteral("encodingOptions"));
  for (const char* text : page::kEncodingOptionTexts) encodingOptions_->addItem(Text(text));
  optionsLabel->setBuddy(encodingOptions_);
  auto* optionsRow = new QHBoxLayout;
  optionsRow->addWidget(optionsLabel);
  optionsRow->addWidget(encodingOptions_, 1);
  layout->addLayout(optionsRow);

  // Bit rate, rate and channels, usable unless Auto is chosen.
  auto* params = new QGroupBox(this);
  params->setObjectName(QStringLiteral("encodingParameters"));
  auto* grid = new QGridLayout(params);
  bitrateLabel_ = new QLabel(QStringLiteral("&Bit Rate:"), params);
  bitrate_ = new QComboBox(params);
  bitrate_->setObjectName(QStringLiteral("bitrate"));
  FillListCombo(*bitrate_, ValueListEntries(kMp3Bitrates, " kbps"));
  bitrateLabel_->setBuddy(bitrate_);
  rateLabel_ = new QLabel(QStringLiteral("Sample &Frequency:"), params);
  rate_ = new QComboBox(params);
  rate_->setObjectName(QStringLiteral("sampleRate"));
  FillListCombo(*rate_, ValueListEntries(kMp3SampleRates, " Hz"));
  rateLabel_->setBuddy(rate_);

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
  QLabel* jointStereoLink =
      LinkLabel(kJointStereoLinkText, QStringLiteral("jointStereoLink"), params);

  grid->addWidget(bitrateLabel_, 0, 0);
  grid->addWidget(bitrate_, 0, 1);
  grid->addWidget(rateLabel_, 1, 0);
  grid->addWidget(rate_, 1, 1);
  grid->addWidget(jointStereoLink, 2, 0, 1, 2, Qt::AlignLeft | Qt::AlignBottom);
  grid->addWidget(channelBox, 0, 2, 4, 1);
  grid->setRowStretch(3, 1);
  grid->setColumnStretch(1, 1);
  layout->addWidget(params);

  // Gain beside the tag choice; the ID3 version below the tag choice.
  gain_ = new GainControls(this);
  tagControls_ = new TagModeControls(page::kTagTexts, kEditTagText, this);
  versionLabel_ = new QLabel(QStringLiteral("Write ID3 tag as:"), this);
  versionLabel_->setObjectName(QStringLiteral("versionLabel"));
  versionGroup_ = new QButtonGroup(this);
  auto* versionRow = new QHBoxLayout;
  versionRow->addWidget(versionLabel_);
  for (size_t i = 0; i < versions_.size(); ++i) {
    versions_[i] = new QRadioButton(Text(page::kVersionTexts[i]), this);
    versions_[i]->setObjectName(QStringLiteral("id3Version%1").arg(i));
    versionGroup_->addButton(versions_[i], static_cast<int>(i));
    versionRow->addWidget(versions_[i]);
  }
  versionRow->addStretch(1);

  auto* tagColumn = new QVBoxLayout;
  tagColumn->addWidget(tagControls_);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(gain_, 1, Qt::AlignTop);
  bottom->addLayout(tagColumn);
  layout->addLayout(bottom);
  layout->addLayout(versionRow);
  layout->addStretch(1);
  layout->addWidget(LinkLabel(kLameLinkText, QStringLiteral("lameLink"), this), 0, Qt::AlignLeft);

  // Only user actions (activated, clicked) reach the model, so re-showing it fires nothing.
  connect(encodingOptions_, &QComboBox::activated, this, [this](int index) {
    model_.SelectEncodingOption(index);
    ShowEncoding();
  });
  connect(bitrate_, &QComboBox::activated, this, [this] {
    model_.SelectBitrate(SelectedListValue(*bitrate_, model_.bitrate));
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
  tagControls_->onChoiceChanged = [this](int choice) {
    model_.SelectTag(choice);
    ShowTagChoice();
  };
  tagControls_->onEdit = [this] {
    if (Services().editTags) Services().editTags(this, model_.tags, true);
  };
  connect(versionGroup_, &QButtonGroup::idClicked, this,
          [this](int id) { model_.versionChoice = id; });
  connect(jointStereoLink, &QLabel::linkActivated, this, [this] { OpenHelp(); });
  connect(findChild<QLabel*>(QStringLiteral("lameLink")), &QLabel::linkActivated, this,
          [this] { OpenHelp(); });

  ShowEncoding();
  ShowTagChoice();
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptMp3Page::Title() const {
  return Text(kTitle);
}

void COptMp3Page::ShowEncoding() {
  const QSignalBlocker blockOptions(encodingOptions_);
  const QSignalBlocker blockBitrate(bitrate_);
  const QSignalBlocker blockRate(rate_);
  encodingOptions_->setCurrentIndex(model_.encodingOption);
  SelectListValue(*bitrate_, model_.bitrate);
  SelectListValue(*rate_, model_.rate);
  channels_[static_cast<size_t>(model_.channelChoice)]->setChecked(true);

  const bool manual = model_.ParametersEnabled();
  bitrateLabel_->setEnabled(manual);
  bitrate_->setEnabled(manual);
  rateLabel_->setEnabled(manual);
  rate_->setEnabled(manual);
  for (QRadioButton* radio : channels_) radio->setEnabled(manual);
}

void COptMp3Page::ShowTagChoice() {
  tagControls_->SetChoice(model_.tagChoice);
  // A stored version of no radio checks none and is kept until the user picks one.
  const bool listed = model_.versionChoice >= 0 && model_.versionChoice < 3;
  versionGroup_->setExclusive(false);
  for (size_t i = 0; i < versions_.size(); ++i) {
    versions_[i]->setChecked(listed && static_cast<int>(i) == model_.versionChoice);
  }
  versionGroup_->setExclusive(true);
  const bool versionUsable = model_.VersionChoiceEnabled();
  versionLabel_->setEnabled(versionUsable);
  for (QRadioButton* radio : versions_) radio->setEnabled(versionUsable);
}

void COptMp3Page::OpenHelp() {
  if (Services().openWithShell) Services().openWithShell(platform::ProgramFolder() + kHelpFileName);
}

std::optional<PageRefusal> COptMp3Page::LeavePage() {
  gain_->ReadInto(model_.amplify, model_.coefficient);
  if (std::optional<PageRefusal> refusal = gain_->Check()) return refusal;
  if (const std::optional<std::string> text = model_.LeaveRefusal()) {
    return PageRefusal{QString::fromStdString(*text), gain_->CoefficientEdit()};
  }
  return std::nullopt;
}

void COptMp3Page::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
