#include "engine/encoders/flac/flac_options.h"

#include "engine/encoders/auto_rate_bitrate.h"

namespace sonorell::opt_flac_page {

std::vector<ListEntry> CompressionEntries() {
  static constexpr LevelNote kNotes[]{{kFlacMinLevel, "fastest, largest"},
                                      {kFlacDefaultLevel, "default"},
                                      {kFlacMaxLevel, "slowest, smallest"}};
  return LevelEntries(kFlacMinLevel, kFlacMaxLevel, kNotes);
}

std::vector<ListEntry> RateEntries() {
  return ValueListEntriesAfter({kSameAsOriginalText, 0}, kFlacSampleRates, " Hz");
}

Model Model::FromSettings(const Settings& s) {
  Model m;
  const bool levelKnown = s.FLACCompression >= kFlacMinLevel && s.FLACCompression <= kFlacMaxLevel;
  m.compression = levelKnown ? s.FLACCompression : kFlacDefaultLevel;
  m.rate = s.FLACSampleRate <= 0 ? 0 : NearestListedValue(s.FLACSampleRate, kFlacSampleRates);
  m.Load(s.FLACChannels, s.FLACID3TagType, s.AmplifyFLAC, s.AmplifyFLACCoeff, s.FlacTags);
  return m;
}

void Model::StoreInto(Settings& s) const {
  s.FLACCompression = compression;
  s.FLACSampleRate = rate;
  Store(s.FLACChannels, s.FLACID3TagType, s.AmplifyFLAC, s.AmplifyFLACCoeff, s.FlacTags);
}

}  // namespace sonorell::opt_flac_page
