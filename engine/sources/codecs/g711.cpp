#include "engine/sources/codecs/g711.h"

#include <array>

namespace sonorell {
namespace {

constexpr int16_t ExpandALaw(uint8_t value) {
  const int a = value ^ 0x55;
  int t = (a & 0x0F) << 4;
  const int segment = (a & 0x70) >> 4;
  switch (segment) {
    case 0:
      t += 8;
      break;
    case 1:
      t += 0x108;
      break;
    default:
      t += 0x108;
      t <<= segment - 1;
  }
  return static_cast<int16_t>((a & 0x80) ? t : -t);
}

constexpr int16_t ExpandMuLaw(uint8_t value) {
  constexpr int kBias = 0x84;
  const int u = ~value & 0xFF;
  int t = ((u & 0x0F) << 3) + kBias;
  t <<= (u & 0x70) >> 4;
  return static_cast<int16_t>((u & 0x80) ? (kBias - t) : (t - kBias));
}

template <int16_t (*Expand)(uint8_t)>
constexpr std::array<int16_t, 256> MakeTable() {
  std::array<int16_t, 256> table{};
  for (int i = 0; i < 256; ++i) table[i] = Expand(static_cast<uint8_t>(i));
  return table;
}

constexpr auto kALaw = MakeTable<ExpandALaw>();
constexpr auto kMuLaw = MakeTable<ExpandMuLaw>();

}  // namespace

int16_t ALawToLinear(uint8_t alaw) { return kALaw[alaw]; }
int16_t MuLawToLinear(uint8_t ulaw) { return kMuLaw[ulaw]; }

}  // namespace sonorell
