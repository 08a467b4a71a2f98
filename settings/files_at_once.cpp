#include "settings/files_at_once.h"

#include <algorithm>
#include <thread>

namespace sonorell {

int DefaultFilesAtOnce() {
  // 0 when the machine does not say: one at a time.
  const unsigned cores = std::thread::hardware_concurrency();
  return static_cast<int>(std::clamp<unsigned>(cores, kMinFilesAtOnce, kMaxFilesAtOnce));
}

int CorrectedFilesAtOnce(int count) {
  if (count < kMinFilesAtOnce) return DefaultFilesAtOnce();
  return std::min(count, kMaxFilesAtOnce);
}

}  // namespace sonorell
