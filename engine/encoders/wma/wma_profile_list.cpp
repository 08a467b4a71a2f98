#include "engine/encoders/wma/wma_profile_list.h"

namespace sonorell {

void WmaProfileList::Insert(const WmaProfileEntry& entry) {
  const WmaWaveFormat& n = entry.format;
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    const WmaWaveFormat& e = it->format;
    if (e.sampleRate == n.sampleRate && it->bitRate == entry.bitRate) {
      if (e.channels == n.channels) return;  // already offered
      entries_.insert(it, entry);
      return;
    }
    if (e.sampleRate > n.sampleRate ||
        (e.sampleRate == n.sampleRate && it->bitRate > entry.bitRate)) {
      entries_.insert(it, entry);
      return;
    }
  }
  entries_.push_back(entry);
}

WmaWanted AutoWmaWanted(int rate, int channels) {
  if (channels == 1) {
    if (rate <= 12000) return {22050, 20000, 1};
    if (rate <= 16000) return {44100, 32000, 1};
    return {44100, 48000, 1};
  }
  if (rate <= 12000) return {22050, 32000, channels};
  if (rate <= 16000) return {44100, 48000, channels};
  if (rate <= 24000) return {44100, 64000, channels};
  if (rate <= 32000) return {44100, 96000, channels};
  if (rate <= 44100) return {44100, 128000, channels};
  return {48000, 192000, channels};
}

std::optional<WmaProfileEntry> SelectProfile(const WmaProfileList& list, const WmaWanted& w) {
  const WmaProfileEntry* best = nullptr;
  for (const WmaProfileEntry& e : list.Entries()) {
    if (e.format.channels != w.channels) continue;
    const int rate = e.format.sampleRate;
    const bool bestAtRate = best != nullptr && best->format.sampleRate == w.sampleRate;
    if (rate < w.sampleRate) {
      best = &e;
    } else if (rate == w.sampleRate) {
      if (e.bitRate == w.bitRate) return e;
      if (e.bitRate < w.bitRate) {
        best = &e;
      } else {
        // The nearer of the two around the wanted bit rate; a tie goes to the higher.
        if (bestAtRate && (e.bitRate - w.bitRate) > (w.bitRate - best->bitRate)) return *best;
        return e;
      }
    } else {
      return bestAtRate ? *best : e;
    }
  }
  if (best != nullptr) return *best;
  return std::nullopt;
}

}  // namespace sonorell
