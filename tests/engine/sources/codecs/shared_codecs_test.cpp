#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "engine/sources/codecs/g711.h"
#include "engine/sources/codecs/ima_adpcm.h"
#include "engine/sources/codecs/pcm_to_16.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

// All 256 code words through sox's own G.711 expansion must give our values.
void ExpectSameAsSox(const char* encoding, int16_t (*expand)(uint8_t)) {
  testing::TempFolder dir;
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes.push_back(static_cast<char>(i));
  const std::string raw = dir / "codes.raw";
  testing::WriteFileBytes(raw, bytes);
  const auto sox = testing::CommandOutput(std::string("sox -D -t raw -r 8000 -c 1 -e ") + encoding +
                                          " " + raw + " -t raw -e signed-integer -b 16 -L -");
  ASSERT_TRUE(sox);
  ASSERT_EQ(sox->size(), 512u);
  for (int i = 0; i < 256; ++i) {
    const auto expected = static_cast<int16_t>(static_cast<uint8_t>((*sox)[2 * i]) |
                                               (static_cast<uint8_t>((*sox)[2 * i + 1]) << 8));
    EXPECT_EQ(expand(static_cast<uint8_t>(i)), expected) << encoding << " code " << i;
  }
}

TEST(G711, EveryALawCodeExpandsAsSoxDoes) {
  SONORELL_REQUIRE_TOOL("sox");
  ExpectSameAsSox("a-law", ALawToLinear);
}

TEST(G711, EveryMuLawCodeExpandsAsSoxDoes) {
  SONORELL_REQUIRE_TOOL("sox");
  ExpectSameAsSox("u-law", MuLawToLinear);
}

TEST(G711, ReferenceValuesAtTheEnds) {
  EXPECT_EQ(MuLawToLinear(0xFF), 0);
  EXPECT_EQ(MuLawToLinear(0x00), -32124);
  EXPECT_EQ(MuLawToLinear(0x80), 32124);
  EXPECT_EQ(ALawToLinear(0xD5), 8);
  EXPECT_EQ(ALawToLinear(0x55), -8);
  EXPECT_EQ(ALawToLinear(0xAA), 32256);
  EXPECT_EQ(ALawToLinear(0x2A), -32256);
}

TEST(ImaAdpcm, StepIndexStaysInTheTableAndPredictorClamps) {
  ImaChannelState s{32000, 88};
  for (int i = 0; i < 10; ++i) ImaExpandNibble(s, 0x7);  // largest positive steps
  EXPECT_EQ(s.predictor, 32767);
  EXPECT_EQ(s.stepIndex, 88);
  for (int i = 0; i < 20; ++i) ImaExpandNibble(s, 0xF);
  EXPECT_EQ(s.predictor, -32768);
  for (int i = 0; i < 200; ++i) ImaExpandNibble(s, 0x0);
  EXPECT_EQ(s.stepIndex, 0);
  EXPECT_EQ(ImaClampStepIndex(100), 88);
}

TEST(ImaAdpcm, FirstNibblesFromSilence) {
  ImaChannelState s;
  // step 7: 7/8 = 0, +7/4 = 1 (bit 0), +7/2 = 3 (bit 1), +7 (bit 2)
  EXPECT_EQ(ImaExpandNibble(s, 0x1), 1);
  EXPECT_EQ(s.stepIndex, 0);
  EXPECT_EQ(ImaExpandNibble(s, 0x4), 1 + 7);
  EXPECT_EQ(s.stepIndex, 2);
  EXPECT_EQ(ImaExpandNibble(s, 0x9), 8 - (9 / 8 + 9 / 4));  // step 9, negated
}

TEST(WideSamples, UpperBytesWithoutRounding) {
  const uint8_t le24[] = {0xFF, 0x34, 0x12};
  EXPECT_EQ(LoadLe24(le24), 0x1234FF);
  EXPECT_EQ(Int24ToInt16(LoadLe24(le24)), 0x1234);
  const uint8_t be24neg[] = {0x80, 0x00, 0x01};
  EXPECT_EQ(LoadBe24(be24neg), -8388607);
  EXPECT_EQ(Int24ToInt16(LoadBe24(be24neg)), -32768);
  EXPECT_EQ(Int32ToInt16(-1), -1);  // arithmetic shift
  EXPECT_EQ(Int32ToInt16(0x7FFFFFFF), 32767);
}

TEST(WideSamples, FloatScalesTruncatesAndClampsInsteadOfWrapping) {
  EXPECT_EQ(FloatToInt16(0.0), 0);
  EXPECT_EQ(FloatToInt16(1.0), 32767);
  EXPECT_EQ(FloatToInt16(-1.0), -32768);
  EXPECT_EQ(FloatToInt16(0.5), static_cast<int16_t>(static_cast<int32_t>(0.5 * 2147483647.0) >> 16));
  EXPECT_EQ(FloatToInt16(1.5), 32767);
  EXPECT_EQ(FloatToInt16(-7.0), -32768);
  EXPECT_EQ(FloatToInt16(INFINITY), 32767);
  EXPECT_EQ(FloatToInt16(NAN), 0);
}

}  // namespace
}  // namespace sonorell
