#pragma once

#include "platform/faac/faac.h"
#include "settings/settings.h"

namespace sonorell {

// The stored choices of one AAC output family (raw AAC or the MP4 family) that reach the
// encoder's configuration.
struct AacEncodingOptions {
  bool automatic = true;  // nothing below is applied
  bool vbr = true;
  int vbrQuality = 100;  // applied only from 10 to 500
  int abrKbps = 128;     // whole stream; 0 = "Same as original file"
  int mpegVersion = 0;   // 0 MPEG-4, 1 MPEG-2 (raw AAC only)
  bool tns = false;
  bool midside = true;
  int blockType = 0;  // 0 long and short, 1 no short, 2 no long
  bool amplify = false;
  int coefficient = 100;
};

AacEncodingOptions RawAacOptions(const Settings& settings);
// MP4 output always writes MPEG-4 AAC.
AacEncodingOptions Mp4AacOptions(const Settings& settings);

// Changes the configuration as the options say, unless they are automatic. The average
// bit rate is shared out per channel (integer division), as FAAC counts it.
void ApplyAacOptions(const AacEncodingOptions& options, int channels,
                     platform::faacEncConfiguration& configuration);

}  // namespace sonorell
