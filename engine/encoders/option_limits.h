#pragma once

#include <span>

namespace sonorell {

// Amplification coefficients the option pages accept, in percent, and their refusal.
inline constexpr int kMinAmplifyCoefficient = 10;
inline constexpr int kMaxAmplifyCoefficient = 3000;
inline constexpr const char* kInvalidAmplificationText =
    "Invalid amplification coefficient. It's betwen 10 and 3000.";

inline bool ValidAmplifyCoefficient(int percent) {
  return percent >= kMinAmplifyCoefficient && percent <= kMaxAmplifyCoefficient;
}

}  // namespace sonorell
