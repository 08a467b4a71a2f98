#pragma once

#include <cstdint>

namespace platform::bass {

// Tracker modules and MIDI files are read whole into memory; real ones are far smaller.
inline constexpr uint64_t kMaxSynthesisedFileBytes = 256ull << 20;
// A synthesised song longer than this is taken for a damaged file (a stray huge delta time
// or tempo) rather than rendered for days.
inline constexpr double kMaxSynthesisedSeconds = 6.0 * 3600.0;

}  // namespace platform::bass
