#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/option_limits.h"
#include "engine/encoders/option_lists.h"
#include "settings/settings.h"

namespace sonorell {

// The "AMR/AWB Options" page, without its window: the texts and lists it shows, the values
// it holds, how it reads and stores Settings, and which controls are usable.
namespace opt_amr_page {

inline constexpr const char* kTitle = "AMR/AWB Options";

// Codec radios for ".amr", in AMRType order.
inline constexpr std::array<const char*, 2> kCodecTexts{"NB (Narrow Band, 8000 Hz)",
                                                        "WB (Wide Band, 16000 Hz)"};
inline constexpr int kCodecNb = 0;
inline constexpr int kCodecWb = 1;

inline constexpr const char* kBitrateLabel = "&Bit Rate:";
inline constexpr const char* kDtxText = "&Enable DTX (Discontinuous Transmission)";
inline constexpr const char* kAwbGroupText = "AWB Encoding Parameters";
inline constexpr const char* kAwbRateText = "Sample Frequency: 16000 Hz";
inline constexpr const char* kPercentText = "%";

// The entries of the bit-rate boxes in mode order; an entry's value is its mode.
inline constexpr std::array<const char*, 8> kNbModeTexts{"4.75 kbps", "5.15kbps", "5.9 kbps",
                                                         "6.7 kbps",  "7.4 kbps", "7.95 kbps",
                                                         "10.2 kbps", "12.2 kbps"};
inline constexpr std::array<const char*, 9> kWbModeNumbers{
    "6.60", "8.85", "12.65", "14.25", "15.85", "18.25", "19.85", "23.05", "23.85"};
std::vector<ListEntry> NbModeEntries();
std::vector<ListEntry> WbModeEntries();  // number + " kbps"

// A stored mode that is no entry of its box shows as the fifth entry (7.4 or 15.85 kbps).
inline constexpr int kFallbackMode = 4;
int ShownNbMode(int stored);
int ShownWbMode(int stored);


struct Model {
  int codec = kCodecNb;  // for ".amr"
  int nbMode = 6;
  int wbMode = 6;  // ".amr" with the WB codec
  bool amrDtx = false;
  int awbMode = 6;
  bool awbDtx = false;
  bool amplify = false;
  int coefficient = 100;  // percent

  // The page as it opens on these settings; each box shows its entry for the stored mode.
  static Model FromSettings(const Settings& settings);
  // What OK stores: every field, each mode as its box's selected entry.
  void StoreInto(Settings& settings) const;

  void SelectCodec(int choice);

  // The box of the codec not chosen for ".amr" is disabled; the AWB box and both DTX boxes
  // are always usable.
  bool NbModeEnabled() const { return codec == kCodecNb; }
  bool WbModeEnabled() const { return codec == kCodecWb; }
  bool AwbModeEnabled() const { return true; }
  bool DtxEnabled() const { return true; }
  bool CoefficientEnabled() const { return amplify; }
  // The warning that keeps the page open when the user leaves it, if any.
  std::optional<std::string> LeaveRefusal() const;
};

}  // namespace opt_amr_page
}  // namespace sonorell
