#include "engine/encoders/split/split_grid.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace sonorell {
namespace {

int64_t WholeSteps(double seconds, int rate, int64_t step, int64_t least) {
  const auto frames = static_cast<int64_t>(std::ceil(std::max(0.0, seconds) * rate));
  return std::max<int64_t>(least, (frames + step - 1) / step) * step;
}

}  // namespace

int64_t SplitStep(int inputRate, int codecRate, int codecFrame) {
  if (inputRate <= 0 || codecRate <= 0 || codecFrame <= 0) return 1;
  // step × codecRate / inputRate = codecFrame × k for the least whole k with a whole step.
  const int64_t perFrame = static_cast<int64_t>(codecFrame) * inputRate;
  const int64_t k = codecRate / std::gcd<int64_t>(codecRate, perFrame);
  return perFrame * k / codecRate;
}

SplitGrid MakeSplitGrid(int64_t step, int inputRate, double chunkSeconds, double leadSeconds,
                        double tailSeconds) {
  SplitGrid grid;
  grid.stepFrames = std::max<int64_t>(1, step);
  grid.chunkFrames = WholeSteps(chunkSeconds, inputRate, grid.stepFrames, 1);
  grid.leadFrames = WholeSteps(leadSeconds, inputRate, grid.stepFrames, 0);
  grid.tailFrames = WholeSteps(tailSeconds, inputRate, grid.stepFrames, 0);
  return grid;
}

}  // namespace sonorell
