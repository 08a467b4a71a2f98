#include "ui/amr_opt_page.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/gain_controls.h"
#include "ui/list_combo.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

QString Text(const char* text) {
  return QString::fromUtf8(text);
}

QComboBox* ModeCombo(const std::vector<ListEntry>& entries, const QString& name, QWidget* parent) {
  auto* combo = new QComboBox(parent);
  combo->setObjectName(name);
  FillListCombo(*combo, entries);
  return combo;
}

QLabel* BuddyLabel(QWidget* buddy, const QString& name, QWidget* parent) {
  auto* label = new QLabel(Text(opt_amr_page::kBitrateLabel), parent);
  label->setObjectName(name);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

CAmrOptPage::CAmrOptPage(const Settings& settings, const OptionServices& services, QWidget* parent)
    : COptPage(services, parent), model_(opt_amr_page::Model::FromSettings(settings)) {
  setObjectName(QStringLiteral("amrPage"));
  auto* page = new QVBoxLayout(this);

  // ".amr": the codec, the mode of each codec and DTX.
  auto* amr = new QGroupBox(this);
  amr->setObjectName(QStringLiteral("amrGroup"));
  codecGroup_ = new QButtonGroup(this);
  for (size_t i = 0; i < codecs_.size(); ++i) {
    codecs_[i] = new QRadioButton(Text(opt_amr_page::kCodecTexts[i]), amr);
    codecs_[i]->setObjectName(QStringLiteral("codec%1").arg(i));
    codecGroup_->addButton(codecs_[i], static_cast<int>(i));
  }
  nbBitrate_ = ModeCombo(opt_amr_page::NbModeEntries(), QStringLiteral("nbBitrate"), amr);
  wbBitrate_ = ModeCombo(opt_amr_page::WbModeEntries(), QStringLiteral("wbBitrate"), amr);
  nbLabel_ = BuddyLabel(nbBitrate_, QStringLiteral("nbBitrateLabel"), amr);
  wbLabel_ = BuddyLabel(wbBitrate_, QStringLiteral("wbBitrateLabel"), amr);
  amrDtx_ = new QCheckBox(Text(opt_amr_page::kDtxText), amr);
  amrDtx_->setObjectName(QStringLiteral("amrDtx"));
  auto* amrGrid = new QGridLayout(amr);
  amrGrid->addWidget(codecs_[0], 0, 0);
  amrGrid->addWidget(nbLabel_, 0, 1);
  amrGrid->addWidget(nbBitrate_, 0, 2);
  amrGrid->addWidget(codecs_[1], 1, 0);
  amrGrid->addWidget(wbLabel_, 1, 1);
  amrGrid->addWidget(wbBitrate_, 1, 2);
  amrGrid->addWidget(amrDtx_, 2, 0, 1, 3);
  amrGrid->setHorizontalSpacing(12);
  amrGrid->setColumnStretch(3, 1);
  page->addWidget(amr);

  // ".awb": always wide band at 16000 Hz.
  auto* awb = new QGroupBox(Text(opt_amr_page::kAwbGroupText), this);
  awb->setObjectName(QStringLiteral("awbGroup"));
  awbBitrate_ = ModeCombo(opt_amr_page::WbModeEntries(), QStringLiteral("awbBitrate"), awb);
  auto* awbLabel = BuddyLabel(awbBitrate_, QStringLiteral("awbBitrateLabel"), awb);
  auto* awbRate = new QLabel(Text(opt_amr_page::kAwbRateText), awb);
  awbRate->setObjectName(QStringLiteral("awbRate"));
  awbDtx_ = new QCheckBox(Text(opt_amr_page::kDtxText), awb);
  awbDtx_->setObjectName(QStringLiteral("awbDtx"));
  auto* awbGrid = new QGridLayout(awb);
  awbGrid->addWidget(awbRate, 0, 0);
  awbGrid->addWidget(awbLabel, 0, 1);
  awbGrid->addWidget(awbBitrate_, 0, 2);
  awbGrid->addWidget(awbDtx_, 1, 0, 1, 3);
  awbGrid->setHorizontalSpacing(12);
  awbGrid->setColumnStretch(3, 1);
  page->addWidget(awb);

  gain_ = new GainControls(this);
  page->addWidget(gain_);
  page->addStretch(1);

  // The model, as stored (a mode of no entry already shows as the fifth).
  codecs_[model_.codec == opt_amr_page::kCodecWb ? 1 : 0]->setChecked(true);
  SelectListValue(*nbBitrate_, model_.nbMode);
  SelectListValue(*wbBitrate_, model_.wbMode);
  SelectListValue(*awbBitrate_, model_.awbMode);
  amrDtx_->setChecked(model_.amrDtx);
  awbDtx_->setChecked(model_.awbDtx);
  gain_->SetValues(model_.amplify, model_.coefficient);
  ApplyEnabling();

  // Only user actions (clicked, activated) feed the model.
  connect(codecGroup_, &QButtonGroup::idClicked, this, [this](int id) {
    model_.SelectCodec(id);
    ApplyEnabling();
  });
  connect(nbBitrate_, &QComboBox::activated, this,
          [this] { model_.nbMode = SelectedListValue(*nbBitrate_, model_.nbMode); });
  connect(wbBitrate_, &QComboBox::activated, this,
          [this] { model_.wbMode = SelectedListValue(*wbBitrate_, model_.wbMode); });
  connect(awbBitrate_, &QComboBox::activated, this,
          [this] { model_.awbMode = SelectedListValue(*awbBitrate_, model_.awbMode); });
  connect(amrDtx_, &QCheckBox::clicked, this, [this](bool on) { model_.amrDtx = on; });
  connect(awbDtx_, &QCheckBox::clicked, this, [this](bool on) { model_.awbDtx = on; });
}

QString CAmrOptPage::Title() const {
  return Text(opt_amr_page::kTitle);
}

void CAmrOptPage::ApplyEnabling() {
  nbLabel_->setEnabled(model_.NbModeEnabled());
  nbBitrate_->setEnabled(model_.NbModeEnabled());
  wbLabel_->setEnabled(model_.WbModeEnabled());
  wbBitrate_->setEnabled(model_.WbModeEnabled());
  awbBitrate_->setEnabled(model_.AwbModeEnabled());
  amrDtx_->setEnabled(model_.DtxEnabled());
  awbDtx_->setEnabled(model_.DtxEnabled());
}

void CAmrOptPage::ReadControls() {
  model_.SelectCodec(codecGroup_->checkedId());
  model_.nbMode = SelectedListValue(*nbBitrate_, model_.nbMode);
  model_.wbMode = SelectedListValue(*wbBitrate_, model_.wbMode);
  model_.awbMode = SelectedListValue(*awbBitrate_, model_.awbMode);
  model_.amrDtx = amrDtx_->isChecked();
  model_.awbDtx = awbDtx_->isChecked();
  gain_->ReadInto(model_.amplify, model_.coefficient);
}

std::optional<PageRefusal> CAmrOptPage::LeavePage() {
  ReadControls();
  if (const std::optional<std::string> refusal = model_.LeaveRefusal()) {
    return PageRefusal{QString::fromStdString(*refusal), gain_->CoefficientEdit()};
  }
  return gain_->Check();
}

void CAmrOptPage::StoreInto(Settings& settings) const {
  model_.StoreInto(settings);
}

}  // namespace sonorell
