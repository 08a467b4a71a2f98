#include "engine/encoders/aac/aac_options.h"

#include "engine/encoders/aac/aac_encoding_options.h"
#include "engine/encoders/option_limits.h"
#include "engine/encoders/tags/tag_mode.h"

namespace sonorell::opt_aac_page {

std::vector<ListEntry> BitrateEntries() {
  return ValueListEntries(kBitrates, " kbps");
}

Model Model::FromSettings(const Settings& s, Family family) {
  Model m;
  m.family = family;
  const bool raw = family == Family::kRawAac;
  m.automatic = (raw ? s.AutoDestAACEncodingParam : s.AutoDestM4AEncodingParam) != 0;
  m.mode = (raw ? s.AACVBR : s.M4AVBR) != 0 ? kModeVbr : kModeAbr;
  m.bitrate = ShownListValue(kBitrates, raw ? s.AACABRBitRate : s.M4AABRBitRate);
  m.quality = raw ? s.AACVBRQuality : s.M4AVBRQuality;
  m.tns = (raw ? s.AACEnableTNS : s.M4AEnableTNS) != 0;
  m.midside = (raw ? s.AACEnableMidside : s.M4AEnableMidside) != 0;
  m.mpegVersion = raw && s.AACMpegVersion != 0 ? 1 : 0;
  m.blockType = UsableAacBlockType(raw ? s.AACBlockType : s.M4ABlockType);
  m.amplify = (raw ? s.AmplifyAAC : s.AmplifyM4A) != 0;
  m.coefficient = raw ? s.AmplifyAACCoef : s.AmplifyM4ACoef;
  if (!raw) {
    m.tagChoice = static_cast<int>(TagModeOf(s.M4AID3TagType));
    m.tags = s.M4aTags;
  }
  return m;
}

void Model::StoreInto(Settings& s) const {
  const bool raw = family == Family::kRawAac;
  (raw ? s.AutoDestAACEncodingParam : s.AutoDestM4AEncodingParam) = automatic ? 1 : 0;
  if (!automatic) {
    (raw ? s.AACVBR : s.M4AVBR) = mode == kModeVbr ? 1 : 0;
    (raw ? s.AACVBRQuality : s.M4AVBRQuality) = quality;
    (raw ? s.AACABRBitRate : s.M4AABRBitRate) = bitrate;
    (raw ? s.AACEnableTNS : s.M4AEnableTNS) = tns ? 1 : 0;
    (raw ? s.AACEnableMidside : s.M4AEnableMidside) = midside ? 1 : 0;
    (raw ? s.AACBlockType : s.M4ABlockType) = blockType;
    if (raw) s.AACMpegVersion = mpegVersion != 0 ? 1 : 0;
  }
  (raw ? s.AmplifyAAC : s.AmplifyM4A) = amplify ? 1 : 0;
  (raw ? s.AmplifyAACCoef : s.AmplifyM4ACoef) = coefficient;
  if (!raw) {
    s.M4AID3TagType = tagChoice;
    s.M4aTags = tags;
  }
}

void Model::Reset() {
  automatic = true;
  mode = kModeVbr;
  quality = 100;
  tns = false;
  midside = true;
  blockType = 0;
  mpegVersion = 0;
  bitrate = 128;
}

bool Model::BlockTypeOffered(int type) {
  return AacBlockTypeAvailable(type);
}

std::optional<Refusal> Model::LeaveRefusal() const {
  if (!automatic && mode == kModeVbr && (quality < kQualityMin || quality > kQualityMax)) {
    return Refusal{kInvalidQualityText, RefusedField::kQuality};
  }
  if (const std::optional<std::string> gain = AmplifyRefusal(amplify, coefficient)) {
    return Refusal{*gain, RefusedField::kCoefficient};
  }
  return std::nullopt;
}

}  // namespace sonorell::opt_aac_page
