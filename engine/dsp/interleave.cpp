#include "engine/dsp/interleave.h"

#include <cstdint>
#include <cstring>

namespace sonorell {

void InterleaveBlock(const void* left, const void* right, int frames, int channels,
                     size_t sampleBytes, void* out) {
  if (frames <= 0) return;
  const auto* l = static_cast<const uint8_t*>(left);
  auto* o = static_cast<uint8_t*>(out);
  const auto count = static_cast<size_t>(frames);
  if (channels != 2) {
    std::memcpy(o, l, count * sampleBytes);
    return;
  }
  const auto* r = static_cast<const uint8_t*>(right);
  for (size_t i = 0; i < count; ++i, o += 2 * sampleBytes) {
    std::memcpy(o, l + i * sampleBytes, sampleBytes);
    std::memcpy(o + sampleBytes, r + i * sampleBytes, sampleBytes);
  }
}

}  // namespace sonorell
