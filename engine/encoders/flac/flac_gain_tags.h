#pragma once

#include <cstdint>
#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// The PADDING block our FLAC files keep at the end of their metadata when gains are to be
// written, so that the gains fit in place.
inline constexpr uint32_t kFlacGainPadding = 1024;

// The GainTagWriter of FLAC files: REPLAYGAIN_TRACK_GAIN/PEAK and REPLAYGAIN_ALBUM_GAIN/PEAK
// comments in the VORBIS_COMMENT block (made when the file has none), every other comment
// and block kept. libFLAC writes the metadata in place when the last PADDING block makes
// room, else writes the file again beside itself and renames it over itself.
bool WriteFlacGainTags(const std::string& path, const GainTags& gains);

}  // namespace sonorell
