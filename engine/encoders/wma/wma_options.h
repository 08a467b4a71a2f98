#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/option_limits.h"
#include "engine/encoders/wma/wma_profile_list.h"
#include "settings/settings.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// The "WMA Options" page, without its window.
namespace opt_wma_page {

inline constexpr const char* kTitle = "WMA Options";
inline constexpr const char* kEncodingLabel =
    "&Encoding Options: (Sample Frequency, Bit Rate, Channels)";
inline constexpr const char* kAutoText = "Auto";
inline constexpr std::array<const char*, 3> kTagTexts{
    "Add &ID3 tag", "T&ransfer ID3 tag from source file", "&None"};
inline constexpr const char* kEditTagText = "Edit ID3 &tag";

// One entry of the encoding combo after "Auto".
struct EncodingEntry {
  std::string text;  // "44100 Hz, 128 kbps, Stereo"
  WmaProfileEntry profile;
};
// The list's encodings of at least 1000 bit/s, in list order.
std::vector<EncodingEntry> EncodingEntries(const WmaProfileList& list);

inline constexpr int kAutoSelected = 0;  // combo index of "Auto"
inline constexpr int kNoneSelected = -1;

struct Model {
  std::vector<EncodingEntry> entries;  // combo entries 1..n
  int selected = kAutoSelected;        // combo index; kNoneSelected when nothing matched
  int tagChoice = 1;
  bool amplify = false;
  int coefficient = 100;
  TagDefaults tags;

  static Model FromSettings(const Settings& settings, const WmaProfileList& list);
  // Auto, or no selection, stores only the auto flag; an entry stores its rate, full bit
  // rate and channels as well. Tags and gain always.
  void StoreInto(Settings& settings) const;

  bool EditTagEnabled() const { return tagChoice == 0; }
  bool CoefficientEnabled() const { return amplify; }
  std::optional<std::string> LeaveRefusal() const;
};

}  // namespace opt_wma_page
}  // namespace sonorell
