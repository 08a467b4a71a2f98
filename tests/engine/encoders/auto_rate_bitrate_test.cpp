#include "engine/encoders/auto_rate_bitrate.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

#include "engine/encoders/mp3/mp3_options.h"
#include "engine/encoders/ogg/ogg_options.h"

namespace sonorell {
namespace {

struct AutoCase {
  int sourceRate;
  int rate;
  int kbpsMono;
  int kbpsStereo;
};

TEST(AutoRateAndBitrate, EachSourceRateTakesTheFirstRowItDoesNotExceed) {
  const AutoCase cases[] = {
      {0, 11025, 24, 48},       {6000, 11025, 24, 48},      {8000, 11025, 24, 48},
      {11025, 11025, 24, 48},   {11026, 12000, 24, 48},     {12000, 12000, 24, 48},
      {12001, 16000, 32, 56},   {16000, 16000, 32, 56},     {22050, 22050, 48, 64},
      {22051, 24000, 48, 64},   {24000, 24000, 48, 64},     {32000, 32000, 64, 96},
      {44100, 44100, 96, 128},  {44101, 48000, 128, 192},   {48000, 48000, 128, 192},
      {96000, 48000, 128, 192}, {INT_MAX, 48000, 128, 192},
  };
  for (const AutoCase& c : cases) {
    const RateAndBitrate mono = AutoRateAndBitrate(c.sourceRate, 1);
    const RateAndBitrate stereo = AutoRateAndBitrate(c.sourceRate, 2);
    EXPECT_EQ(mono.rate, c.rate) << c.sourceRate;
    EXPECT_EQ(stereo.rate, c.rate) << c.sourceRate;
    EXPECT_EQ(mono.kbps, c.kbpsMono) << c.sourceRate;
    EXPECT_EQ(stereo.kbps, c.kbpsStereo) << c.sourceRate;
  }
}

TEST(AutoRateAndBitrate, OnlyOneChannelCountsAsMono) {
  EXPECT_EQ(AutoRateAndBitrate(44100, 0).kbps, 128);
  EXPECT_EQ(AutoRateAndBitrate(44100, 6).kbps, 128);
  EXPECT_EQ(AutoRateAndBitrate(44100, -1).kbps, 128);
}

TEST(AutoRateAndBitrate, EveryAutomaticChoiceIsOneTheEncodersAccept) {
  // Whatever the source, the automatic pair must be a listed rate and bit rate, within the
  // MPEG limits and the Vorbis ranges (the automatic path applies neither).
  for (int rate : {4000, 8000, 11025, 12000, 16000, 22050, 24000, 32000, 44100, 48000, 96000}) {
    for (int channels : {1, 2}) {
      const RateAndBitrate a = AutoRateAndBitrate(rate, channels);
      EXPECT_EQ(NearestListedValue(a.rate, kMp3SampleRates), a.rate);
      EXPECT_EQ(NearestListedValue(a.kbps, kMp3Bitrates), a.kbps);
      EXPECT_EQ(LimitMp3Bitrate(a.kbps, a.rate), a.kbps) << rate << " " << channels;
      EXPECT_EQ(IntoVorbisBitrateRange(a.kbps, a.rate, channels == 1), a.kbps)
          << rate << " " << channels;
    }
  }
}

TEST(NearestListedValue, SnapsToTheNearerEntryAndTheLowerOnATie) {
  EXPECT_EQ(NearestListedValue(128, kMp3Bitrates), 128);
  EXPECT_EQ(NearestListedValue(100, kMp3Bitrates), 96);  // 4 below, 12 above
  EXPECT_EQ(NearestListedValue(104, kMp3Bitrates), 96);  // a tie goes to the lower
  EXPECT_EQ(NearestListedValue(105, kMp3Bitrates), 112);
  EXPECT_EQ(NearestListedValue(1, kMp3Bitrates), 8);
  EXPECT_EQ(NearestListedValue(-50, kMp3Bitrates), 8);
  EXPECT_EQ(NearestListedValue(1000, kMp3Bitrates), 320);
  EXPECT_EQ(NearestListedValue(1000, kOggBitrates), 480);
  EXPECT_EQ(NearestListedValue(96000, kMp3SampleRates), 48000);
  EXPECT_EQ(NearestListedValue(7000, kMp3SampleRates), 8000);
  EXPECT_EQ(NearestListedValue(11512, kMp3SampleRates), 11025);  // 487 below, 488 above
  EXPECT_EQ(NearestListedValue(11513, kMp3SampleRates), 12000);
}

TEST(NearestListedValue, SurvivesTheWholeIntRangeAndAnEmptyList) {
  const std::vector<int> wide{INT_MIN, 0, INT_MAX};
  EXPECT_EQ(NearestListedValue(INT_MAX - 1, wide), INT_MAX);
  EXPECT_EQ(NearestListedValue(INT_MIN + 1, wide), INT_MIN);
  EXPECT_EQ(NearestListedValue(-1, wide), 0);
  EXPECT_EQ(NearestListedValue(INT_MIN, kMp3Bitrates), 8);
  EXPECT_EQ(NearestListedValue(INT_MAX, kMp3Bitrates), 320);
  EXPECT_EQ(NearestListedValue(77, std::vector<int>{}), 77);
  EXPECT_EQ(NearestListedValue(77, std::vector<int>{50}), 50);
}

}  // namespace
}  // namespace sonorell
