#pragma once

#include <array>
#include <optional>
#include <string>

#include "engine/encoders/encoding_presets.h"
#include "settings/settings.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// What MPEG audio layer III offers: the rates of MPEG-1, -2 and -2.5 and the bit rates of
// all three together, ascending.
inline constexpr std::array<int, 9> kMp3SampleRates{8000,  11025, 12000, 16000, 22050,
                                                    24000, 32000, 44100, 48000};
inline constexpr std::array<int, 18> kMp3Bitrates{8,  16,  24,  32,  40,  48,  56,  64,  80,
                                                  96, 112, 128, 144, 160, 192, 224, 256, 320};

// Settings::MP3ChannelMode: LAME's MPEG mode numbers, and 4 for the source's own mode.
inline constexpr int kMp3ModeStereo = 0;
inline constexpr int kMp3ModeJointStereo = 1;
inline constexpr int kMp3ModeDualChannel = 2;
inline constexpr int kMp3ModeMono = 3;
inline constexpr int kMp3ModeSameAsSource = 4;

// Settings::MP3WriteID3Version.
inline constexpr int kWriteId3v1 = 0;
inline constexpr int kWriteId3v2 = 1;
inline constexpr int kWriteId3v1AndV2 = 2;

// A bit rate the output rate's MPEG version can carry: at most 64 kbps up to 12000 Hz
// (MPEG-2.5), at most 160 up to 24000 Hz (MPEG-2), at least 32 above (MPEG-1).
int LimitMp3Bitrate(int kbps, int rate);

// The "MP3 Options" page, without its window: the lists and texts it shows, the values it
// holds, how it reads and stores Settings, and how its choices move each other.
namespace opt_mp3_page {

// "&Encoding Options:" entries: Auto, four presets, Custom.
inline constexpr std::array<const char*, 6> kEncodingOptionTexts{
    "Auto",
    "11025 Hz, 16 kbps, Mono (low quality, smaller file size)",
    "22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)",
    "32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)",
    "44100Hz, 128 kbps, Joint Stereo (close to CD-quality, large size)",
    "Custom"};
inline constexpr int kAuto = kAutoEncodingOption;
inline constexpr int kCustom = kCustomEncodingOption;

// Channel radios under "Channels:", in choice order.
inline constexpr std::array<const char*, 4> kChannelTexts{"&Joint Stereo", "&Stereo", "&Mono",
                                                          "Same as &original file"};
inline constexpr int kChoiceJointStereo = 0;
inline constexpr int kChoiceStereo = 1;
inline constexpr int kChoiceMono = 2;
inline constexpr int kChoiceSameAsOriginal = 3;

// Radios under "ID3 tag" (same numbers as Settings::MP3ID3TagType) and after "Write ID3 tag
// as:" (same numbers as Settings::MP3WriteID3Version).
inline constexpr std::array<const char*, 3> kTagTexts{
    "Add &ID3 tag", "T&ransfer ID3 tag from source file", "&None"};
inline constexpr std::array<const char*, 3> kVersionTexts{"ID3v&1", "ID3v&2", "I&D3v1 && ID3v2"};

// The presets, as entries 1 to 4 of the encoding options.
inline constexpr std::array<EncodingPreset, 4> kPresets{{{16, 11025, kChoiceMono},
                                                         {32, 22050, kChoiceJointStereo},
                                                         {96, 32000, kChoiceJointStereo},
                                                         {128, 44100, kChoiceJointStereo}}};

// Settings::MP3ChannelMode and the channel choice, both ways: 0 <-> 1, 1 <-> 0, 2 <-> 3,
// 3 <-> 4; stored values other than 0, 1 and 3 show as "Same as original file".
int ChannelChoiceOf(int mp3ChannelMode);
int ChannelModeOf(int channelChoice);

struct Model {
  int encodingOption = kAuto;  // index into kEncodingOptionTexts
  int bitrate = 128;           // kbps, 0 = same as the source
  int rate = 44100;            // Hz, 0 = same as the source
  int channelChoice = kChoiceJointStereo;
  int tagChoice = 1;
  int versionChoice = 1;
  bool amplify = false;
  int coefficient = 100;  // percent
  TagDefaults tags;       // the copy "Edit ID3 tag" works on

  // The page as it opens on these settings.
  static Model FromSettings(const Settings& settings);
  // What OK stores: with Auto only the flag (bit rate, rate and channels keep their stored
  // values), otherwise all three; tag, version, gain and tag defaults always.
  void StoreInto(Settings& settings) const;

  // The user's choices and what they move.
  void SelectEncodingOption(int index);
  void SelectBitrate(int kbps);
  void SelectRate(int hz);
  void SelectChannel(int choice);
  void SelectTag(int choice) { tagChoice = choice; }

  // Rate, bit-rate and channel controls are usable unless Auto is chosen.
  bool ParametersEnabled() const { return encodingOption != kAuto; }
  bool EditTagEnabled() const { return tagChoice == 0; }
  bool VersionChoiceEnabled() const { return tagChoice != 2; }
  // The warning that keeps the page open when the user leaves it, if any.
  std::optional<std::string> LeaveRefusal() const;
};

}  // namespace opt_mp3_page
}  // namespace sonorell
