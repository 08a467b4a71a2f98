#pragma once

#include <cstdint>
#include <string>

#include "engine/sources/input_type_code.h"

namespace sonorell {

// One input file of the list and of a run.
struct SourceFile {
  std::string SourcePath;
  int32_t Channels = 0;
  int32_t ChannelMode = 4;  // MPEG channel mode, only for MP3 inputs; 4: not reported
  int32_t SampleRate = 0;   // Hz
  int32_t BitRate = 0;      // kbit/s
  int32_t Duration = 0;     // whole seconds
  InputTypeCode InputType = kInputOther;
  std::string TargetPath;  // set between a resolved target and the end of the row
};

}  // namespace sonorell
