#pragma once

#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "engine/encoders/channels_tags_gain.h"
#include "settings/settings.h"
#include "ui/gain_controls.h"
#include "ui/opt_page.h"
#include "ui/parameter_box.h"

namespace sonorell {

// The controls of a page whose parameters are plain lists, each one field of the page's
// model, with no Auto choice: the lists beside the "Channels:" radios, a note under them,
// and the gain beside the comment group. Every pick goes straight into its field, which
// must outlive the page. Returns the gain controls, which show amplify and coefficient.
GainControls* BuildListOptionPage(COptPage& page, const OptionServices& services,
                                  std::vector<ParameterList> lists, std::vector<int*> fields,
                                  const char* note, ChannelsTagsGain& common);

// Such a page over its model (FLAC, Opus): a ChannelsTagsGain with FromSettings and
// StoreInto.
template <class Model>
class ListOptionPage : public COptPage {
 public:
  // One list of the page and the field it sets.
  struct List {
    ParameterList list;
    int Model::*field;
  };

  ListOptionPage(const Settings& settings, const OptionServices& services, QWidget* parent,
                 const char* title, std::vector<List> lists, const char* note)
      : COptPage(services, parent), model_(Model::FromSettings(settings)), title_(title) {
    std::vector<ParameterList> shown;
    std::vector<int*> fields;
    for (List& l : lists) {
      shown.push_back(std::move(l.list));
      fields.push_back(&(model_.*l.field));
    }
    gain_ = BuildListOptionPage(*this, services, std::move(shown), std::move(fields), note, model_);
  }

  QString Title() const override { return QString::fromUtf8(title_); }
  std::optional<PageRefusal> LeavePage() override {
    return gain_->Leave(model_.amplify, model_.coefficient);
  }
  void StoreInto(Settings& settings) const override { model_.StoreInto(settings); }

 private:
  Model model_;
  const char* title_;
  GainControls* gain_ = nullptr;
};

}  // namespace sonorell
