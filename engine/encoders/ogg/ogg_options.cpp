#include "engine/encoders/ogg/ogg_options.h"

#include "engine/encoders/option_limits.h"
#include "engine/encoders/option_lists.h"
#include "engine/encoders/tags/tag_mode.h"

namespace sonorell {

KbpsRange VorbisBitrateRange(int rate, bool mono) {
  if (rate <= 8000) return mono ? KbpsRange{8, 40} : KbpsRange{16, 80};
  if (rate <= 12000) return mono ? KbpsRange{16, 48} : KbpsRange{16, 96};
  if (rate <= 16000) return mono ? KbpsRange{16, 80} : KbpsRange{24, 160};
  if (rate <= 24000) return mono ? KbpsRange{16, 80} : KbpsRange{32, 160};
  if (rate <= 32000) return mono ? KbpsRange{32, 160} : KbpsRange{40, 320};
  return mono ? KbpsRange{32, 224} : KbpsRange{48, 480};
}

int IntoVorbisBitrateRange(int kbps, int rate, bool mono) {
  const KbpsRange range = VorbisBitrateRange(rate, mono);
  if (kbps < range.min) return range.min;
  if (kbps > range.max) return range.max;
  return kbps;
}

namespace opt_ogg_page {
namespace {

// The entry that shows the page's bit rate, rate and channels.
int MatchingOption(const Model& m) {
  return MatchingEncodingOption(kPresets, {m.bitrate, m.rate, m.channelChoice});
}

}  // namespace

Model Model::FromSettings(const Settings& s) {
  Model m;
  m.bitrate = ShownListValue(kOggBitrates, s.OGGBitRate);
  m.rate = ShownListValue(kOggSampleRates, s.OGGSampleRate);
  m.channelChoice = ChannelChoiceOf(s.OGGChannels);
  m.tagChoice = static_cast<int>(TagModeOf(s.OGGID3TagType));
  m.amplify = s.AmplifyOGG != 0;
  m.coefficient = s.AmplifyOGGCoeff;
  m.tags = s.OggTags;
  m.encodingOption = s.AutoDestOGGEncodingParam ? kAuto : MatchingOption(m);
  return m;
}

void Model::StoreInto(Settings& s) const {
  s.AutoDestOGGEncodingParam = encodingOption == kAuto ? 1 : 0;
  if (encodingOption != kAuto) {
    s.OGGBitRate = bitrate;
    s.OGGSampleRate = rate;
    s.OGGChannels = ChannelCountOf(channelChoice);
  }
  s.OGGID3TagType = tagChoice;
  s.AmplifyOGG = amplify ? 1 : 0;
  s.AmplifyOGGCoeff = coefficient;
  s.OggTags = tags;
}

void Model::SelectEncodingOption(int index) {
  sonorell::SelectEncodingOption(kPresets, index, encodingOption, bitrate, rate, channelChoice);
}

bool Model::KeepBitrateInRange() {
  if (rate == 0 || bitrate == 0 || channelChoice == kChoiceSameAsOriginal) return false;
  bitrate = IntoVorbisBitrateRange(bitrate, rate, channelChoice == kChoiceMono);
  encodingOption = kCustom;
  return true;
}

void Model::SelectBitrate(int kbps) {
  if (kbps == bitrate) return;
  bitrate = kbps;
  KeepBitrateInRange();
}

void Model::SelectRate(int hz) {
  if (hz == rate) return;
  rate = hz;
  KeepBitrateInRange();
}

void Model::SelectChannel(int choice) {
  if (choice == channelChoice) return;
  channelChoice = choice;
  if (!KeepBitrateInRange()) encodingOption = kCustom;
}

std::optional<std::string> Model::LeaveRefusal() const {
  return AmplifyRefusal(amplify, coefficient);
}

}  // namespace opt_ogg_page
}  // namespace sonorell
