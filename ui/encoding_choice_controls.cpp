#include "ui/encoding_choice_controls.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <utility>

namespace sonorell {

EncodingChoiceControls::EncodingChoiceControls(std::span<const char* const> optionTexts,
                                               ParameterList first, ParameterList second,
                                               std::span<const char* const> channelTexts,
                                               QWidget* parent)
    : QWidget(parent), options_(new QComboBox(this)) {
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

  std::vector<ParameterList> lists;
  lists.push_back(std::move(first));
  lists.push_back(std::move(second));
  params_ = new ParameterBox(std::move(lists), channelTexts, this);
  params_->setObjectName(QStringLiteral("encodingParameters"));
  layout->addWidget(params_);

  connect(options_, &QComboBox::activated, this, [this](int index) {
    if (onOption) onOption(index);
  });
  params_->onValue = [this](size_t index, int value) {
    const std::function<void(int)>& handler = index == 0 ? onFirst : onSecond;
    if (handler) handler(value);
  };
  params_->onChannel = [this](int choice) {
    if (onChannel) onChannel(choice);
  };
}

void EncodingChoiceControls::AddBelowLists(QWidget* widget) {
  params_->AddBelowLists(widget);
}

void EncodingChoiceControls::Show(int option, int firstValue, int secondValue, int channelChoice,
                                  bool manual) {
  const QSignalBlocker blockOptions(options_);
  options_->setCurrentIndex(option);
  params_->ShowValue(0, firstValue);
  params_->ShowValue(1, secondValue);
  params_->ShowChannel(channelChoice);
  params_->SetUsable(manual);
}

}  // namespace sonorell
