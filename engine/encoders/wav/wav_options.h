#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/channel_choice.h"
#include "engine/encoders/encoding_presets.h"
#include "engine/encoders/option_lists.h"
#include "settings/settings.h"

namespace sonorell {

// The sample rates the "Sample Frequency" list of the WAV page offers (0 there means the
// source's own rate).
inline constexpr std::array<int, 12> kWavPageRates{6000,  8000,  11025, 12000, 16000, 22050,
                                                   24000, 32000, 44100, 48000, 88200, 96000};

// The "WAV Options" page, without its window.
namespace opt_wav_page {

inline constexpr const char* kTitle = "WAV Options";
inline constexpr std::array<const char*, 6> kEncodingOptionTexts{
    "Auto",
    "11025 Hz, 8 bits, Mono (low quality, smaller file size)",
    "22050 Hz, 16 bits, Stereo (OK quality, small size)",
    "32000 Hz, 16 bits, Stereo (medium quality, normal size)",
    "44100Hz, 16 bits, Stereo (high quality, large size)",
    "Custom"};
inline constexpr int kAuto = kAutoEncodingOption;
inline constexpr int kCustom = kCustomEncodingOption;

inline constexpr auto kChannelTexts = channel_choice::kTexts;
inline constexpr int kChoiceStereo = channel_choice::kStereo;
inline constexpr int kChoiceMono = channel_choice::kMono;
inline constexpr int kChoiceSameAsOriginal = channel_choice::kSameAsOriginal;

// "&Bits:" values: 8, 16, then "Same as original file" (0).
inline constexpr std::array<int, 2> kBits{8, 16};
std::vector<ListEntry> BitsEntries();  // "8 bits", "16 bits", "Same as original file"
std::vector<ListEntry> RateEntries();  // "%d Hz" ..., "Same as original file"

// Presets as (bits, rate, channel choice), entries 1 to 4 of the encoding options.
inline constexpr std::array<EncodingPreset, 4> kPresets{{{8, 11025, kChoiceMono},
                                                         {16, 22050, kChoiceStereo},
                                                         {16, 32000, kChoiceStereo},
                                                         {16, 44100, kChoiceStereo}}};

// Settings::WAVChannelNum and the channel choice: 2 <-> 0, 1 <-> 1, 0 <-> 2; other stored
// values show as "Same as original file".
using channel_choice::ChannelChoiceOf;
using channel_choice::ChannelCountOf;

struct Model {
  int encodingOption = kAuto;
  int bits = 16;     // 0 = same as the source
  int rate = 44100;  // Hz, 0 = same as the source
  int channelChoice = kChoiceStereo;
  bool amplify = false;
  int coefficient = 100;

  static Model FromSettings(const Settings& settings);
  // With Auto only the flag; otherwise bits, rate and channels as well. Gain always.
  void StoreInto(Settings& settings) const;

  void SelectEncodingOption(int index);
  // Any change of bits, rate or channels turns the choice into Custom.
  void SelectBits(int value);
  void SelectRate(int hz);
  void SelectChannel(int choice);

  bool ParametersEnabled() const { return encodingOption != kAuto; }
  bool CoefficientEnabled() const { return amplify; }
  std::optional<std::string> LeaveRefusal() const;
};

}  // namespace opt_wav_page
}  // namespace sonorell
