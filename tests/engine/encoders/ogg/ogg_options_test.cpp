#include "engine/encoders/ogg/ogg_options.h"

#include <gtest/gtest.h>

#include <vector>

#include "engine/encoders/ogg/ogg_encoder.h"
#include "engine/encoders/option_lists.h"

namespace sonorell {
namespace {

using opt_ogg_page::Model;

Settings Fixed(int kbps, int rate, int channels) {
  Settings s;
  s.AutoDestOGGEncodingParam = 0;
  s.OGGBitRate = kbps;
  s.OGGSampleRate = rate;
  s.OGGChannels = channels;
  return s;
}

// ---- what the options make of a source ----

TEST(OggParameters, AutomaticKeepsChannelsAndFollowsTheSourceRate) {
  const Settings s;
  EXPECT_EQ(DecideOggParameters(s, kInputWav, {44100, 2, 16}, 0), (OggParameters{44100, 2, 128}));
  EXPECT_FALSE(PlanOggConditioning(s, {44100, 2, 16}, {44100, 2, 128}).convert);
  EXPECT_EQ(DecideOggParameters(s, kInputWav, {8000, 1, 16}, 0), (OggParameters{11025, 1, 24}));
  EXPECT_EQ(DecideOggParameters(s, kInputWav, {96000, 2, 16}, 0), (OggParameters{48000, 2, 192}));
}

TEST(OggParameters, FixedBitRatesAreSnappedAndKeptInLibvorbisRange) {
  EXPECT_EQ(DecideOggParameters(Fixed(480, 22050, 2), kInputWav, {44100, 2, 16}, 0).kbps, 160);
  EXPECT_EQ(DecideOggParameters(Fixed(480, 22050, 1), kInputWav, {44100, 2, 16}, 0).kbps, 80);
  EXPECT_EQ(DecideOggParameters(Fixed(8, 44100, 2), kInputWav, {44100, 2, 16}, 0).kbps, 48);
  EXPECT_EQ(DecideOggParameters(Fixed(100, 44100, 2), kInputWav, {44100, 2, 16}, 0).kbps, 96);
  // A value stored in bit/s and not divided (1000 stays 1000) is the largest listed rate.
  EXPECT_EQ(DecideOggParameters(Fixed(1000, 48000, 2), kInputWav, {44100, 2, 16}, 0).kbps, 480);
  EXPECT_EQ(DecideOggParameters(Fixed(128, 13000, 2), kInputWav, {44100, 2, 16}, 0).rate, 12000);
}

TEST(OggParameters, SameAsTheSource) {
  OggParameters p = DecideOggParameters(Fixed(0, 0, 0), kInputWav, {22050, 1, 16}, 0);
  EXPECT_EQ(p, (OggParameters{22050, 1, 48}));
  p = DecideOggParameters(Fixed(0, 0, 0), kInputMp3, {44100, 2, 16}, 192);
  EXPECT_EQ(p, (OggParameters{44100, 2, 192}));
  p = DecideOggParameters(Fixed(0, 0, 0), kInputOgg, {8000, 2, 16}, 500);
  EXPECT_EQ(p, (OggParameters{8000, 2, 80}));  // 480, then into 8 kHz stereo's range
  // A source that tells no bit rate still gets one libvorbis can encode.
  p = DecideOggParameters(Fixed(0, 0, 0), kInputMp3, {44100, 1, 16}, 0);
  EXPECT_EQ(p, (OggParameters{44100, 1, 32}));
  // A channel count the page has no radio for follows the source.
  EXPECT_EQ(DecideOggParameters(Fixed(128, 44100, 7), kInputWav, {44100, 1, 16}, 0).channels, 1);
}

TEST(OggParameters, ConditioningDecidesConversionPickingAndGain) {
  Settings s = Fixed(128, 44100, 1);
  s.MonoType = 2;
  ConditioningPlan plan = PlanOggConditioning(s, {44100, 2, 16}, {44100, 1, 128});
  EXPECT_FALSE(plan.convert);
  EXPECT_EQ(plan.pickedChannel, 2);
  s.MonoType = 0;
  plan = PlanOggConditioning(s, {44100, 2, 16}, {44100, 1, 128});
  EXPECT_TRUE(plan.convert);  // the converter mixes (L+R)/2
  EXPECT_EQ(plan.pickedChannel, 0);
  // An 8-bit source always passes the converter, even at its own rate.
  plan = PlanOggConditioning(s, {22050, 2, 8}, {22050, 2, 64});
  EXPECT_TRUE(plan.convert);
  EXPECT_EQ(plan.output.bits, 16);
  plan = PlanOggConditioning(s, {22050, 1, 16}, {22050, 2, 64});
  EXPECT_TRUE(plan.convert);  // mono doubled
  s.AmplifyOGG = 1;
  s.AmplifyOGGCoeff = 100;
  EXPECT_FALSE(PlanOggConditioning(s, {22050, 1, 16}, {22050, 1, 64}).gain);
  s.AmplifyOGGCoeff = 150;
  EXPECT_TRUE(PlanOggConditioning(s, {22050, 1, 16}, {22050, 1, 64}).gain);
}

TEST(VorbisBitrateRange, EveryRowMonoAndStereo) {
  struct Row {
    int rate;
    KbpsRange mono, stereo;
  } rows[] = {
      {8000, {8, 40}, {16, 80}},     {11025, {16, 48}, {16, 96}},   {12000, {16, 48}, {16, 96}},
      {16000, {16, 80}, {24, 160}},  {22050, {16, 80}, {32, 160}},  {24000, {16, 80}, {32, 160}},
      {32000, {32, 160}, {40, 320}}, {44100, {32, 224}, {48, 480}}, {48000, {32, 224}, {48, 480}}};
  for (const Row& r : rows) {
    EXPECT_EQ(VorbisBitrateRange(r.rate, true), r.mono) << r.rate;
    EXPECT_EQ(VorbisBitrateRange(r.rate, false), r.stereo) << r.rate;
  }
  EXPECT_EQ(IntoVorbisBitrateRange(8, 44100, false), 48);
  EXPECT_EQ(IntoVorbisBitrateRange(480, 44100, true), 224);
  EXPECT_EQ(IntoVorbisBitrateRange(100, 44100, true), 100);
}

TEST(OggSerialSequence, FollowsTheClassicGeneratorFromOne) {
  OggSerialSequence sequence;
  const std::vector<int> expected{41, 18467, 6334, 26500, 19169, 15724, 11478, 29358};
  for (const int serial : expected) EXPECT_EQ(sequence.Next(), serial);
  OggSerialSequence other(1);
  EXPECT_EQ(other.Next(), 41) << "each sequence has its own state";
}

// ---- the page ----

TEST(OggPage, ListsAndOpening) {
  const auto bitrates = ValueListEntries(kOggBitrates, " kbps");
  ASSERT_EQ(bitrates.size(), 21u);
  EXPECT_EQ(bitrates[19], (ListEntry{"480 kbps", 480}));
  EXPECT_EQ(bitrates.back(), (ListEntry{"Same as original file", 0}));
  Settings s;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, opt_ogg_page::kAuto);
  s.AutoDestOGGEncodingParam = 0;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, 4);  // 128 / 44100 / stereo
  s.OGGChannels = 0;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, opt_ogg_page::kCustom);
  s.OGGChannels = 5;
  EXPECT_EQ(Model::FromSettings(s).channelChoice, opt_ogg_page::kChoiceSameAsOriginal);
  s.OGGBitRate = 1000;  // matches no entry
  EXPECT_EQ(Model::FromSettings(s).bitrate, 8);
}

TEST(OggPage, AutoStoresOnlyItsFlag) {
  Settings s;
  s.OGGBitRate = 256;
  Model m = Model::FromSettings(s);
  m.bitrate = 64;
  m.tagChoice = 2;
  m.amplify = true;
  m.coefficient = 30;
  m.StoreInto(s);
  EXPECT_EQ(s.OGGBitRate, 256);
  EXPECT_EQ(s.OGGID3TagType, 2);
  EXPECT_EQ(s.AmplifyOGG, 1);
  EXPECT_EQ(s.AmplifyOGGCoeff, 30);
  m.SelectEncodingOption(1);
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestOGGEncodingParam, 0);
  EXPECT_EQ(s.OGGBitRate, 16);
  EXPECT_EQ(s.OGGSampleRate, 11025);
  EXPECT_EQ(s.OGGChannels, 1);
}

TEST(OggPage, ChangesKeepTheBitRateInRangeWhenAllThreeAreFixed) {
  Model m;
  m.SelectEncodingOption(4);  // 128 kbps, 44100 Hz, stereo
  m.SelectRate(8000);
  EXPECT_EQ(m.bitrate, 80);
  EXPECT_EQ(m.encodingOption, opt_ogg_page::kCustom);
  m.SelectChannel(opt_ogg_page::kChoiceMono);
  EXPECT_EQ(m.bitrate, 40);
  m.SelectBitrate(8);
  EXPECT_EQ(m.bitrate, 8);
  m.SelectRate(44100);
  EXPECT_EQ(m.bitrate, 32);
  m.encodingOption = 2;
  m.SelectBitrate(32);  // no change at all: nothing happens
  EXPECT_EQ(m.encodingOption, 2);
  m.SelectBitrate(48);  // in range: still Custom
  EXPECT_EQ(m.bitrate, 48);
  EXPECT_EQ(m.encodingOption, opt_ogg_page::kCustom);
}

TEST(OggPage, SameAsOriginalKeepsAnyBitRate) {
  Model m;
  m.SelectEncodingOption(3);
  m.SelectChannel(opt_ogg_page::kChoiceSameAsOriginal);
  EXPECT_EQ(m.encodingOption, opt_ogg_page::kCustom);  // the radio changed
  m.encodingOption = 3;
  m.SelectBitrate(480);
  EXPECT_EQ(m.bitrate, 480);
  EXPECT_EQ(m.encodingOption, 3);
  m.SelectChannel(opt_ogg_page::kChoiceStereo);
  EXPECT_EQ(m.bitrate, 320);  // 32000 Hz stereo
  m.SelectRate(0);
  m.encodingOption = 3;
  m.SelectBitrate(8);
  EXPECT_EQ(m.bitrate, 8);
  EXPECT_EQ(m.encodingOption, 3);
}

TEST(OggPage, TagAndGainControls) {
  Model m;
  m.SelectTag(0);
  EXPECT_TRUE(m.EditTagEnabled());
  m.SelectTag(1);
  EXPECT_FALSE(m.EditTagEnabled());
  m.amplify = true;
  m.coefficient = 9;
  EXPECT_EQ(m.LeaveRefusal(), "Invalid amplification coefficient. It's betwen 10 and 3000.");
  m.amplify = false;
  EXPECT_FALSE(m.LeaveRefusal());
}

}  // namespace
}  // namespace sonorell
