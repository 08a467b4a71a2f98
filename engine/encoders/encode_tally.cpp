#include "engine/encoders/encode_tally.h"

namespace sonorell {

void PcmDigest::Add(const void* left, const void* right, int frames, int channels,
                    int bytesPerSample) {
  constexpr uint64_t kPrime = 1099511628211ull;
  const auto* l = static_cast<const uint8_t*>(left);
  const auto* r = static_cast<const uint8_t*>(channels == 2 ? right : nullptr);
  const size_t width = static_cast<size_t>(bytesPerSample);
  uint64_t h = value_;
  for (size_t i = 0; i < static_cast<size_t>(frames > 0 ? frames : 0); ++i) {
    for (size_t b = 0; b < width; ++b) h = (h ^ l[i * width + b]) * kPrime;
    if (r) {
      for (size_t b = 0; b < width; ++b) h = (h ^ r[i * width + b]) * kPrime;
    }
  }
  value_ = h;
}

}  // namespace sonorell
