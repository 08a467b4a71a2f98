#include "engine/encoders/opus/opus_options.h"

#include "engine/encoders/auto_rate_bitrate.h"

namespace sonorell {

namespace opt_opus_page {

std::vector<ListEntry> BitrateEntries() {
  return ValueListEntriesAfter({kAutoText, 0}, kOpusBitrates, " kbps");
}

std::vector<ListEntry> RateControlEntries() {
  return {{"Variable (VBR)", static_cast<int>(OpusRateControl::kVariable)},
          {"Constrained variable (CVBR)", static_cast<int>(OpusRateControl::kConstrainedVariable)},
          {"Constant (CBR)", static_cast<int>(OpusRateControl::kConstant)}};
}

std::vector<ListEntry> ComplexityEntries() {
  static constexpr LevelNote kNotes[]{{kOpusMinComplexity, "fastest"},
                                      {kOpusMaxComplexity, "best, default"}};
  return LevelEntries(kOpusMinComplexity, kOpusMaxComplexity, kNotes);
}

Model Model::FromSettings(const Settings& s) {
  Model m;
  m.bitrate = s.OpusBitRate <= 0 ? 0 : NearestListedValue(s.OpusBitRate, kOpusBitrates);
  // Rate control and complexity as the encoder takes them (they do not depend on the source).
  const OpusParameters encoded = DecideOpusParameters(s, PcmFormat{});
  m.rateControl = static_cast<int>(encoded.rateControl);
  m.complexity = encoded.complexity;
  m.Load(s.OpusChannels, s.OpusID3TagType, s.AmplifyOpus, s.AmplifyOpusCoeff, s.OpusTags);
  return m;
}

void Model::StoreInto(Settings& s) const {
  s.OpusBitRate = bitrate;
  s.OpusRateControl = rateControl;
  s.OpusComplexity = complexity;
  Store(s.OpusChannels, s.OpusID3TagType, s.AmplifyOpus, s.AmplifyOpusCoeff, s.OpusTags);
}

}  // namespace opt_opus_page
}  // namespace sonorell
