#include "engine/sources/codecs/g72x.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace sonorell {
namespace {

std::vector<int16_t> DecodeCodes(G72xDecoder& decoder, const std::vector<unsigned>& codes) {
  std::vector<int16_t> out;
  for (unsigned c : codes) out.push_back(decoder.Decode(c));
  return out;
}

std::vector<unsigned> PseudoRandomCodes(size_t count, uint32_t seed) {
  std::vector<unsigned> codes(count);
  for (unsigned& c : codes) {
    seed = seed * 1103515245u + 12345u;
    c = seed >> 16;
  }
  return codes;
}

TEST(G72x, CodeSizes) {
  EXPECT_EQ(G72xCodeBits(G72xVariant::kG721), 4);
  EXPECT_EQ(G72xCodeBits(G72xVariant::kG723_24), 3);
  EXPECT_EQ(G72xCodeBits(G72xVariant::kG723_40), 5);
}

// The first samples from the initial state, as Sun's reference decoder gives them for a
// run of the largest positive code (checked against sox's copy of that code).
TEST(G72x, StartsFromTheRecommendedState) {
  G72xDecoder g721(G72xVariant::kG721);
  EXPECT_EQ(DecodeCodes(g721, {7, 7, 7, 7, 7, 7, 7, 7}),
            (std::vector<int16_t>{88, 104, 128, 192, 260, 416, 640, 1128}));
  G72xDecoder g723(G72xVariant::kG723_24);
  EXPECT_EQ(DecodeCodes(g723, {3, 3, 3, 3, 3, 3}),
            (std::vector<int16_t>{60, 72, 80, 92, 120, 152}));
  G72xDecoder g740(G72xVariant::kG723_40);
  EXPECT_EQ(DecodeCodes(g740, {15, 15, 15, 15, 15}),
            (std::vector<int16_t>{188, 212, 244, 308, 404}));
  // Silence codes stay near silence.
  G72xDecoder quiet(G72xVariant::kG721);
  for (int i = 0; i < 1000; ++i) EXPECT_LE(std::abs(quiet.Decode(0)), 64);
}

TEST(G72x, OnlyTheLowBitsOfACodeCount) {
  for (const auto variant : {G72xVariant::kG721, G72xVariant::kG723_24, G72xVariant::kG723_40}) {
    const auto codes = PseudoRandomCodes(3000, 7);
    std::vector<unsigned> masked;
    for (unsigned c : codes) masked.push_back(c & ((1u << G72xCodeBits(variant)) - 1));
    G72xDecoder a(variant), b(variant);
    EXPECT_EQ(DecodeCodes(a, codes), DecodeCodes(b, masked));
  }
}

TEST(G72x, ResetStartsAfresh) {
  const auto codes = PseudoRandomCodes(500, 99);
  G72xDecoder d(G72xVariant::kG723_40);
  const auto first = DecodeCodes(d, codes);
  d.Reset(G72xVariant::kG721);
  EXPECT_EQ(d.variant(), G72xVariant::kG721);
  const auto other = DecodeCodes(d, codes);
  EXPECT_NE(other, first);
  d.Reset(G72xVariant::kG723_40);
  EXPECT_EQ(DecodeCodes(d, codes), first);
}

// A run of the largest code overdrives the predictor: the output holds at full scale where
// the reference's 16-bit result would wrap to the opposite sign.
TEST(G72x, OverdriveHoldsAtFullScale) {
  G72xDecoder d(G72xVariant::kG721);
  std::vector<int16_t> out;
  for (int i = 0; i < 19; ++i) out.push_back(d.Decode(7));
  for (int i = 11; i < 19; ++i) EXPECT_EQ(out[i], 32767) << i;
}

// Hostile streams: any code sequence is valid input and must decode without fault.
TEST(G72x, AnyCodeSequenceDecodes) {
  for (const auto variant : {G72xVariant::kG721, G72xVariant::kG723_24, G72xVariant::kG723_40}) {
    G72xDecoder d(variant);
    int fullScale = 0;
    for (unsigned c : PseudoRandomCodes(200000, 3)) {
      const int16_t s = d.Decode(c);
      fullScale += s == 32767 || s == -32768;
    }
    EXPECT_LT(fullScale, 200000);
  }
}

}  // namespace
}  // namespace sonorell
