#pragma once

#include <QWidget>
#include <functional>
#include <span>

#include "ui/parameter_box.h"

class QComboBox;

namespace sonorell {

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

  // Hands every choice of the user to a page model and shows the model again after it, and
  // shows it now: the entry goes to SelectEncodingOption, a radio to SelectChannel, the two
  // lists to selectFirst and selectSecond, which move the fields first and second.
  template <class Model>
  void Drive(Model& model, void (Model::*selectFirst)(int), int Model::*first,
             void (Model::*selectSecond)(int), int Model::*second) {
    const auto show = [this, &model, first, second] {
      Show(model.encodingOption, model.*first, model.*second, model.channelChoice,
           model.ParametersEnabled());
    };
    onOption = [&model, show](int index) {
      model.SelectEncodingOption(index);
      show();
    };
    onFirst = [&model, selectFirst, show](int value) {
      (model.*selectFirst)(value);
      show();
    };
    onSecond = [&model, selectSecond, show](int value) {
      (model.*selectSecond)(value);
      show();
    };
    onChannel = [&model, show](int choice) {
      model.SelectChannel(choice);
      show();
    };
    show();
  }

  std::function<void(int option)> onOption;
  std::function<void(int value)> onFirst;
  std::function<void(int value)> onSecond;
  std::function<void(int choice)> onChannel;

 private:
  QComboBox* options_;
  ParameterBox* params_;
};

}  // namespace sonorell
