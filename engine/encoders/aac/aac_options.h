#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "engine/encoders/option_limits.h"
#include "engine/encoders/option_lists.h"
#include "settings/settings.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// The "AAC Options" and "MP4/M4A/M4B Options" pages, without their windows. Both share
// their layout and behaviour; the MP4 page has no MPEG version and has the tag controls.
namespace opt_aac_page {

enum class Family { kRawAac, kMp4 };

inline constexpr const char* kRawAacTitle = "AAC Options";
inline constexpr const char* kMp4Title = "MP4/M4A/M4B Options";
inline constexpr const char* kAutoText = "A&uto (let the program choose the best parameters)";
inline constexpr std::array<const char*, 2> kModeTexts{"Average &Bit Rate (ABR)",
                                                       "&Variable Bit Rate (VBR)"};
inline constexpr int kModeAbr = 0;
inline constexpr int kModeVbr = 1;
inline constexpr const char* kBitrateLabel = "Bit &Rate:";
inline constexpr const char* kQualityLabel = "&Quality:";
inline constexpr const char* kQualityNote = "(Default: 100. From 10 to 500)";
inline constexpr const char* kTnsText = "Use &Temporal Noise Shaping (TNS)";
inline constexpr const char* kMidsideText = "Allow &Mid/Side";
inline constexpr std::array<const char*, 2> kMpegVersionTexts{"MPEG&4", "MPEG&2"};
inline constexpr std::array<const char*, 3> kBlockTypeTexts{"B&oth long and short", "No &short",
                                                            "&No long"};
// Shown on the block types the encoder cannot honour; they stay on the page, unavailable.
inline constexpr const char* kBlockTypeUnavailableTip =
    "The AAC encoder of this build decides block switching itself.";
inline constexpr std::array<const char*, 3> kTagTexts{
    "Add &ID3 tag", "T&ransfer ID3 tag from source file", "&None"};
inline constexpr const char* kEditTagText = "E&dit ID3 tag";
inline constexpr const char* kInvalidQualityText = "Invalid quality value. It's betwen 10 and 500.";

// "Bit &Rate:" values in kbps; the list ends with "Same as original file" (0).
inline constexpr std::array<int, 17> kBitrates{16,  24,  32,  40,  48,  56,  64,  80, 96,
                                               112, 128, 144, 160, 192, 224, 256, 320};
std::vector<ListEntry> BitrateEntries();

inline constexpr int kQualityMin = 10;
inline constexpr int kQualityMax = 500;
inline constexpr int kQualityStep = 10;

// Which edit a refusal puts the focus in.
enum class RefusedField { kQuality, kCoefficient };
struct Refusal {
  std::string text;
  RefusedField field = RefusedField::kQuality;
};

struct Model {
  Family family = Family::kRawAac;
  bool automatic = true;
  int mode = kModeVbr;
  int bitrate = 128;  // kbps, 0 = same as the source
  int quality = 100;
  bool tns = false;
  bool midside = true;
  int mpegVersion = 0;  // raw AAC only: 0 MPEG-4, 1 MPEG-2
  int blockType = 0;    // always an offered one
  bool amplify = false;
  int coefficient = 100;
  int tagChoice = 2;  // MP4 only
  TagDefaults tags;   // MP4 only: the copy "Edit ID3 tag" works on

  static Model FromSettings(const Settings& settings, Family family);
  // What OK stores: the auto flag always; mode, quality, bit rate, TNS, mid/side, block
  // type (and MPEG version) only without Auto; gain, tag mode and tag defaults always.
  void StoreInto(Settings& settings) const;
  // "Reset": the encoding choices back to their start; gain and tags untouched.
  void Reset();

  bool ParametersEnabled() const { return !automatic; }
  bool BitrateEnabled() const { return !automatic && mode == kModeAbr; }
  bool QualityEnabled() const { return !automatic && mode == kModeVbr; }
  bool CoefficientEnabled() const { return amplify; }
  // Only the block types the encoder honours are offered; the others stay unavailable.
  static bool BlockTypeOffered(int type);
  bool BlockTypeEnabled(int type) const { return !automatic && BlockTypeOffered(type); }
  bool MpegVersionShown() const { return family == Family::kRawAac; }
  bool TagControlsShown() const { return family == Family::kMp4; }
  bool EditTagEnabled() const { return family == Family::kMp4 && tagChoice == 0; }
  // The warning that keeps the page open when the user leaves it, if any.
  std::optional<Refusal> LeaveRefusal() const;
};

}  // namespace opt_aac_page
}  // namespace sonorell
