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
#include "ui/encoding_choice_controls.h"
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

  encoding_ = new EncodingChoiceControls(
      page::kEncodingOptionTexts,
      {"&Bit Rate:", "bitrate", ValueListEntries(kMp3Bitrates, " kbps")},
      {"Sample &Frequency:", "sampleRate", ValueListEntries(kMp3SampleRates, " Hz")},
      page::kChannelTexts, this);
  layout->addWidget(encoding_);
  QLabel* jointStereoLink =
      LinkLabel(kJointStereoLinkText, QStringLiteral("jointStereoLink"), this);
  encoding_->AddBelowLists(jointStereoLink);

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

  layout->addLayout(GainRow(gain_, tagControls_));
  layout->addLayout(versionRow);
  layout->addStretch(1);
  layout->addWidget(LinkLabel(kLameLinkText, QStringLiteral("lameLink"), this), 0, Qt::AlignLeft);

  // Only user actions (activated, clicked) reach the model, so re-showing it fires nothing.
  encoding_->Drive(model_, &page::Model::SelectBitrate, &page::Model::bitrate,
                   &page::Model::SelectRate, &page::Model::rate);
  tagControls_->Bind(model_.tagChoice, model_.tags, Services(), this, [this] { ShowTagChoice(); });
  connect(versionGroup_, &QButtonGroup::idClicked, this,
          [this](int id) { model_.versionChoice = id; });
  connect(jointStereoLink, &QLabel::linkActivated, this, [this] { OpenHelp(); });
  connect(findChild<QLabel*>(QStringLiteral("lameLink")), &QLabel::linkActivated, this,
          [this] { OpenHelp(); });

  ShowTagChoice();
  gain_->SetValues(model_.amplify, model_.coefficient);
}

QString COptMp3Page::Title() const {
  return Text(kTitle);
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
  if (Services().openWithShell)
    Services().openWithShell(platform::ShippedFilesFolder() + kHelpFileName);
}

std::optional<PageRefusal> COptMp3Page::LeavePage() {
  return gain_->Leave(model_.amplify, model_.coefficient);
}

void COptMp3Page::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
