#pragma once

#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// The room our Opus files keep after their comments (libopusenc's own default), so that
// gains can later be written in place.
inline constexpr int kOpusCommentPadding = 512;

// The GainTagWriter of Opus files: R128_TRACK_GAIN and R128_ALBUM_GAIN comments (and no
// REPLAYGAIN_* ones) in the comment header, every other comment kept; the header's output
// gain is left as it is. The comments' padding shrinks or grows so that the header usually
// keeps its size.
bool WriteOpusGainTags(const std::string& path, const GainTags& gains);

}  // namespace sonorell
