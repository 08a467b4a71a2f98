#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// ReplayGain 2.0 refers to -18 LUFS; Opus's R128 gains to -23 LUFS.
inline constexpr double kReplayGainReferenceLufs = -18.0;
inline constexpr double kR128ReferenceLufs = -23.0;

// The texts of the REPLAYGAIN_*_GAIN and REPLAYGAIN_*_PEAK tags: "-6.52 dB" and "0.988525".
// Always with a point, whatever the locale.
std::string ReplayGainText(const Loudness& loudness);
std::string ReplayGainPeakText(const Loudness& loudness);

// One ReplayGain 2.0 tag: its name as Vorbis comments and ID3v2 TXXX frames spell it (upper
// case) and as MP4 freeform items and ASF attributes do (lower case), and its text.
struct ReplayGainItem {
  std::string_view upperName;
  std::string_view lowerName;
  std::string value;
};

// The REPLAYGAIN_* tags of the gains: the track's gain and peak, then the album's; a missing
// track or album value gives none of its kind.
std::vector<ReplayGainItem> ReplayGainItems(const GainTags& gains);

// Whether a tag name states a gain that writing gains replaces: any REPLAYGAIN_* name, and
// R128_TRACK_GAIN or R128_ALBUM_GAIN, in any case, whichever program wrote it.
bool IsReplayGainName(std::string_view name);
bool IsR128GainName(std::string_view name);

// The text of an R128_TRACK_GAIN / R128_ALBUM_GAIN comment: the gain to -23 LUFS in 1/256 dB
// steps as a signed integer, clamped to what 16 bits hold.
std::string R128GainText(const Loudness& loudness);

}  // namespace sonorell
