#pragma once

#include "settings/settings.h"

namespace sonorell {

// How many files the engine converts at once, as the General page accepts it.
inline constexpr int kMinFilesAtOnce = 1;
inline constexpr int kMaxFilesAtOnce = 64;

inline bool ValidFilesAtOnce(int count) {
  return count >= kMinFilesAtOnce && count <= kMaxFilesAtOnce;
}

// The machine's number of cores within 1..64: what FilesAtOnce starts as.
int DefaultFilesAtOnce();

// count within 1..64, where 0 or less (nothing chosen, or a damaged value) stands for
// DefaultFilesAtOnce().
int CorrectedFilesAtOnce(int count);

// The number of files to convert at once for these settings.
inline int EffectiveFilesAtOnce(const Settings& settings) {
  return CorrectedFilesAtOnce(settings.FilesAtOnce);
}

}  // namespace sonorell
