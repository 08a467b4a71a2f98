#pragma once

#include <QString>
#include <QWidget>
#include <array>
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

// One labelled drop-down list of the parameters box.
struct ParameterList {
  const char* label;       // "&Bit Rate:"
  const char* objectName;  // "bitrate"
  std::vector<ListEntry> entries;
};

// The encoding choice of the MP3, Ogg and WAV pages: "&Encoding Options:" (Auto, presets,
// Custom) over a box with two lists and the "Channels:" radios, which are usable only
// while the choice is not Auto. Only the user's own actions call back; Show() fires nothing.
class EncodingChoiceControls : public QWidget {
 public:
  EncodingChoiceControls(std::span<const char* const> optionTexts, ParameterList first,
                         ParameterList second, std::span<const char* const> channelTexts,
                         QWidget* parent);

  void Show(int option, int firstValue, int secondValue, int channelChoice, bool manual);
  // Puts a control under the two lists, inside the box.
  void AddBelowLists(QWidget* widget);

  std::function<void(int option)> onOption;
  std::function<void(int value)> onFirst;
  std::function<void(int value)> onSecond;
  std::function<void(int choice)> onChannel;

 private:
  QComboBox* options_;
  std::array<QLabel*, 2> labels_{};
  std::array<QComboBox*, 2> lists_{};
  QButtonGroup* channelGroup_;
  std::vector<QRadioButton*> channels_;
  QGridLayout* grid_ = nullptr;
};

}  // namespace sonorell
