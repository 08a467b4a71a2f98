#pragma once

#include <optional>
#include <string>

#include "engine/encoders/channel_choice.h"
#include "engine/encoders/option_limits.h"
#include "engine/encoders/tags/tag_mode.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// What the FLAC and Opus pages hold beside their own lists: the channel radio, the tag mode,
// the gain and the copy of the format's tag defaults, read from and stored into that
// format's own settings.
struct ChannelsTagsGain {
  int channelChoice = channel_choice::kSameAsOriginal;
  int tagChoice = 1;
  bool amplify = false;
  int coefficient = 100;  // percent
  TagDefaults tags;       // the copy the tag dialog works on

  // A stored count of no radio shows as the source's own, a tag mode of no radio as None.
  void Load(int channels, int tagType, int amplifyFlag, int percent, const TagDefaults& defaults) {
    channelChoice = channel_choice::ChannelChoiceOf(channels);
    tagChoice = static_cast<int>(TagModeOf(tagType));
    amplify = amplifyFlag != 0;
    coefficient = percent;
    tags = defaults;
  }
  void Store(int& channels, int& tagType, int& amplifyFlag, int& percent,
             TagDefaults& defaults) const {
    channels = channel_choice::ChannelCountOf(channelChoice);
    tagType = tagChoice;
    amplifyFlag = amplify ? 1 : 0;
    percent = coefficient;
    defaults = tags;
  }

  bool EditTagEnabled() const { return tagChoice == 0; }
  // The warning that keeps the page open when the user leaves it, if any.
  std::optional<std::string> LeaveRefusal() const { return AmplifyRefusal(amplify, coefficient); }
};

}  // namespace sonorell
