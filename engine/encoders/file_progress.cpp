#include "engine/encoders/file_progress.h"

#include <algorithm>
#include <cstdio>

#include "engine/paths/path_rules.h"

namespace sonorell {

FileProgress::FileProgress(ConvertProgress& window, const std::string& sourcePath, uint64_t length)
    : window_(window), fileName_(FileNamePart(sourcePath)) {
  const uint64_t total = length == 0 ? 1 : length;
  // A bar that reports no width still gets a range of one step, so no division by zero.
  barWidth_ = std::max(1, window_.FileBarWidth());
  percentUnit_ = std::max<uint64_t>(1, total / 100);
  barStep_ = std::max<uint64_t>(1, total / static_cast<uint64_t>(barWidth_));
  window_.SetFileBarRange(barWidth_);
  window_.SetFileBarPos(0);
}

std::string FilePercentLine(const std::string& fileName, int percent) {
  return "Converting " + fileName + "..." + std::to_string(percent) + "%";
}

void FileProgress::ShowPercent(int percent) {
  window_.SetFileLine(FilePercentLine(fileName_, percent));
  lastPercent_ = percent;
}

void FileProgress::Update(uint64_t position) {
  const int percent = static_cast<int>(std::min<uint64_t>(100, position / percentUnit_));
  if (percent > lastPercent_) ShowPercent(percent);
  const int bar = static_cast<int>(std::min<uint64_t>(barWidth_, position / barStep_));
  if (bar > lastBar_) {
    window_.SetFileBarPos(bar);
    lastBar_ = bar;
  }
}

void FileProgress::Complete() {
  if (lastPercent_ != 100) ShowPercent(100);
  if (lastBar_ != barWidth_) {
    window_.SetFileBarPos(barWidth_);
    lastBar_ = barWidth_;
  }
}

}  // namespace sonorell
