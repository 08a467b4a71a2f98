#pragma once

#include <array>
#include <vector>

#include "engine/encoders/channel_choice.h"
#include "engine/encoders/channels_tags_gain.h"
#include "engine/encoders/flac/flac_encoder.h"
#include "engine/encoders/option_lists.h"
#include "settings/settings.h"

namespace sonorell {

// libFLAC's compression levels: 0 is the fastest with the largest files, 8 the slowest
// with the smallest; every level decodes to the same samples.
inline constexpr int kFlacMinLevel = 0;
inline constexpr int kFlacMaxLevel = 8;
inline constexpr int kFlacDefaultLevel = 5;

// The "FLAC Options" page, without its window.
namespace opt_flac_page {

inline constexpr const char* kTitle = "FLAC Options";
inline constexpr const char* kCompressionLabel = "Com&pression level:";
inline constexpr const char* kRateLabel = "Sample &Frequency:";
inline constexpr const char* kLosslessNote =
    "FLAC is lossless: the output keeps the source's sample width (16 or 24 bits; 8-bit "
    "sources become 16-bit) and has at most two channels.";

// "0 (fastest, largest)" .. "5 (default)" .. "8 (slowest, smallest)", valued 0 to 8.
std::vector<ListEntry> CompressionEntries();
// "Same as original file" (0), then "%d Hz" for every rate the FLAC output offers.
std::vector<ListEntry> RateEntries();

inline constexpr auto kChannelTexts = channel_choice::kTexts;

struct Model : ChannelsTagsGain {
  int compression = kFlacDefaultLevel;
  int rate = 0;  // Hz, 0 = same as the source

  // A level outside 0..8 shows as the default; an unlisted rate as the nearest listed one.
  static Model FromSettings(const Settings& settings);
  // What OK stores: every field of the page.
  void StoreInto(Settings& settings) const;
};

}  // namespace opt_flac_page
}  // namespace sonorell
