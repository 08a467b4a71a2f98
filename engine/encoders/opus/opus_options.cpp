#include "engine/encoders/opus/opus_options.h"

#include "engine/encoders/auto_rate_bitrate.h"

namespace sonorell {

int OpusAutoKbps(int channels) {
  return channels == 1 ? 64 : 128;
}

namespace opt_opus_page {

std::vector<ListEntry> BitrateEntries() {
  return ValueListEntriesAfter({kAutoText, 0}, kOpusBitrates, " kbps");
}

std::vector<ListEntry> RateControlEntries() {
  return {{"Variable (VBR)", kOpusVbr},
          {"Constrained variable (CVBR)", kOpusConstrainedVbr},
          {"Constant (CBR)", kOpusCbr}};
}

std::vector<ListEntry> ComplexityEntries() {
  static constexpr LevelNote kNotes[]{{kOpusMinComplexity, "fastest"},
                                      {kOpusMaxComplexity, "best, default"}};
  return LevelEntries(kOpusMinComplexity, kOpusMaxComplexity, kNotes);
}

Model Model::FromSettings(const Settings& s) {
  Model m;
  m.bitrate = s.OpusBitRate <= 0 ? 0 : NearestListedValue(s.OpusBitRate, kOpusBitrates);
  const bool controlKnown = s.OpusRateControl >= kOpusVbr && s.OpusRateControl <= kOpusCbr;
  m.rateControl = controlKnown ? s.OpusRateControl : kOpusVbr;
  const bool complexityKnown =
      s.OpusComplexity >= kOpusMinComplexity && s.OpusComplexity <= kOpusMaxComplexity;
  m.complexity = complexityKnown ? s.OpusComplexity : kOpusMaxComplexity;
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
