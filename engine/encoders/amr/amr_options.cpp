#include "engine/encoders/amr/amr_options.h"

#include "engine/encoders/option_limits.h"

namespace sonorell::opt_amr_page {
namespace {

int ShownMode(int stored, int count) {
  return stored >= 0 && stored < count ? stored : kFallbackMode;
}

}  // namespace

std::vector<ListEntry> NbModeEntries() {
  std::vector<ListEntry> entries;
  for (size_t i = 0; i < kNbModeTexts.size(); ++i) {
    entries.push_back({kNbModeTexts[i], static_cast<int>(i)});
  }
  return entries;
}

std::vector<ListEntry> WbModeEntries() {
  std::vector<ListEntry> entries;
  for (size_t i = 0; i < kWbModeNumbers.size(); ++i) {
    entries.push_back({std::string(kWbModeNumbers[i]) + " kbps", static_cast<int>(i)});
  }
  return entries;
}

int ShownNbMode(int stored) {
  return ShownMode(stored, static_cast<int>(kNbModeTexts.size()));
}

int ShownWbMode(int stored) {
  return ShownMode(stored, static_cast<int>(kWbModeNumbers.size()));
}

Model Model::FromSettings(const Settings& s) {
  Model m;
  // The encoder takes any value but 0 as the wide-band codec; the radios say the same.
  m.codec = s.AMRType == 0 ? kCodecNb : kCodecWb;
  m.nbMode = ShownNbMode(s.AMRMode);
  m.wbMode = ShownWbMode(s.AMRWBMode);
  m.amrDtx = s.AMRDTX != 0;
  m.awbMode = ShownWbMode(s.AWBMode);
  m.awbDtx = s.AWBDTX != 0;
  m.amplify = s.AmplifyAMR != 0;
  m.coefficient = s.AmplifyAMRCoef;
  return m;
}

void Model::StoreInto(Settings& s) const {
  s.AMRType = codec;
  s.AMRMode = nbMode;
  s.AMRWBMode = wbMode;
  s.AMRDTX = amrDtx ? 1 : 0;
  s.AWBMode = awbMode;
  s.AWBDTX = awbDtx ? 1 : 0;
  s.AmplifyAMR = amplify ? 1 : 0;
  s.AmplifyAMRCoef = coefficient;
}

void Model::SelectCodec(int choice) {
  if (choice == kCodecNb || choice == kCodecWb) codec = choice;
}

std::optional<std::string> Model::LeaveRefusal() const {
  return AmplifyRefusal(amplify, coefficient);
}

}  // namespace sonorell::opt_amr_page
