#include "ui/encoding_choice_controls.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QVBoxLayout>

#include "ui/list_combo.h"

namespace sonorell {

EncodingChoiceControls::EncodingChoiceControls(std::span<const char* const> optionTexts,
                                               ParameterList first, ParameterList second,
                                               std::span<const char* const> channelTexts,
                                               QWidget* parent)
    : QWidget(parent), options_(new QComboBox(this)), channelGroup_(new QButtonGroup(this)) {
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);

  auto* optionsLabel = new QLabel(QStringLiteral("&Encoding Options:"), this);
  options_->setObjectName(QStringLiteral("encodingOptions"));
  for (const char* text : optionTexts) options_->addItem(QString::fromUtf8(text));
  optionsLabel->setBuddy(options_);
  auto* optionsRow = new QHBoxLayout;
  optionsRow->addWidget(optionsLabel);
  optionsRow->addWidget(options_, 1);
  layout->addLayout(optionsRow);

  auto* params = new QGroupBox(this);
  params->setObjectName(QStringLiteral("encodingParameters"));
  grid_ = new QGridLayout(params);
  const std::array<ParameterList*, 2> lists{&first, &second};
  for (size_t i = 0; i < lists.size(); ++i) {
    labels_[i] = new QLabel(QString::fromUtf8(lists[i]->label), params);
    lists_[i] = new QComboBox(params);
    lists_[i]->setObjectName(QString::fromUtf8(lists[i]->objectName));
    FillListCombo(*lists_[i], lists[i]->entries);
    labels_[i]->setBuddy(lists_[i]);
    grid_->addWidget(labels_[i], static_cast<int>(i), 0);
    grid_->addWidget(lists_[i], static_cast<int>(i), 1);
  }

  auto* channelBox = new QGroupBox(QStringLiteral("Channels:"), params);
  channelBox->setObjectName(QStringLiteral("channels"));
  auto* channelLayout = new QVBoxLayout(channelBox);
  for (size_t i = 0; i < channelTexts.size(); ++i) {
    auto* radio = new QRadioButton(QString::fromUtf8(channelTexts[i]), channelBox);
    radio->setObjectName(QStringLiteral("channel%1").arg(i));
    channelGroup_->addButton(radio, static_cast<int>(i));
    channelLayout->addWidget(radio);
    channels_.push_back(radio);
  }
  grid_->addWidget(channelBox, 0, 2, 4, 1);
  grid_->setRowStretch(3, 1);
  grid_->setColumnStretch(1, 1);
  layout->addWidget(params);

  connect(options_, &QComboBox::activated, this, [this](int index) {
    if (onOption) onOption(index);
  });
  connect(lists_[0], &QComboBox::activated, this, [this] {
    if (onFirst) onFirst(SelectedListValue(*lists_[0]));
  });
  connect(lists_[1], &QComboBox::activated, this, [this] {
    if (onSecond) onSecond(SelectedListValue(*lists_[1]));
  });
  connect(channelGroup_, &QButtonGroup::idClicked, this, [this](int id) {
    if (onChannel) onChannel(id);
  });
}

void EncodingChoiceControls::AddBelowLists(QWidget* widget) {
  widget->setParent(grid_->parentWidget());
  grid_->addWidget(widget, 2, 0, 1, 2, Qt::AlignLeft | Qt::AlignBottom);
}

void EncodingChoiceControls::Show(int option, int firstValue, int secondValue, int channelChoice,
                                  bool manual) {
  const QSignalBlocker blockOptions(options_);
  const QSignalBlocker blockFirst(lists_[0]);
  const QSignalBlocker blockSecond(lists_[1]);
  options_->setCurrentIndex(option);
  SelectListValue(*lists_[0], firstValue);
  SelectListValue(*lists_[1], secondValue);
  if (QAbstractButton* radio = channelGroup_->button(channelChoice)) radio->setChecked(true);
  for (size_t i = 0; i < lists_.size(); ++i) {
    labels_[i]->setEnabled(manual);
    lists_[i]->setEnabled(manual);
  }
  for (QRadioButton* radio : channels_) radio->setEnabled(manual);
}

}  // namespace sonorell
