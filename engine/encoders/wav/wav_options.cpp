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
  sonorell::SelectEncodingOption(kPresets, index, encodingOption, bits, rate, channelChoice);
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
  return AmplifyRefusal(amplify, coefficient);
}

}  // namespace sonorell::opt_wav_page
