#include "engine/encoders/mp3/mp3_options.h"

#include "engine/encoders/option_limits.h"
#include "engine/encoders/option_lists.h"
#include "engine/encoders/tags/tag_mode.h"

namespace sonorell {

int LimitMp3Bitrate(int kbps, int rate) {
  if (rate <= 12000) return kbps > 64 ? 64 : kbps;
  if (rate <= 24000) return kbps > 160 ? 160 : kbps;
  return kbps < 32 ? 32 : kbps;
}

namespace opt_mp3_page {
namespace {

// The entry that shows the page's bit rate, rate and channels.
int MatchingOption(const Model& m) {
  return MatchingEncodingOption(kPresets, {m.bitrate, m.rate, m.channelChoice});
}

}  // namespace

int ChannelChoiceOf(int mp3ChannelMode) {
  switch (mp3ChannelMode) {
    case kMp3ModeStereo:
      return kChoiceStereo;
    case kMp3ModeJointStereo:
      return kChoiceJointStereo;
    case kMp3ModeMono:
      return kChoiceMono;
    default:
      return kChoiceSameAsOriginal;
  }
}

int ChannelModeOf(int channelChoice) {
  switch (channelChoice) {
    case kChoiceJointStereo:
      return kMp3ModeJointStereo;
    case kChoiceStereo:
      return kMp3ModeStereo;
    case kChoiceMono:
      return kMp3ModeMono;
    default:
      return kMp3ModeSameAsSource;
  }
}

Model Model::FromSettings(const Settings& s) {
  Model m;
  m.bitrate = ShownListValue(kMp3Bitrates, s.MP3BitRate);
  m.rate = ShownListValue(kMp3SampleRates, s.MP3SampleRate);
  m.channelChoice = ChannelChoiceOf(s.MP3ChannelMode);
  m.tagChoice = static_cast<int>(TagModeOf(s.MP3ID3TagType));
  m.versionChoice = s.MP3WriteID3Version;
  m.amplify = s.AmplifyMp3 != 0;
  m.coefficient = s.AmplifyMp3Coeff;
  m.tags = s.Mp3Tags;
  m.encodingOption = s.AutoDestMP3EncodingParam ? kAuto : MatchingOption(m);
  return m;
}

void Model::StoreInto(Settings& s) const {
  s.AutoDestMP3EncodingParam = encodingOption == kAuto ? 1 : 0;
  if (encodingOption != kAuto) {
    s.MP3BitRate = bitrate;
    s.MP3SampleRate = rate;
    s.MP3ChannelMode = ChannelModeOf(channelChoice);
  }
  s.MP3ID3TagType = tagChoice;
  s.MP3WriteID3Version = versionChoice;
  s.AmplifyMp3 = amplify ? 1 : 0;
  s.AmplifyMp3Coeff = coefficient;
  s.Mp3Tags = tags;
}

void Model::SelectEncodingOption(int index) {
  sonorell::SelectEncodingOption(kPresets, index, encodingOption, bitrate, rate, channelChoice);
}

void Model::SelectBitrate(int kbps) {
  if (kbps == bitrate) return;
  bitrate = kbps;
  // "Same as original file" on either side leaves the pair as chosen.
  if (kbps == 0 || rate == 0) return;
  if (kbps <= 24 && rate > 24000) {
    rate = 24000;
  } else if (kbps >= 80 && kbps <= 160 && rate < 16000) {
    rate = 16000;
  } else if (kbps >= 192 && rate < 32000) {
    rate = 32000;
  }
  encodingOption = kCustom;
}

void Model::SelectRate(int hz) {
  if (hz == rate) return;
  rate = hz;
  if (hz == 0 || bitrate == 0) return;
  if (hz <= 12000 && bitrate > 64) {
    bitrate = 64;
  } else if (hz >= 16000 && hz <= 24000 && bitrate > 160) {
    bitrate = 160;
  } else if (hz >= 32000 && bitrate < 32) {
    bitrate = 32;
  }
  encodingOption = kCustom;
}

void Model::SelectChannel(int choice) {
  if (choice == channelChoice) return;
  channelChoice = choice;
  encodingOption = kCustom;
}

std::optional<std::string> Model::LeaveRefusal() const {
  return AmplifyRefusal(amplify, coefficient);
}

}  // namespace opt_mp3_page
}  // namespace sonorell
