#pragma once

#include <cstdint>
#include <string>

#include "engine/encoders/convert_progress.h"

namespace sonorell {

// "Converting %s...%d%%": the file line while a file converts.
std::string FilePercentLine(const std::string& fileName, int percent);

// The file line and bar of one encode: "Converting %s...%d%%" rewritten only when the whole
// percent grows, the bar moved only when its position grows, so a file of any length costs
// at most 101 line updates and one update per bar pixel.
class FileProgress {
 public:
  // Sets the bar's range to its width and its position to 0. A length of 0 counts as 1.
  FileProgress(ConvertProgress& window, const std::string& sourcePath, uint64_t length);

  // Reports the source's position after a block, in the unit of its length.
  void Update(uint64_t position);
  // Shows 100% and a full bar unless it already does.
  void Complete();

  int LastPercent() const { return lastPercent_; }

 private:
  void ShowPercent(int percent);

  ConvertProgress& window_;
  std::string fileName_;
  uint64_t percentUnit_;
  uint64_t barStep_;
  int barWidth_;
  int lastPercent_ = 0;
  int lastBar_ = 0;
};

}  // namespace sonorell
