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
  int blockType = 0;  // as stored; applied as UsableAacBlockType says
  bool amplify = false;
  int coefficient = 100;
};

// The block types ("Both long and short" 0, "No short" 1, "No long" 2) the encoder honours.
// It decides block switching itself (see platform/faac/faac.h), so only 0 can be chosen.
bool AacBlockTypeAvailable(int blockType);
// A stored block type as it is used: the stored one when the encoder honours it, otherwise
// (a "No short" or "No long" kept by an older option store, or any other value) 0, so a
// stored choice never makes every file fail.
int UsableAacBlockType(int stored);

AacEncodingOptions RawAacOptions(const Settings& settings);
// MP4 output always writes MPEG-4 AAC.
AacEncodingOptions Mp4AacOptions(const Settings& settings);

// Changes the configuration as the options say, unless they are automatic. The average
// bit rate is shared out per channel (integer division), as FAAC counts it.
void ApplyAacOptions(const AacEncodingOptions& options, int channels,
                     platform::faacEncConfiguration& configuration);

}  // namespace sonorell
