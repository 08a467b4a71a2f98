#include "ui/convert_progress_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_units.h"
#include "ui/message_pump.h"

namespace sonorell {
namespace {

QProgressBar* MakeBar(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setTextVisible(false);
  bar->setRange(0, 1);
  bar->setValue(0);
  return bar;
}

}  // namespace

CConvertProgressDlg::CConvertProgressDlg(QWidget* parent)
    : CaptionLessDialog(parent, /*draggable=*/true) {
  setObjectName(QStringLiteral("CConvertProgressDlg"));
  // Qt parents own the controls; the frame makes the caption-less window stand out.
  auto* layout = new QVBoxLayout(this);
  fileLine_ = new QLabel(this);
  fileLine_->setObjectName(QStringLiteral("fileLine"));
  fileLine_->setMinimumWidth(1);
  fileBar_ = MakeBar(this);
  fileBar_->setObjectName(QStringLiteral("fileBar"));
  overallLine_ = new QLabel(this);
  overallLine_->setObjectName(QStringLiteral("overallLine"));
  overallLine_->setMinimumWidth(1);
  overallBar_ = MakeBar(this);
  overallBar_->setObjectName(QStringLiteral("overallBar"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setAutoDefault(false);

  layout->addWidget(fileLine_);
  layout->addWidget(fileBar_);
  layout->addWidget(overallLine_);
  layout->addWidget(overallBar_);
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  setStyleSheet(QStringLiteral("CConvertProgressDlg { border: 1px solid palette(dark); }"));

  connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });
  setFixedSize(DialogUnitsToPixels(*this, 320, 95));
  CenterOnOwner();
}

CConvertProgressDlg::~CConvertProgressDlg() = default;

void CConvertProgressDlg::SetFileLine(const std::string& text) {
  fileLine_->setText(QString::fromStdString(text));
}

int CConvertProgressDlg::FileBarWidth() const {
  return fileBar_->width();
}

void CConvertProgressDlg::SetFileBarRange(int maximum) {
  fileBar_->setRange(0, maximum);
}

void CConvertProgressDlg::SetFileBarPos(int position) {
  fileBar_->setValue(position);
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
