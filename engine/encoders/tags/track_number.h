#pragma once

#include <cstdint>
#include <string_view>

namespace sonorell {

// The numeric value of a track text as writers that need a number read it: leading blanks
// skipped, an optional sign, then the digits up to the first non-digit. "3/12" gives 3, an
// empty text or one without digits gives 0; values beyond int's range are clamped to it.
int TrackNumberValue(std::string_view track);

// The track number an ID3 tag holds: the value's low 8 bits, so 300 gives 44 and 256 gives
// 0, which means "no track". A negative value gives 0 as well (no track) rather than the
// large number its low bits would make.
uint8_t Id3TrackNumber(std::string_view track);

}  // namespace sonorell
