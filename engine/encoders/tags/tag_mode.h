#pragma once

namespace sonorell {

// How an output format gets its tags, as stored per format (MP3ID3TagType, OGGID3TagType,
// WMAID3TagType, M4AID3TagType): 0 Add the user's defaults, 1 Transfer the source's tags,
// 2 None. Any other stored value means None.
enum class TagMode { kAdd = 0, kTransfer = 1, kNone = 2 };

constexpr TagMode TagModeOf(int stored) {
  if (stored == 0) return TagMode::kAdd;
  if (stored == 1) return TagMode::kTransfer;
  return TagMode::kNone;
}

// The ReplayGain tags (TagDefaults::ReplayGain) written under a stored tag mode: none when
// the mode writes no tags at all.
constexpr int ReplayGainUnder(int storedTagMode, int replayGain) {
  return TagModeOf(storedTagMode) == TagMode::kNone ? 0 : replayGain;
}

// TagDefaults::TrackNumType: which track number Add mode writes.
enum class TrackNumbering { kNone = 0, kSequence = 1, kCustom = 2 };

}  // namespace sonorell
