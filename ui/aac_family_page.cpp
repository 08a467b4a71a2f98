#include "ui/aac_family_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/gain_controls.h"
#include "ui/list_combo.h"
#include "ui/spin_edit.h"
#include "ui/tag_mode_controls.h"

namespace sonorell {
namespace {

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

// Radios of one choice, stacked in a frame, numbered by their value.
template <size_t N>
QGroupBox* RadioColumn(const std::array<const char*, N>& texts, const QString& name,
                       QButtonGroup* group, std::array<QRadioButton*, N>& radios, QWidget* parent) {
  auto* box = new QGroupBox(parent);
  box->setObjectName(name + QStringLiteral("Group"));
  auto* layout = new QVBoxLayout(box);
  for (size_t i = 0; i < N; ++i) {
    auto* radio = new QRadioButton(Text(texts[i]), box);
    radio->setObjectName(name + QString::number(i));
    group->addButton(radio, static_cast<int>(i));
    layout->addWidget(radio);
    radios[i] = radio;
  }
  layout->addStretch(1);
  return box;
}

}  // namespace

AacFamilyPage::AacFamilyPage(const Settings& settings, opt_aac_page::Family family,
                             const OptionServices& services, QWidget* parent)
    : COptPage(services, parent), model_(opt_aac_page::Model::FromSettings(settings, family)) {
  setObjectName(family == opt_aac_page::Family::kRawAac ? QStringLiteral("aacPage")
                                                        : QStringLiteral("m4aPage"));
  auto* page = new QVBoxLayout(this);

  auto_ = new QCheckBox(Text(opt_aac_page::kAutoText), this);
  auto_->setObjectName(QStringLiteral("auto"));
  page->addWidget(auto_);
  BuildEncodingControls();

  reset_ = new QPushButton(QStringLiteral("Reset"), this);
  reset_->setObjectName(QStringLiteral("reset"));
  auto* resetRow = new QHBoxLayout;
  resetRow->addWidget(reset_);
  resetRow->addStretch(1);
  page->addLayout(resetRow);

  gain_ = new GainControls(this);
  if (model_.TagControlsShown()) {
    tagControls_ = new TagModeControls(opt_aac_page::kTagTexts, opt_aac_page::kEditTagText, this);
    tagControls_->onChoiceChanged = [this](int choice) { model_.tagChoice = choice; };
    tagControls_->onEdit = [this] { EditTags(); };
    tagControls_->BindExtras(model_.tags);
  }
  page->addLayout(GainRow(gain_, tagControls_));
  page->addStretch(1);

  connect(auto_, &QCheckBox::clicked, this, [this](bool on) {
    model_.automatic = on;
    ApplyEnabling();
  });
  connect(modeGroup_, &QButtonGroup::idClicked, this, [this](int id) { ModeClicked(id); });
  connect(bitrate_, &QComboBox::activated, this,
          [this] { model_.bitrate = SelectedListValue(*bitrate_, model_.bitrate); });
  connect(tns_, &QCheckBox::clicked, this, [this](bool on) { model_.tns = on; });
  connect(midside_, &QCheckBox::clicked, this, [this](bool on) { model_.midside = on; });
  if (mpegGroup_) {
    connect(mpegGroup_, &QButtonGroup::idClicked, this,
            [this](int id) { model_.mpegVersion = id; });
  }
  connect(blockGroup_, &QButtonGroup::idClicked, this, [this](int id) { model_.blockType = id; });
  connect(reset_, &QPushButton::clicked, this, [this] { Reset(); });

  // Only user actions (clicked, activated) feed the model, so showing it needs no blocking.
  ShowEncoding();
  gain_->SetValues(model_.amplify, model_.coefficient);
  if (tagControls_) tagControls_->SetChoice(model_.tagChoice);
}

void AacFamilyPage::BuildEncodingControls() {
  auto* params = new QGroupBox(this);
  params->setObjectName(QStringLiteral("encodingParameters"));
  auto* grid = new QGridLayout(params);

  modeGroup_ = new QButtonGroup(this);
  for (size_t i = 0; i < modes_.size(); ++i) {
    modes_[i] = new QRadioButton(Text(opt_aac_page::kModeTexts[i]), params);
    modes_[i]->setObjectName(QStringLiteral("mode%1").arg(i));
    modeGroup_->addButton(modes_[i], static_cast<int>(i));
  }
  bitrateLabel_ = new QLabel(Text(opt_aac_page::kBitrateLabel), params);
  bitrate_ = new QComboBox(params);
  bitrate_->setObjectName(QStringLiteral("bitrate"));
  FillListCombo(*bitrate_, opt_aac_page::BitrateEntries());
  bitrateLabel_->setBuddy(bitrate_);

  qualityLabel_ = new QLabel(Text(opt_aac_page::kQualityLabel), params);
  quality_ = new SpinEdit(opt_aac_page::kQualityMin, opt_aac_page::kQualityMax,
                          opt_aac_page::kQualityStep, params);
  quality_->setObjectName(QStringLiteral("quality"));
  quality_->setMinimumWidth(quality_->fontMetrics().horizontalAdvance(QStringLiteral("50000")) +
                            30);
  qualityLabel_->setBuddy(quality_);
  auto* note = new QLabel(Text(opt_aac_page::kQualityNote), params);
  note->setObjectName(QStringLiteral("qualityNote"));

  tns_ = new QCheckBox(Text(opt_aac_page::kTnsText), params);
  tns_->setObjectName(QStringLiteral("tns"));
  midside_ = new QCheckBox(Text(opt_aac_page::kMidsideText), params);
  midside_->setObjectName(QStringLiteral("midside"));

  grid->addWidget(modes_[0], 0, 0);
  grid->addWidget(bitrateLabel_, 0, 1);
  grid->addWidget(bitrate_, 0, 2, 1, 2, Qt::AlignLeft);
  grid->addWidget(modes_[1], 1, 0);
  grid->addWidget(qualityLabel_, 1, 1);
  grid->addWidget(quality_, 1, 2);
  grid->addWidget(note, 1, 3);
  grid->addWidget(tns_, 2, 0, 1, 4);
  grid->addWidget(midside_, 3, 0, 1, 4);
  grid->setColumnStretch(3, 1);
  grid->setColumnMinimumWidth(0, 0);

  auto* choices = new QHBoxLayout;
  if (model_.MpegVersionShown()) {
    mpegGroup_ = new QButtonGroup(this);
    choices->addWidget(RadioColumn(opt_aac_page::kMpegVersionTexts, QStringLiteral("mpegVersion"),
                                   mpegGroup_, mpegVersions_, params));
  }
  blockGroup_ = new QButtonGroup(this);
  choices->addWidget(RadioColumn(opt_aac_page::kBlockTypeTexts, QStringLiteral("blockType"),
                                 blockGroup_, blockTypes_, params));
  for (size_t i = 0; i < blockTypes_.size(); ++i) {
    if (!opt_aac_page::Model::BlockTypeOffered(static_cast<int>(i))) {
      blockTypes_[i]->setToolTip(Text(opt_aac_page::kBlockTypeUnavailableTip));
    }
  }
  choices->addStretch(1);
  grid->addLayout(choices, 4, 0, 1, 4);

  static_cast<QVBoxLayout*>(layout())->addWidget(params);
}

QString AacFamilyPage::Title() const {
  return Text(model_.family == opt_aac_page::Family::kRawAac ? opt_aac_page::kRawAacTitle
                                                             : opt_aac_page::kMp4Title);
}

void AacFamilyPage::ShowEncoding() {
  auto_->setChecked(model_.automatic);
  modes_[model_.mode == opt_aac_page::kModeAbr ? 0 : 1]->setChecked(true);
  SelectListValue(*bitrate_, model_.bitrate);
  quality_->SetValue(model_.quality);
  tns_->setChecked(model_.tns);
  midside_->setChecked(model_.midside);
  if (mpegGroup_) mpegVersions_[model_.mpegVersion != 0 ? 1 : 0]->setChecked(true);
  const size_t blockType = static_cast<size_t>(model_.blockType);
  if (blockType < blockTypes_.size()) blockTypes_[blockType]->setChecked(true);
  ApplyEnabling();
}

void AacFamilyPage::ApplyEnabling() {
  const bool manual = model_.ParametersEnabled();
  for (QRadioButton* r : modes_) r->setEnabled(manual);
  bitrateLabel_->setEnabled(model_.BitrateEnabled());
  bitrate_->setEnabled(model_.BitrateEnabled());
  qualityLabel_->setEnabled(model_.QualityEnabled());
  quality_->setEnabled(model_.QualityEnabled());
  tns_->setEnabled(manual);
  midside_->setEnabled(manual);
  if (mpegGroup_) {
    for (QRadioButton* r : mpegVersions_) r->setEnabled(manual);
  }
  for (size_t i = 0; i < blockTypes_.size(); ++i) {
    blockTypes_[i]->setEnabled(model_.BlockTypeEnabled(static_cast<int>(i)));
  }
}

void AacFamilyPage::ModeClicked(int mode) {
  model_.mode = mode == opt_aac_page::kModeAbr ? opt_aac_page::kModeAbr : opt_aac_page::kModeVbr;
  ApplyEnabling();
  if (model_.mode == opt_aac_page::kModeVbr) {
    quality_->setFocus();
  } else {
    bitrate_->setFocus();
  }
}

void AacFamilyPage::Reset() {
  model_.Reset();
  ShowEncoding();
}

void AacFamilyPage::EditTags() {
  if (Services().editTags) Services().editTags(this, model_.tags, false);
}

bool AacFamilyPage::ReadQuality() {
  const std::optional<int> typed = quality_->Value();
  if (!typed) return false;
  // An out-of-range quality is refused while it counts (VBR without Auto); otherwise it is
  // not taken, so the page never stores a quality the encoder would ignore.
  const bool inRange = *typed >= opt_aac_page::kQualityMin && *typed <= opt_aac_page::kQualityMax;
  if (inRange || model_.QualityEnabled()) model_.quality = *typed;
  return true;
}

std::optional<PageRefusal> AacFamilyPage::LeavePage() {
  model_.automatic = auto_->isChecked();
  model_.bitrate = SelectedListValue(*bitrate_, model_.bitrate);
  const bool qualityIsNumber = ReadQuality();
  gain_->ReadInto(model_.amplify, model_.coefficient);
  if (tagControls_) model_.tagChoice = tagControls_->Choice();

  if (model_.QualityEnabled() && !qualityIsNumber) {
    return PageRefusal{Text(opt_aac_page::kInvalidQualityText), quality_};
  }
  if (const std::optional<opt_aac_page::Refusal> refusal = model_.LeaveRefusal()) {
    QWidget* focus = refusal->field == opt_aac_page::RefusedField::kQuality
                         ? static_cast<QWidget*>(quality_)
                         : static_cast<QWidget*>(gain_->CoefficientEdit());
    return PageRefusal{QString::fromStdString(refusal->text), focus};
  }
  return gain_->Check();
}

void AacFamilyPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
