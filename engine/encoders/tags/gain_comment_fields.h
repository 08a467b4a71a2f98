#pragma once

#include <string_view>
#include <vector>

#include "engine/encoders/tags/gain_tags.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"

namespace sonorell {

// How a Vorbis comment family format states its gains: Ogg Vorbis and FLAC with ReplayGain
// 2.0's REPLAYGAIN_TRACK_GAIN/PEAK and REPLAYGAIN_ALBUM_GAIN/PEAK, Opus with
// R128_TRACK_GAIN and R128_ALBUM_GAIN (its header's output gain stays 0).
enum class GainCommentStyle { kReplayGain, kR128 };

// The comments for the gains; a missing track or album value gives none of its kind.
std::vector<CommentField> GainCommentFields(const GainTags& gains, GainCommentStyle style);

// True for a "NAME=value" comment that states a gain of either style (REPLAYGAIN_*,
// R128_TRACK_GAIN, R128_ALBUM_GAIN; names in any case): these are replaced when gains are
// written, whichever program wrote them.
bool IsGainComment(std::string_view comment);

}  // namespace sonorell
