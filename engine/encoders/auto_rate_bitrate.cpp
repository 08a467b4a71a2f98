#include "engine/encoders/auto_rate_bitrate.h"

#include <array>

namespace sonorell {
namespace {

struct AutoRow {
  int upTo;  // source rates up to this one take the row
  int rate;
  int kbpsMono;
  int kbpsStereo;
};

constexpr std::array<AutoRow, 7> kAutoRows{{
    {11025, 11025, 24, 48},
    {12000, 12000, 24, 48},
    {16000, 16000, 32, 56},
    {22050, 22050, 48, 64},
    {24000, 24000, 48, 64},
    {32000, 32000, 64, 96},
    {44100, 44100, 96, 128},
}};
constexpr AutoRow kAboveAll{0, 48000, 128, 192};

}  // namespace

RateAndBitrate AutoRateAndBitrate(int sourceRate, int channels) {
  const AutoRow* row = &kAboveAll;
  for (const AutoRow& r : kAutoRows) {
    if (sourceRate <= r.upTo) {
      row = &r;
      break;
    }
  }
  return {row->rate, channels == 1 ? row->kbpsMono : row->kbpsStereo};
}

int NearestListedValue(int value, std::span<const int> list) {
  if (list.empty()) return value;
  if (value <= list.front()) return list.front();
  if (value >= list.back()) return list.back();
  for (size_t i = 1; i < list.size(); ++i) {
    if (value > list[i]) continue;
    const int lower = list[i - 1];
    const int upper = list[i];
    // Differences in 64 bits: the list may span the whole int range.
    const long long below = static_cast<long long>(value) - lower;
    const long long above = static_cast<long long>(upper) - value;
    return above < below ? upper : lower;
  }
  return list.back();
}

int StoredOrSourceKbps(int storedKbps, InputTypeCode inputType, int sourceKbps, int outputRate,
                       int outputChannels) {
  if (storedKbps != 0) return storedKbps;
  if (inputType == kInputMp3 || inputType == kInputOgg) return sourceKbps;
  return AutoRateAndBitrate(outputRate, outputChannels).kbps;
}

}  // namespace sonorell
