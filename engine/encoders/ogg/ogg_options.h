#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/encoders/channel_choice.h"
#include "engine/encoders/encoding_presets.h"
#include "settings/settings.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// The rates and nominal bit rates the Ogg Vorbis output offers, ascending.
inline constexpr std::array<int, 9> kOggSampleRates{8000,  11025, 12000, 16000, 22050,
                                                    24000, 32000, 44100, 48000};
inline constexpr std::array<int, 20> kOggBitrates{8,   16,  24,  32,  40,  48,  56,  64,  80,  96,
                                                  112, 128, 144, 160, 192, 224, 256, 320, 400, 480};

// The nominal bit rates, in kbps, that libvorbis's set-ups cover at a rate for mono or
// anything else; a rate between the listed ones takes the row of the next listed rate up.
struct KbpsRange {
  int min = 0;
  int max = 0;
  bool operator==(const KbpsRange&) const = default;
};
KbpsRange VorbisBitrateRange(int rate, bool mono);

// kbps moved to the nearer bound of the range when outside it.
int IntoVorbisBitrateRange(int kbps, int rate, bool mono);

// The "OGG Options" page, without its window.
namespace opt_ogg_page {

inline constexpr std::array<const char*, 6> kEncodingOptionTexts{
    "Auto",
    "11025 Hz, 16 kbps, Mono (low quality, smaller size)",
    "22050 Hz, 32 kbps, Stereo (OK quality, small size)",
    "32000 Hz, 96 kbps, Stereo (medium quality, normal size)",
    "44100Hz, 128 kbps, Stereo (close to CD-quality, large size)",
    "Custom"};
inline constexpr int kAuto = kAutoEncodingOption;
inline constexpr int kCustom = kCustomEncodingOption;

inline constexpr auto kChannelTexts = channel_choice::kTexts;
inline constexpr int kChoiceStereo = channel_choice::kStereo;
inline constexpr int kChoiceMono = channel_choice::kMono;
inline constexpr int kChoiceSameAsOriginal = channel_choice::kSameAsOriginal;

inline constexpr std::array<const char*, 3> kTagTexts{
    "Add &ID3 tag", "T&ransfer ID3 tag from source file", "&None"};

inline constexpr std::array<EncodingPreset, 4> kPresets{{{16, 11025, kChoiceMono},
                                                         {32, 22050, kChoiceStereo},
                                                         {96, 32000, kChoiceStereo},
                                                         {128, 44100, kChoiceStereo}}};

// Settings::OGGChannels and the channel choice: 0 <-> 2, 1 <-> 1, 2 <-> 0; other stored
// values show as "Same as original file".
using channel_choice::ChannelChoiceOf;
using channel_choice::ChannelCountOf;

struct Model {
  int encodingOption = kAuto;
  int bitrate = 128;  // nominal kbps, 0 = same as the source
  int rate = 44100;   // Hz, 0 = same as the source
  int channelChoice = kChoiceStereo;
  int tagChoice = 1;
  bool amplify = false;
  int coefficient = 100;
  TagDefaults tags;

  static Model FromSettings(const Settings& settings);
  void StoreInto(Settings& settings) const;

  void SelectEncodingOption(int index);
  // A change of bit rate, rate or channels keeps the bit rate within what libvorbis can
  // encode at the rate, when all three are fixed.
  void SelectBitrate(int kbps);
  void SelectRate(int hz);
  void SelectChannel(int choice);
  void SelectTag(int choice) { tagChoice = choice; }

  bool ParametersEnabled() const { return encodingOption != kAuto; }
  bool EditTagEnabled() const { return tagChoice == 0; }
  std::optional<std::string> LeaveRefusal() const;

 private:
  // True when the range rule applied (and chose Custom).
  bool KeepBitrateInRange();
};

}  // namespace opt_ogg_page
}  // namespace sonorell
