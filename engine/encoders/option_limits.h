#pragma once

#include <optional>
#include <string>

namespace sonorell {

// Amplification coefficients the option pages accept, in percent, and their refusal.
inline constexpr int kMinAmplifyCoefficient = 10;
inline constexpr int kMaxAmplifyCoefficient = 3000;
inline constexpr const char* kInvalidAmplificationText =
    "Invalid amplification coefficient. It's betwen 10 and 3000.";

// The gain controls every page with amplification shows.
inline constexpr const char* kAmplifyText = "&Amplify / Reduce sound";
inline constexpr const char* kCoefficientLabel = "&Coefficient:";
inline constexpr const char* kCoefficientNote =
    "< 100% - Reduce sound\n= 100% - No changes\n> 100% - Amplify sound";
inline constexpr int kCoefficientStep = 10;  // one spin click

inline bool ValidAmplifyCoefficient(int percent) {
  return percent >= kMinAmplifyCoefficient && percent <= kMaxAmplifyCoefficient;
}

// The warning that keeps a page open: a ticked gain box with a coefficient out of range.
inline std::optional<std::string> AmplifyRefusal(bool amplify, int coefficient) {
  if (amplify && !ValidAmplifyCoefficient(coefficient)) return kInvalidAmplificationText;
  return std::nullopt;
}

}  // namespace sonorell
