#include "ui/convert_progress_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "ui/dialog_units.h"
#include "ui/elided_label.h"
#include "ui/message_pump.h"

namespace sonorell {
namespace {

constexpr int kWidthUnits = 320;
constexpr int kHeightUnits = 95;
// What one more line and bar add to the height: in the designed window the file line starts
// 35 dialog units above the overall line.
constexpr int kPairHeightUnits = 35;

// An empty bar, as a new one and an idle slot show it.
void ResetBar(QProgressBar& bar) {
  bar.setRange(0, 1);
  bar.setValue(0);
}

QProgressBar* MakeBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  ResetBar(*bar);
  return bar;
}

QString SlotName(const char* control, int slot) {
  const QString name = QString::fromLatin1(control);
  return slot == 0 ? name : name + QString::number(slot);
}

}  // namespace

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent)
    : CaptionLessDialog(parent, /*draggable=*/true), rows_(new QVBoxLayout(this)) {
  setObjectName(QStringLiteral("CConvertProgressDlg"));
  // Qt parents own the controls; the frame makes the caption-less window stand out.
  pairs_.push_back(AddPair(0));
  overallLine_ = new QLabel(this);
  overallLine_->setObjectName(QStringLiteral("overallLine"));
  overallLine_->setMinimumWidth(1);
  overallBar_ = MakeBar(this);
  overallBar_->setObjectName(QStringLiteral("overallBar"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setAutoDefault(false);

  rows_->addWidget(overallLine_);
  rows_->addWidget(overallBar_);
  rows_->addWidget(cancel_, 0, Qt::AlignHCenter);
  setStyleSheet(QStringLiteral("CConvertProgressDlg { border: 1px solid palette(dark); }"));

  connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });
  SetFileSlots(1);
}

CConvertProgressDlg::~CConvertProgressDlg() = default;

CConvertProgressDlg::Pair CConvertProgressDlg::AddPair(int slot) {
  auto* line = new ElidedLabel(this);
  line->setObjectName(SlotName("fileLine", slot));
  auto* bar = MakeBar(this);
  bar->setObjectName(SlotName("fileBar", slot));
  // The pairs come first in the column, in slot order.
  rows_->insertWidget(2 * slot, line);
  rows_->insertWidget(2 * slot + 1, bar);
  line->show();
  bar->show();
  return {line, bar};
}

// The window grows by one pair's height for each slot past the first, but never beyond the
// available height of its screen: it draws as many pairs as fit there (slot 0 always), and
// the slots past them run unseen; the overall line and bar and Cancel always show. With
// 14-pixel text lines (a 9-point font) a pair is 61 pixels and a 1024-pixel screen holds 15.
void CConvertProgressDlg::SetFileSlots(int count) {
  fileSlots_ = std::clamp(count, 1, kMaxFileSlots);
  const QSize designed = DialogUnitsToPixels(*this, kWidthUnits, kHeightUnits);
  const int pairHeight = std::max(1, DialogUnitsToPixels(*this, 0, kPairHeightUnits).height());
  const int room = std::max(0, AvailableArea().height() - designed.height());
  const int drawn = std::min(fileSlots_, 1 + room / pairHeight);

  while (pairs_.size() > 1) {
    delete pairs_.back().line;
    delete pairs_.back().bar;
    pairs_.pop_back();
  }
  for (int slot = 1; slot < drawn; ++slot) pairs_.push_back(AddPair(slot));

  setFixedSize(designed.width(), designed.height() + (drawn - 1) * pairHeight);
  rows_->activate();  // new bars know their width before the first file asks for it
  CenterOnOwner();
}

const CConvertProgressDlg::Pair* CConvertProgressDlg::Drawn(int slot) const {
  if (slot < 0 || slot >= static_cast<int>(pairs_.size())) return nullptr;
  return &pairs_[static_cast<size_t>(slot)];
}

QLabel* CConvertProgressDlg::SlotLine(int slot) const {
  const Pair* pair = Drawn(slot);
  return pair ? pair->line : nullptr;
}

QProgressBar* CConvertProgressDlg::SlotBar(int slot) const {
  const Pair* pair = Drawn(slot);
  return pair ? pair->bar : nullptr;
}

void CConvertProgressDlg::SetSlotLine(int slot, const std::string& text) {
  if (const Pair* pair = Drawn(slot)) pair->line->setText(QString::fromStdString(text));
}

int CConvertProgressDlg::SlotBarWidth(int slot) const {
  if (slot < 0 || slot >= fileSlots_) return 0;
  const Pair* pair = Drawn(slot);
  return (pair ? *pair : pairs_.front()).bar->width();
}

void CConvertProgressDlg::SetSlotBarRange(int slot, int maximum) {
  if (const Pair* pair = Drawn(slot)) pair->bar->setRange(0, maximum);
}

void CConvertProgressDlg::SetSlotBarPos(int slot, int position) {
  if (const Pair* pair = Drawn(slot)) pair->bar->setValue(position);
}

void CConvertProgressDlg::ClearSlot(int slot) {
  if (const Pair* pair = Drawn(slot)) {
    pair->line->clear();
    ResetBar(*pair->bar);
  }
}

void CConvertProgressDlg::SetFileLine(const std::string& text) {
  SetSlotLine(0, text);
}

int CConvertProgressDlg::FileBarWidth() const {
  return SlotBarWidth(0);
}

void CConvertProgressDlg::SetFileBarRange(int maximum) {
  SetSlotBarRange(0, maximum);
}

void CConvertProgressDlg::SetFileBarPos(int position) {
  SetSlotBarPos(0, position);
}

void CConvertProgressDlg::SetOverallLine(const std::string& text) {
  overallLine_->setText(QString::fromStdString(text));
}

void CConvertProgressDlg::SetOverallBarRange(int maximum) {
  overallBar_->setRange(0, std::max(1, maximum));
  overallBar_->setValue(0);
}

void CConvertProgressDlg::StepOverallBar() {
  overallBar_->setValue(std::min(overallBar_->maximum(), overallBar_->value() + 1));
}

void CConvertProgressDlg::PumpMessages() {
  sonorell::PumpMessages();
}

}  // namespace sonorell
