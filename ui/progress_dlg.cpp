#include "ui/progress_dlg.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/dialog_units.h"
#include "ui/message_pump.h"

namespace sonorell {

CProgressDlg::CProgressDlg(QWidget* parent) : CaptionLessDialog(parent, /*draggable=*/false) {
  setObjectName(QStringLiteral("CProgressDlg"));
  auto* layout = new QVBoxLayout(this);
  line_ = new QLabel(this);
  line_->setObjectName(QStringLiteral("line"));
  line_->setMinimumWidth(1);
  bar_ = new QProgressBar(this);
  bar_->setObjectName(QStringLiteral("bar"));
  bar_->setTextVisible(false);
  bar_->setRange(0, 1);
  bar_->setValue(0);
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("cancel"));
  cancel_->setAutoDefault(false);
  layout->addWidget(line_);
  layout->addWidget(bar_);
  layout->addWidget(cancel_, 0, Qt::AlignHCenter);
  setStyleSheet(QStringLiteral("CProgressDlg { border: 1px solid palette(dark); }"));

  connect(cancel_, &QPushButton::clicked, this, [this] { RequestCancel(); });
  setFixedSize(DialogUnitsToPixels(*this, 320, 62));
  CenterOnOwner();
}

CProgressDlg::~CProgressDlg() = default;

void CProgressDlg::SetLine(const std::string& text) {
  line_->setText(QString::fromStdString(text));
}

void CProgressDlg::SetBarRange(int maximum) {
  bar_->setRange(0, std::max(1, maximum));
  bar_->setValue(0);
}

void CProgressDlg::StepBar() {
  bar_->setValue(std::min(bar_->maximum(), bar_->value() + 1));
}

void CProgressDlg::PumpMessages() {
  sonorell::PumpMessages();
}

}  // namespace sonorell
