#include "ui/parameter_box.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/list_combo.h"

namespace sonorell {

ParameterBox::ParameterBox(std::vector<ParameterList> lists,
                           std::span<const char* const> channelTexts, QWidget* parent)
    : QGroupBox(parent), channelGroup_(new QButtonGroup(this)), grid_(new QGridLayout(this)) {
  const int rows = static_cast<int>(lists.size());
  for (size_t i = 0; i < lists.size(); ++i) {
    auto* label = new QLabel(QString::fromUtf8(lists[i].label), this);
    auto* combo = new QComboBox(this);
    combo->setObjectName(QString::fromUtf8(lists[i].objectName));
    FillListCombo(*combo, lists[i].entries);
    label->setBuddy(combo);
    grid_->addWidget(label, static_cast<int>(i), 0);
    grid_->addWidget(combo, static_cast<int>(i), 1);
    labels_.push_back(label);
    lists_.push_back(combo);
    connect(combo, &QComboBox::activated, this, [this, i] {
      if (onValue) onValue(i, SelectedListValue(*lists_[i]));
    });
  }

  auto* channelBox = new QGroupBox(QStringLiteral("Channels:"), this);
  channelBox->setObjectName(QStringLiteral("channels"));
  auto* channelLayout = new QVBoxLayout(channelBox);
  for (size_t i = 0; i < channelTexts.size(); ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(channelTexts[i]), channelBox);
    radio->setObjectName(QStringLiteral("channel%1").arg(i));
    channelGroup_->addButton(radio, static_cast<int>(i));
    channelLayout->addWidget(radio);
    channels_.push_back(radio);
  }
  // The lists, a row for a control under them, then the spare height; the radios beside all.
  grid_->addWidget(channelBox, 0, 2, rows + 2, 1);
  grid_->setRowStretch(rows + 1, 1);
  grid_->setColumnStretch(1, 1);

  connect(channelGroup_, &QButtonGroup::idClicked, this, [this](int id) {
    if (onChannel) onChannel(id);
  });
}

void ParameterBox::ShowValue(size_t index, int value) {
  const QSignalBlocker block(lists_[index]);
  SelectListValue(*lists_[index], value);
}

void ParameterBox::ShowChannel(int choice) {
  if (QAbstractButton* radio = channelGroup_->button(choice)) radio->setChecked(true);
}

void ParameterBox::SetUsable(bool usable) {
  for (size_t i = 0; i < lists_.size(); ++i) {
    labels_[i]->setEnabled(usable);
    lists_[i]->setEnabled(usable);
  }
  for (QRadioButton* radio : channels_) radio->setEnabled(usable);
}

void ParameterBox::AddBelowLists(QWidget* widget) {
  widget->setParent(this);
  grid_->addWidget(widget, static_cast<int>(lists_.size()), 0, 1, 2,
                   Qt::AlignLeft | Qt::AlignBottom);
}

}  // namespace sonorell
