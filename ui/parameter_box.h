#pragma once

#include <QGroupBox>
#include <functional>
#include <span>
#include <vector>

#include "engine/encoders/option_lists.h"

class QButtonGroup;
class QComboBox;
class QGridLayout;
class QLabel;
class QRadioButton;

namespace sonorell {

// One labelled drop-down list of a parameter box.
struct ParameterList {
  const char* label;       // "&Bit Rate:"
  const char* objectName;  // "bitrate"
  std::vector<ListEntry> entries;
};

// The parameters of an encoder page: labelled drop-down lists one under the other, beside
// the "Channels:" radios. Only the user's own picks call back; the Show functions fire
// nothing.
class ParameterBox : public QGroupBox {
 public:
  ParameterBox(std::vector<ParameterList> lists, std::span<const char* const> channelTexts,
               QWidget* parent);

  // Selects the entry of value in list index (the first entry when none has it).
  void ShowValue(size_t index, int value);
  // Checks the radio of choice; a choice of no radio leaves them as they are.
  void ShowChannel(int choice);
  // The lists, their labels and the channel radios usable or not.
  void SetUsable(bool usable);
  // Puts a control under the lists, inside the box.
  void AddBelowLists(QWidget* widget);

  // The user picked value in list index.
  std::function<void(size_t index, int value)> onValue;
  std::function<void(int choice)> onChannel;

 private:
  std::vector<QLabel*> labels_;
  std::vector<QComboBox*> lists_;
  QButtonGroup* channelGroup_;
  std::vector<QRadioButton*> channels_;
  QGridLayout* grid_;
};

}  // namespace sonorell
