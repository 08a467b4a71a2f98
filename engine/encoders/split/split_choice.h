#pragma once

#include "settings/settings.h"

namespace sonorell {

// Files shorter than this are encoded single-pass: below it, starting the chunk encoders
// and the overlap they encode twice cost more than a second core gains (bench/split_bench).
inline constexpr int kSplitFromSeconds = 60;

// The encoders one file runs at once: the cores it was given when the option is on and the
// source says it lasts at least kSplitFromSeconds, else 1 (single-pass).
int SplitThreads(const Settings& settings, int cores, int sourceSeconds);

}  // namespace sonorell
