#pragma once

#include <cstdint>
#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// Room left after the index of our MP4 files when ReplayGain is asked for, so that the gain
// tags go in without moving anything.
inline constexpr uint32_t kMp4GainRoom = 1024;

// The GainTagWriter of MP4-family files (M4A, MP4, M4B): iTunes freeform items ("----",
// mean "com.apple.iTunes") named replaygain_track_gain, replaygain_track_peak,
// replaygain_album_gain and replaygain_album_peak in moov/udta/meta/ilst (made when
// absent), replacing any replaygain_* items there were. The index is rewritten in place
// when it fits in its old place and the free atoms right after it; otherwise the file is
// written again beside itself, with room after the index and the chunk offsets moved
// along with the data when the index comes before it, and renamed over the old one. The
// media data is never touched. False, with a failure note, for a file whose atoms are
// damaged and when the file cannot be written; the file is then unchanged.
bool WriteMp4GainTags(const std::string& path, const GainTags& gains);

}  // namespace sonorell
