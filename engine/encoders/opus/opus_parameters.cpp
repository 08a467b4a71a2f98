#include "engine/encoders/opus/opus_parameters.h"

namespace sonorell {

OpusParameters DecideOpusParameters(const Settings& s, const PcmFormat& source) {
  OpusParameters p;
  if (s.OpusChannels == 1 || s.OpusChannels == 2) {
    p.channels = s.OpusChannels;
  } else {
    p.channels = source.channels == 1 ? 1 : 2;
  }
  const bool listed = s.OpusBitRate >= kOpusMinKbps && s.OpusBitRate <= kOpusMaxKbps;
  p.kbps = listed ? s.OpusBitRate : OpusAutoKbps(p.channels);
  p.rateControl = (s.OpusRateControl >= 0 && s.OpusRateControl <= 2)
                      ? static_cast<OpusRateControl>(s.OpusRateControl)
                      : OpusRateControl::kVariable;
  p.complexity = (s.OpusComplexity >= 0 && s.OpusComplexity <= kOpusMaxComplexity)
                     ? s.OpusComplexity
                     : kOpusMaxComplexity;
  return p;
}

}  // namespace sonorell
