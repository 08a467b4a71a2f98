#include "engine/encoders/aac/aac_encoding_options.h"

namespace sonorell {

bool AacBlockTypeAvailable(int blockType) {
  return blockType == platform::SHORTCTL_NORMAL;
}

int UsableAacBlockType(int stored) {
  return AacBlockTypeAvailable(stored) ? stored : platform::SHORTCTL_NORMAL;
}

AacEncodingOptions RawAacOptions(const Settings& s) {
  AacEncodingOptions o;
  o.automatic = s.AutoDestAACEncodingParam != 0;
  o.vbr = s.AACVBR != 0;
  o.vbrQuality = s.AACVBRQuality;
  o.abrKbps = s.AACABRBitRate;
  o.mpegVersion = s.AACMpegVersion != 0 ? 1 : 0;
  o.tns = s.AACEnableTNS != 0;
  o.midside = s.AACEnableMidside != 0;
  o.blockType = s.AACBlockType;
  o.amplify = s.AmplifyAAC != 0;
  o.coefficient = s.AmplifyAACCoef;
  return o;
}

AacEncodingOptions Mp4AacOptions(const Settings& s) {
  AacEncodingOptions o;
  o.automatic = s.AutoDestM4AEncodingParam != 0;
  o.vbr = s.M4AVBR != 0;
  o.vbrQuality = s.M4AVBRQuality;
  o.abrKbps = s.M4AABRBitRate;
  o.mpegVersion = 0;
  o.tns = s.M4AEnableTNS != 0;
  o.midside = s.M4AEnableMidside != 0;
  o.blockType = s.M4ABlockType;
  o.amplify = s.AmplifyM4A != 0;
  o.coefficient = s.AmplifyM4ACoef;
  return o;
}

void ApplyAacOptions(const AacEncodingOptions& o, int channels, platform::faacEncConfiguration& c) {
  if (o.automatic || channels < 1) return;
  if (o.vbr) {
    if (o.vbrQuality >= 10 && o.vbrQuality <= 500) {
      c.quantqual = static_cast<unsigned long>(o.vbrQuality);
    }
  } else {
    const long perChannel = o.abrKbps > 0 ? static_cast<long>(o.abrKbps) * 1000 / channels : 0;
    c.bitRate = static_cast<unsigned long>(perChannel);
  }
  c.mpegVersion = o.mpegVersion != 0 ? platform::MPEG2 : platform::MPEG4;
  c.useTns = o.tns ? 1 : 0;
  c.allowMidside = o.midside ? 1 : 0;
  c.shortctl = UsableAacBlockType(o.blockType);
}

}  // namespace sonorell
