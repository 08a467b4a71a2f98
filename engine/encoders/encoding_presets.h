#pragma once

#include <optional>
#include <span>

namespace sonorell {

// The "&Encoding Options:" combo of the MP3, Ogg and WAV pages: "Auto", four presets, then
// "Custom". A preset fixes a size (bit rate in kbps, or sample width in bits), a rate and a
// channel choice; Custom keeps whatever the user picked.
struct EncodingPreset {
  int size = 0;
  int rate = 0;
  int channelChoice = 0;
  bool operator==(const EncodingPreset&) const = default;
};

inline constexpr int kAutoEncodingOption = 0;
inline constexpr int kCustomEncodingOption = 5;

// The entry that shows the page's values: the first preset equal to them, else Custom.
inline int MatchingEncodingOption(std::span<const EncodingPreset> presets,
                                  const EncodingPreset& values) {
  for (size_t i = 0; i < presets.size(); ++i) {
    if (presets[i] == values) return static_cast<int>(i) + 1;
  }
  return kCustomEncodingOption;
}

// The preset an entry stands for; nothing for Auto, Custom and indices out of the list.
inline std::optional<EncodingPreset> PresetOfOption(std::span<const EncodingPreset> presets,
                                                    int option) {
  if (option < 1 || option > static_cast<int>(presets.size())) return std::nullopt;
  return presets[static_cast<size_t>(option - 1)];
}

// A page's pick of entry index: the entry becomes option, and a preset also fixes size,
// rate and channel choice. An index outside Auto..Custom changes nothing.
inline void SelectEncodingOption(std::span<const EncodingPreset> presets, int index, int& option,
                                 int& size, int& rate, int& channelChoice) {
  if (index < kAutoEncodingOption || index > kCustomEncodingOption) return;
  option = index;
  const std::optional<EncodingPreset> preset = PresetOfOption(presets, index);
  if (!preset) return;
  size = preset->size;
  rate = preset->rate;
  channelChoice = preset->channelChoice;
}

}  // namespace sonorell
