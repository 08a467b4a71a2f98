#pragma once

#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// The GainTagWriter of Ogg Vorbis files: REPLAYGAIN_TRACK_GAIN/PEAK and
// REPLAYGAIN_ALBUM_GAIN/PEAK comments in the comment header, every other comment kept.
bool WriteOggGainTags(const std::string& path, const GainTags& gains);

}  // namespace sonorell
