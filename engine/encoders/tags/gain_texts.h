#pragma once

#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// ReplayGain 2.0 refers to -18 LUFS; Opus's R128 gains to -23 LUFS.
inline constexpr double kReplayGainReferenceLufs = -18.0;
inline constexpr double kR128ReferenceLufs = -23.0;

// The texts of the REPLAYGAIN_*_GAIN and REPLAYGAIN_*_PEAK tags: "-6.52 dB" and "0.988525".
// Always with a point, whatever the locale.
std::string ReplayGainText(const Loudness& loudness);
std::string ReplayGainPeakText(const Loudness& loudness);

// The text of an R128_TRACK_GAIN / R128_ALBUM_GAIN comment: the gain to -23 LUFS in 1/256 dB
// steps as a signed integer, clamped to what 16 bits hold.
std::string R128GainText(const Loudness& loudness);

}  // namespace sonorell
