#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

#include "engine/dsp/channel_mix.h"
#include "engine/dsp/float_samples.h"
#include "engine/dsp/gain.h"
#include "engine/dsp/sample_width.h"

namespace sonorell {
namespace {

TEST(GainFactor, IsTheSinglePrecisionProductOfThePercentAndOneHundredth) {
  EXPECT_EQ(GainFactor(150), 1.5f);
  EXPECT_EQ(GainFactor(100), 1.0f);
  EXPECT_EQ(GainFactor(50), 0.5f);
  for (int c = 10; c <= 3000; ++c) {
    // The product of two floats is exact in double; one rounding to float must match.
    const float expected = static_cast<float>(static_cast<double>(c) * static_cast<double>(0.01f));
    ASSERT_EQ(GainFactor(c), expected) << c;
  }
}

TEST(GainFactor, AppliesOnlyWhenSwitchedOnAndNotUnity) {
  EXPECT_TRUE(GainApplies(true, 150));
  EXPECT_TRUE(GainApplies(true, 10));
  EXPECT_FALSE(GainApplies(true, 100));
  EXPECT_FALSE(GainApplies(false, 150));
  EXPECT_FALSE(GainApplies(false, 100));
}

TEST(Amplify16, ClampsSymmetricallyAtFullScale) {
  int16_t left[] = {10000, -10000, 32767, -32768};
  int16_t right[] = {-10000, 10000, 0, 1};
  AmplifyBlock16(left, right, 4, 2, GainFactor(1000));
  EXPECT_EQ(left[0], 32767);
  EXPECT_EQ(left[1], -32767);  // never -32768
  EXPECT_EQ(left[2], 32767);
  EXPECT_EQ(left[3], -32767);
  EXPECT_EQ(right[0], -32767);
  EXPECT_EQ(right[1], 32767);
  EXPECT_EQ(right[2], 0);
  EXPECT_EQ(right[3], 10);
}

TEST(Amplify16, TruncatesTowardZero) {
  int16_t left[] = {3, -3, 1, -1, 32767, -32767};
  AmplifyBlock16(left, nullptr, 6, 1, GainFactor(50));
  EXPECT_EQ(left[0], 1);
  EXPECT_EQ(left[1], -1);
  EXPECT_EQ(left[2], 0);
  EXPECT_EQ(left[3], 0);
  EXPECT_EQ(left[4], 16383);
  EXPECT_EQ(left[5], -16383);
  int16_t odd[] = {7, -7};
  AmplifyBlock16(odd, nullptr, 2, 1, GainFactor(150));  // 10.5 and -10.5
  EXPECT_EQ(odd[0], 10);
  EXPECT_EQ(odd[1], -10);
}

TEST(Amplify16, EverySampleStaysInRangeAndKeepsItsSign) {
  for (const int c : {10, 99, 101, 250, 3000}) {
    const float f = GainFactor(c);
    for (int s = -32768; s <= 32767; ++s) {
      const int v = AmplifySample16(static_cast<int16_t>(s), f);
      ASSERT_GE(v, -32767);
      ASSERT_LE(std::abs(v), std::abs(static_cast<double>(s) * f) + 0.0) << s << " at " << c;
      ASSERT_GT(std::abs(v) + 1, std::min(std::abs(static_cast<double>(s) * f), 32767.0))
          << s << " at " << c;
      ASSERT_TRUE(v == 0 || (v > 0) == (s > 0)) << s << " at " << c;
    }
  }
}

TEST(Amplify8, ClampsAroundSilence) {
  uint8_t left[] = {0, 128, 255, 129, 127};
  AmplifyBlock8(left, nullptr, 5, 1, GainFactor(200));
  EXPECT_EQ(left[0], 0);    // -256 clamps to -128
  EXPECT_EQ(left[1], 128);  // silence stays silence
  EXPECT_EQ(left[2], 255);  // 254 clamps to 127
  EXPECT_EQ(left[3], 130);
  EXPECT_EQ(left[4], 126);
}

TEST(Amplify8, TruncatesTowardZero) {
  uint8_t left[] = {129, 127, 131, 125};
  uint8_t right[] = {0, 255, 128, 200};
  AmplifyBlock8(left, right, 4, 2, GainFactor(50));
  EXPECT_EQ(left[0], 128);  // 0.5 -> 0
  EXPECT_EQ(left[1], 128);  // -0.5 -> 0
  EXPECT_EQ(left[2], 129);  // 1.5 -> 1
  EXPECT_EQ(left[3], 127);  // -1.5 -> -1
  EXPECT_EQ(right[0], 64);
  EXPECT_EQ(right[1], 191);  // 127 × 0.5 = 63.5 -> 63
  EXPECT_EQ(right[2], 128);
  EXPECT_EQ(right[3], 164);
}

TEST(AmplifyBlock, MonoLeavesTheRightBufferAlone) {
  int16_t left16[] = {1000, -1000};
  int16_t right16[] = {1000, -1000};
  AmplifyBlock16(left16, right16, 2, 1, GainFactor(300));
  EXPECT_EQ(left16[0], 3000);
  EXPECT_EQ(left16[1], -3000);
  EXPECT_EQ(right16[0], 1000);
  EXPECT_EQ(right16[1], -1000);

  uint8_t left8[] = {138};
  uint8_t right8[] = {138};
  AmplifyBlock8(left8, right8, 1, 1, GainFactor(300));
  EXPECT_EQ(left8[0], 158);
  EXPECT_EQ(right8[0], 138);

  // An absent right buffer is valid for mono, and for stereo only the left is touched.
  int16_t alone16[] = {3000};
  uint8_t alone8[] = {158};
  AmplifyBlock16(alone16, nullptr, 1, 1, GainFactor(200));
  AmplifyBlock16(alone16, nullptr, 1, 2, GainFactor(200));
  AmplifyBlock8(alone8, nullptr, 1, 1, GainFactor(150));
  AmplifyBlock8(alone8, nullptr, 1, 2, GainFactor(150));
  EXPECT_EQ(alone16[0], 12000);
  EXPECT_EQ(alone8[0], 195);  // 30 -> 45 -> 67
}

TEST(AmplifyBlock, TenPercentIsJustBelowOneTenth) {
  // 10 × 0.01f rounds to slightly less than 0.1, and truncation shows it.
  int16_t left[] = {3000, -3000, 10};
  AmplifyBlock16(left, nullptr, 3, 1, GainFactor(10));
  EXPECT_EQ(left[0], 299);
  EXPECT_EQ(left[1], -299);
  EXPECT_EQ(left[2], 0);
  uint8_t bytes[] = {158};
  AmplifyBlock8(bytes, nullptr, 1, 1, GainFactor(10));
  EXPECT_EQ(bytes[0], 130);
}

TEST(AmplifyBlock, OnlyTheGivenFramesChange) {
  std::vector<int16_t> block(8, 100);
  AmplifyBlock16(block.data(), nullptr, 5, 1, GainFactor(200));
  EXPECT_EQ(block[4], 200);
  EXPECT_EQ(block[5], 100);
  AmplifyBlock16(block.data(), nullptr, 0, 1, GainFactor(200));
  AmplifyBlock16(block.data(), nullptr, -3, 1, GainFactor(200));
  EXPECT_EQ(block[0], 200);
}

TEST(MonoMix, AveragesWithoutOverflow) {
  EXPECT_EQ(MixSamples16(32767, 32767), 32767);
  EXPECT_EQ(MixSamples16(-32768, -32767), -32768);
  EXPECT_EQ(MixSamples16(-32768, -32768), -32768);
  EXPECT_EQ(MixSamples16(32767, -32768), -1);
  EXPECT_EQ(MixSamples16(-1, 0), -1);  // odd negative sums round down
  EXPECT_EQ(MixSamples16(1, 0), 0);
  EXPECT_EQ(MixSamples16(-3, -4), -4);
  EXPECT_EQ(MixSamples8(255, 255), 255);
  EXPECT_EQ(MixSamples8(0, 0), 0);
  EXPECT_EQ(MixSamples8(255, 0), 127);
  EXPECT_EQ(MixSamples8(128, 129), 128);
}

TEST(MonoMix, BlockMayReplaceTheLeftChannel) {
  int16_t left[] = {100, -5, 32767};
  const int16_t right[] = {200, 4, 32767};
  MixToMono16(left, right, left, 3);
  EXPECT_EQ(left[0], 150);
  EXPECT_EQ(left[1], -1);
  EXPECT_EQ(left[2], 32767);
  uint8_t l8[] = {10, 255};
  const uint8_t r8[] = {21, 254};
  uint8_t out8[2] = {};
  MixToMono8(l8, r8, out8, 2);
  EXPECT_EQ(out8[0], 15);
  EXPECT_EQ(out8[1], 254);
}

TEST(SampleWidth, EndPointsAndSilence) {
  EXPECT_EQ(Sample8To16(0), -32768);
  EXPECT_EQ(Sample8To16(128), 0);
  EXPECT_EQ(Sample8To16(255), 32512);
  EXPECT_EQ(Sample16To8(-32768), 0);
  EXPECT_EQ(Sample16To8(0), 128);
  EXPECT_EQ(Sample16To8(32767), 255);
  EXPECT_EQ(Sample16To8(-1), 127);  // the high byte, not a rounding toward zero
  EXPECT_EQ(Sample16To8(255), 128);
  EXPECT_EQ(Sample16To8(256), 129);
}

TEST(SampleWidth, EightToSixteenAndBackReturnsTheSameBytes) {
  std::vector<uint8_t> bytes(256), back(256);
  std::vector<int16_t> wide(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  Convert8To16(bytes.data(), wide.data(), 256);
  Convert16To8(wide.data(), back.data(), 256);
  EXPECT_EQ(back, bytes);
  for (int i = 1; i < 256; ++i) EXPECT_EQ(wide[i] - wide[i - 1], 256);
}

TEST(FloatSamples, FullScaleAndBeyond) {
  EXPECT_EQ(FloatToSample16(1.0f), 32767);
  EXPECT_EQ(FloatToSample16(-1.0f), -32767);
  EXPECT_EQ(FloatToSample8(1.0f), 255);
  EXPECT_EQ(FloatToSample8(-1.0f), 1);
  EXPECT_EQ(FloatToSample16(1.7f), 32767);
  EXPECT_EQ(FloatToSample16(-40.0f), -32767);
  EXPECT_EQ(FloatToSample8(3.0f), 255);
  EXPECT_EQ(FloatToSample8(-3.0f), 1);
  const float inf = std::numeric_limits<float>::infinity();
  EXPECT_EQ(FloatToSample16(inf), 32767);
  EXPECT_EQ(FloatToSample16(-inf), -32767);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_EQ(FloatToSample16(nan), -32767);
  EXPECT_EQ(FloatToSample8(nan), 1);
}

TEST(FloatSamples, TruncateTowardZero) {
  EXPECT_EQ(FloatToSample16(0.5f), 16383);  // 16383.5
  EXPECT_EQ(FloatToSample16(-0.5f), -16383);
  EXPECT_EQ(FloatToSample16(0.0f), 0);
  EXPECT_EQ(FloatToSample16(1.0f / 32767 * 0.999f), 0);
  EXPECT_EQ(FloatToSample16(-1.0f / 32767 * 0.999f), 0);
  EXPECT_EQ(FloatToSample8(0.5f), 191);  // 128 + 63
  EXPECT_EQ(FloatToSample8(-0.5f), 65);  // 128 - 63
  EXPECT_EQ(FloatToSample8(0.0f), 128);
  // Just under full scale must not round up to it.
  EXPECT_EQ(FloatToSample16(std::nextafter(1.0f, 0.0f)), 32766);
  EXPECT_EQ(FloatToSample8(std::nextafter(1.0f, 0.0f)), 254);
}

TEST(FloatSamples, ToFloatScalesByPowersOfTwo) {
  EXPECT_EQ(Sample16ToFloat(-32768), -1.0f);
  EXPECT_EQ(Sample16ToFloat(0), 0.0f);
  EXPECT_EQ(Sample16ToFloat(16384), 0.5f);
  EXPECT_EQ(Sample16ToFloat(32767), 32767.0f / 32768);
  EXPECT_EQ(Sample8ToFloat(0), -1.0f);
  EXPECT_EQ(Sample8ToFloat(128), 0.0f);
  EXPECT_EQ(Sample8ToFloat(192), 0.5f);
  EXPECT_EQ(Sample8ToFloat(255), 127.0f / 128);
}

TEST(FloatSamples, RoundTripLosesAtMostOneStep) {
  std::vector<int16_t> in(65536), out(65536);
  std::vector<float> f(65536);
  for (int i = 0; i < 65536; ++i) in[i] = static_cast<int16_t>(i - 32768);
  Convert16ToFloat(in.data(), f.data(), 65536);
  ConvertFloatTo16(f.data(), out.data(), 65536);
  for (int i = 0; i < 65536; ++i) {
    ASSERT_LE(std::abs(out[i] - in[i]), 1) << in[i];
    ASSERT_LE(std::abs(out[i]), std::abs(in[i])) << in[i];  // truncation never grows
  }
  std::vector<uint8_t> bytes(256), back(256);
  std::vector<float> g(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  Convert8ToFloat(bytes.data(), g.data(), 256);
  ConvertFloatTo8(g.data(), back.data(), 256);
  for (int i = 0; i < 256; ++i) {
    ASSERT_LE(std::abs(back[i] - bytes[i]), 1) << i;
    ASSERT_GE(back[i], 1);
  }
}

}  // namespace
}  // namespace sonorell
