#include "engine/dsp/interleave.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

namespace sonorell {
namespace {

// bytes is a std::integral_constant for the usual widths: known at compile time, each copy is
// a single move rather than a call.
template <typename Width>
void InterleavePairs(const uint8_t* l, const uint8_t* r, size_t count, Width bytes, uint8_t* o) {
  for (size_t i = 0; i < count; ++i, o += 2 * bytes) {
    std::memcpy(o, l + i * bytes, bytes);
    std::memcpy(o + bytes, r + i * bytes, bytes);
  }
}

template <size_t kBytes>
using Fixed = std::integral_constant<size_t, kBytes>;

}  // namespace

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
  switch (sampleBytes) {
    case 1:
      return InterleavePairs(l, r, count, Fixed<1>{}, o);
    case 2:
      return InterleavePairs(l, r, count, Fixed<2>{}, o);
    case 3:
      return InterleavePairs(l, r, count, Fixed<3>{}, o);
    case 4:
      return InterleavePairs(l, r, count, Fixed<4>{}, o);
    default:
      return InterleavePairs(l, r, count, sampleBytes, o);
  }
}

}  // namespace sonorell
