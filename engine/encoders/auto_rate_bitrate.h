#pragma once

#include <span>

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

// The entry of an ascending list nearest to value: an exact match as is, the first entry
// below the list, the last above it, the lower of two equally near entries. value itself
// for an empty list.
int NearestListedValue(int value, std::span<const int> list);

}  // namespace sonorell
