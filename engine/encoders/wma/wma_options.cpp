#include "engine/encoders/wma/wma_options.h"

#include "engine/encoders/tags/tag_mode.h"
namespace sonorell::opt_wma_page {

std::vector<EncodingEntry> EncodingEntries(const WmaProfileList& list) {
  std::vector<EncodingEntry> entries;
  for (const WmaProfileEntry& e : list.Entries()) {
    if (e.bitRate < 1000) continue;
    std::string text = std::to_string(e.format.sampleRate) + " Hz, " +
                       std::to_string(e.bitRate / 1000) + " kbps, " +
                       (e.format.channels == 1 ? "Mono" : "Stereo");
    entries.push_back({std::move(text), e});
  }
  return entries;
}

Model Model::FromSettings(const Settings& s, const WmaProfileList& list) {
  Model m;
  m.entries = EncodingEntries(list);
  m.tagChoice = static_cast<int>(TagModeOf(s.WMAID3TagType));
  m.amplify = s.AmplifyWMA != 0;
  m.coefficient = s.AmplifyWMACoeff;
  m.tags = s.WmaTags;
  if (s.AutoDestWMAEncodingParam) return m;
  m.selected = kNoneSelected;
  for (size_t i = 0; i < m.entries.size(); ++i) {
    const WmaProfileEntry& e = m.entries[i].profile;
    if (e.format.sampleRate == s.WMASampleRate && e.bitRate / 1000 == s.WMABitRate / 1000 &&
        e.format.channels == s.WMAChannels) {
      m.selected = static_cast<int>(i) + 1;
      break;
    }
  }
  return m;
}

void Model::StoreInto(Settings& s) const {
  const bool automatic = selected <= kAutoSelected || selected > static_cast<int>(entries.size());
  s.AutoDestWMAEncodingParam = automatic ? 1 : 0;
  if (!automatic) {
    const WmaProfileEntry& e = entries[static_cast<size_t>(selected - 1)].profile;
    s.WMASampleRate = e.format.sampleRate;
    s.WMABitRate = e.bitRate;
    s.WMAChannels = e.format.channels;
  }
  s.WMAID3TagType = tagChoice;
  s.AmplifyWMA = amplify ? 1 : 0;
  s.AmplifyWMACoeff = coefficient;
  s.WmaTags = tags;
}

std::optional<std::string> Model::LeaveRefusal() const {
  return AmplifyRefusal(amplify, coefficient);
}

}  // namespace sonorell::opt_wma_page
