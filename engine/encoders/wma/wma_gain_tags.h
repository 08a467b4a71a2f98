#pragma once

#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// The GainTagWriter of WMA files: string attributes replaygain_track_gain, _track_peak,
// replaygain_album_gain and _album_peak, named as foobar2000, Winamp and TagLib write them
// in ASF files. Gain attributes the file had, in any case of their names, are removed.
bool WriteWmaGainTags(const std::string& path, const GainTags& gains);

}  // namespace sonorell
