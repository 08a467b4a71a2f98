#pragma once

#include <string>

#include "engine/encoders/tags/gain_tags.h"

namespace sonorell {

// The GainTagWriter of MP3 files: TXXX REPLAYGAIN_TRACK_GAIN/PEAK and
// REPLAYGAIN_ALBUM_GAIN/PEAK in the leading ID3v2.3 or 2.4 tag, replacing any the tag had.
// The tag is rewritten in place when its padding has room; otherwise (and for a file
// without an ID3v2 tag, which gets an ID3v2.3 one) the file is written again beside itself
// with the new tag, padding for later edits, and every byte after the old tag as it was,
// and renamed over the old one. The audio frames and an ID3v1 tag are never touched. False,
// with a failure note, for a tag that cannot be taken apart (ID3v2.2, damaged) and when
// the file cannot be written; the file is then unchanged.
bool WriteMp3GainTags(const std::string& path, const GainTags& gains);

}  // namespace sonorell
