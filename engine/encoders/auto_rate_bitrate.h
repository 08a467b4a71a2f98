#pragma once

#include <span>

#include "engine/sources/input_type_code.h"

namespace sonorell {

// An output sample rate with the bit rate that suits it.
struct RateAndBitrate {
  int rate = 0;  // Hz
  int kbps = 0;
};

// The automatic encoding parameters of the MP3 and Ogg Vorbis outputs: the smallest of the
// usual rates (11025, 12000, 16000, 22050, 24000, 32000, 44100 Hz) that the source rate does
// not exceed, 48000 Hz above that, with a bit rate that grows with the rate and is larger for
// anything but mono (channels != 1).
RateAndBitrate AutoRateAndBitrate(int sourceRate, int channels);

// The bit rate a stored value asks for: itself, unless it is 0, which means the source's own
// bit rate for MP3 and Ogg sources (which state one) and the automatic bit rate for the
// output's rate and channels for any other source.
int StoredOrSourceKbps(int storedKbps, InputTypeCode inputType, int sourceKbps, int outputRate,
                       int outputChannels);

// The entry of an ascending list nearest to value: an exact match as is, the first entry
// below the list, the last above it, the lower of two equally near entries. value itself
// for an empty list.
int NearestListedValue(int value, std::span<const int> list);

}  // namespace sonorell
