#include "ui/gain_controls.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>

#include "engine/encoders/option_limits.h"
#include "ui/spin_edit.h"

namespace sonorell {

GainControls::GainControls(QWidget* parent)
    : QWidget(parent),
      amplify_(new QCheckBox(QString::fromUtf8(kAmplifyText), this)),
      label_(new QLabel(QString::fromUtf8(kCoefficientLabel), this)),
      coefficient_(
          new SpinEdit(kMinAmplifyCoefficient, kMaxAmplifyCoefficient, kCoefficientStep, this)),
      percent_(new QLabel(QStringLiteral("%"), this)) {
  setObjectName(QStringLiteral("gain"));
  amplify_->setObjectName(QStringLiteral("amplify"));
  coefficient_->setObjectName(QStringLiteral("coefficient"));
  label_->setBuddy(coefficient_);
  auto* note = new QLabel(QString::fromUtf8(kCoefficientNote), this);
  note->setObjectName(QStringLiteral("coefficientNote"));

  auto* grid = new QGridLayout(this);
  grid->setContentsMargins(0, 0, 0, 0);
  grid->addWidget(amplify_, 0, 0, 1, 4);
  grid->addWidget(label_, 1, 0);
  grid->addWidget(coefficient_, 1, 1);
  grid->addWidget(percent_, 1, 2);
  grid->addWidget(note, 1, 3, 2, 1, Qt::AlignTop);
  grid->setColumnStretch(3, 1);
  grid->setRowStretch(2, 1);
  coefficient_->setMinimumWidth(
      coefficient_->fontMetrics().horizontalAdvance(QStringLiteral("30000")) + 30);

  connect(amplify_, &QCheckBox::clicked, this, [this] { ApplyEnabling(true); });
  ApplyEnabling(false);
}

void GainControls::SetValues(bool amplify, int coefficient) {
  amplify_->setChecked(amplify);
  coefficient_->SetValue(coefficient);
  ApplyEnabling(false);
}

bool GainControls::Amplify() const {
  return amplify_->isChecked();
}

std::optional<int> GainControls::Coefficient() const {
  return coefficient_->Value();
}

void GainControls::ReadInto(bool& amplify, int& coefficient) const {
  amplify = Amplify();
  if (const std::optional<int> typed = Coefficient()) coefficient = *typed;
}

std::optional<PageRefusal> GainControls::Check() const {
  if (!Amplify()) return std::nullopt;
  const std::optional<int> typed = Coefficient();
  if (typed && ValidAmplifyCoefficient(*typed)) return std::nullopt;
  return PageRefusal{QString::fromUtf8(kInvalidAmplificationText), coefficient_};
}

void GainControls::ApplyEnabling(bool focusEdit) {
  const bool on = amplify_->isChecked();
  label_->setEnabled(on);
  coefficient_->setEnabled(on);
  percent_->setEnabled(on);
  if (focusEdit) coefficient_->setFocus();
}

QHBoxLayout* GainRow(GainControls* gain, QWidget* beside) {
  auto* row = new QHBoxLayout;
  row->addWidget(gain, 1, Qt::AlignTop);
  if (beside) row->addWidget(beside, 0, Qt::AlignTop);
  return row;
}

}  // namespace sonorell
