#pragma once

#include <array>
#include <vector>

#include "engine/encoders/channel_choice.h"
#include "engine/encoders/channels_tags_gain.h"
#include "engine/encoders/option_lists.h"
#include "engine/encoders/opus/opus_parameters.h"
#include "settings/settings.h"

namespace sonorell {

// The bit rates, in kbps, that the Opus page offers besides "Auto" (0), ascending, from the
// codec's lowest to its highest.
inline constexpr std::array<int, 19> kOpusBitrates{6,   8,   12,  16,  24,  32,  48,  64,  80, 96,
                                                   112, 128, 160, 192, 256, 320, 384, 450, 510};

static_assert(kOpusBitrates.front() == kOpusMinKbps && kOpusBitrates.back() == kOpusMaxKbps);

// Settings::OpusComplexity: libopus's encoder effort, 0 (fastest) to kOpusMaxComplexity.
inline constexpr int kOpusMinComplexity = 0;

// The "Opus Options" page, without its window.
namespace opt_opus_page {

inline constexpr const char* kTitle = "Opus Options";
inline constexpr const char* kBitrateLabel = "&Bit Rate:";
inline constexpr const char* kRateControlLabel = "Rate contro&l:";
inline constexpr const char* kComplexityLabel = "Com&plexity:";
inline constexpr const char* kAutoText = "Auto";
inline constexpr const char* kRateNote =
    "Opus output is always 48000 Hz; other sample rates are converted. \"Auto\" is 128 kbps "
    "for stereo and 64 kbps for mono.";

// "Auto" (0), then "%d kbps" for every listed bit rate.
std::vector<ListEntry> BitrateEntries();
// "Variable (VBR)", "Constrained variable (CVBR)", "Constant (CBR)", valued 0 to 2.
std::vector<ListEntry> RateControlEntries();
// "0 (fastest)" .. "10 (best, default)", valued 0 to 10.
std::vector<ListEntry> ComplexityEntries();

inline constexpr auto kChannelTexts = channel_choice::kTexts;

struct Model : ChannelsTagsGain {
  int bitrate = 0;  // kbps, 0 = Auto
  int rateControl = static_cast<int>(OpusRateControl::kVariable);
  int complexity = kOpusMaxComplexity;

  // An unlisted bit rate shows as the nearest listed one; a rate control or complexity out
  // of range as the encoder takes it (the default).
  static Model FromSettings(const Settings& settings);
  // What OK stores: every field of the page.
  void StoreInto(Settings& settings) const;
};

}  // namespace opt_opus_page
}  // namespace sonorell
