#pragma once

#include "settings/settings.h"

namespace sonorell {

// Files shorter than this are encoded single-pass. Measured with MP3 at 128 kbit/s on two
// cores, split against single-pass: 15 s (one chunk) 0.90x as fast, 30 s 1.09x, 45 s 1.18x,
// 60 s 1.15x, 120 s 1.26x, 10 min 1.9x. Below a minute a second core saves a few hundredths
// of a second; from three chunks on both cores are busy most of the time (bench/split_bench
// measures the minute and two minutes again).
inline constexpr int kSplitFromSeconds = 60;

// The encoders one file runs at once: the cores it was given when the option is on and the
// source says it lasts at least kSplitFromSeconds, else 1 (single-pass).
int SplitThreads(const Settings& settings, int cores, int sourceSeconds);

}  // namespace sonorell
