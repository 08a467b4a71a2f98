#include "engine/encoders/wav/wav_options.h"

#include "engine/encoders/option_limits.h"

namespace sonorell::opt_wav_page {
namespace {

int MatchingOption(const Model& m) {
  return MatchingEncodingOption(kPresets, {m.bits, m.rate, m.channelChoice});
}

}  // namespace

std::vector<ListEntry> BitsEntries() {
  return ValueListEntries(kBits, " bits");
}
std::vector<ListEntry> RateEntries() {
  return ValueListEntries(kWavPageRates, " Hz");
}

int ChannelChoiceOf(int wavChannelNum) {
  if (wavChannelNum == 2) return kChoiceStereo;
  if (wavChannelNum == 1) return kChoiceMono;
  return kChoiceSameAsOriginal;
}

int ChannelCountOf(int channelChoice) {
  if (channelChoice == kChoiceStereo) return 2;
  if (channelChoice == kChoiceMono) return 1;
  return 0;
}

Model Model::FromSettings(const Settings& s) {
  Model m;
  m.bits = ShownListValue(kBits, s.WAVBitsPerSample);
  m.rate = ShownListValue(kWavPageRates, s.WAVSampleRate);
  m.channelChoice = ChannelChoiceOf(s.WAVChannelNum);
  m.amplify = s.AmplifyWav != 0;
  m.coefficient = s.AmplifyWavCoeff;
  m.encodingOption = s.AutoDestWAVEncodingParam ? kAuto : MatchingOption(m);
  return m;
}

void Model::StoreInto(Settings& s) const {
  s.AutoDestWAVEncodingParam = encodingOption == kAuto ? 1 : 0;
  if (encodingOption != kAuto) {
    s.WAVBitsPerSample = bits;
    s.WAVSampleRate = rate;
    s.WAVChannelNum = ChannelCountOf(channelChoice);
  }
  s.AmplifyWav = amplify ? 1 : 0;
  s.AmplifyWavCoeff = coefficient;
}

void Model::SelectEncodingOption(int index) {
  if (index < kAuto || index > kCustom) return;
  encodingOption = index;
  const std::optional<EncodingPreset> preset = PresetOfOption(kPresets, index);
  if (!preset) return;
  bits = preset->size;
  rate = preset->rate;
  channelChoice = preset->channelChoice;
}

void Model::SelectBits(int value) {
  if (value == bits) return;
  bits = value;
  encodingOption = kCustom;
}

void Model::SelectRate(int hz) {
  if (hz == rate) return;
  rate = hz;
  encodingOption = kCustom;
}

void Model::SelectChannel(int choice) {
  if (choice == channelChoice) return;
  channelChoice = choice;
  encodingOption = kCustom;
}

std::optional<std::string> Model::LeaveRefusal() const {
  if (amplify && !ValidAmplifyCoefficient(coefficient)) return kInvalidAmplificationText;
  return std::nullopt;
}

}  // namespace sonorell::opt_wav_page
