#include "engine/encoders/split/split_choice.h"

namespace sonorell {

int SplitThreads(const Settings& settings, int cores, int sourceSeconds) {
  if (settings.SplitLongFiles == 0 || cores < 2 || sourceSeconds < kSplitFromSeconds) return 1;
  return cores;
}

}  // namespace sonorell
