#include "engine/encoders/mp3/mp3_options.h"

#include <gtest/gtest.h>

#include "engine/encoders/mp3/mp3_encoder.h"
#include "engine/encoders/option_lists.h"

namespace sonorell {
namespace {

using opt_mp3_page::Model;

Settings Fixed(int kbps, int rate, int mode) {
  Settings s;
  s.AutoDestMP3EncodingParam = 0;
  s.MP3BitRate = kbps;
  s.MP3SampleRate = rate;
  s.MP3ChannelMode = mode;
  return s;
}

// ---- what the options make of a source ----

TEST(Mp3Parameters, AutomaticFollowsTheSourceRateAndLeavesTheModeToLame) {
  Settings s;  // automatic by default
  Mp3Parameters p = DecideMp3Parameters(s, kInputWav, {44100, 2, 4, 0});
  EXPECT_EQ(p.inRate, 44100);
  EXPECT_EQ(p.outRate, 44100);
  EXPECT_EQ(p.kbps, 128);
  EXPECT_EQ(p.lameChannels, 2);
  EXPECT_FALSE(p.mode.has_value());
  p = DecideMp3Parameters(s, kInputWav, {8000, 1, 4, 0});
  EXPECT_EQ(p.inRate, 8000);  // LAME resamples, not the converter
  EXPECT_EQ(p.outRate, 11025);
  EXPECT_EQ(p.kbps, 24);
}

TEST(Mp3Parameters, TheBitRateSnapsToTheListAndStaysWithinTheMpegVersion) {
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 8000, 1), kInputWav, {44100, 2, 4, 0}).kbps, 64);
  EXPECT_EQ(DecideMp3Parameters(Fixed(16, 44100, 1), kInputWav, {44100, 2, 4, 0}).kbps, 32);
  EXPECT_EQ(DecideMp3Parameters(Fixed(320, 22050, 1), kInputWav, {44100, 2, 4, 0}).kbps, 160);
  EXPECT_EQ(DecideMp3Parameters(Fixed(100, 44100, 1), kInputWav, {44100, 2, 4, 0}).kbps, 96);
  EXPECT_EQ(DecideMp3Parameters(Fixed(104, 44100, 1), kInputWav, {44100, 2, 4, 0}).kbps, 96);
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 13000, 1), kInputWav, {44100, 2, 4, 0}).outRate, 12000);
  // Rate 0 means the source's, snapped to the MP3 rates.
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 0, 1), kInputWav, {96000, 2, 4, 0}).outRate, 48000);
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 0, 1), kInputWav, {6000, 2, 4, 0}).outRate, 8000);
}

TEST(Mp3Parameters, SameBitRateAsTheSourceComesFromMp3AndOggSourcesOnly) {
  EXPECT_EQ(DecideMp3Parameters(Fixed(0, 44100, 1), kInputMp3, {44100, 2, 1, 192}).kbps, 192);
  EXPECT_EQ(DecideMp3Parameters(Fixed(0, 44100, 1), kInputOgg, {44100, 2, 4, 100}).kbps, 96);
  // Other sources: the automatic bit rate of the output rate and channels.
  EXPECT_EQ(DecideMp3Parameters(Fixed(0, 22050, 1), kInputWav, {44100, 2, 4, 999}).kbps, 64);
  EXPECT_EQ(DecideMp3Parameters(Fixed(0, 22050, 3), kInputWav, {44100, 2, 4, 999}).kbps, 48);
  // A source that tells no bit rate leaves LAME's default.
  EXPECT_FALSE(DecideMp3Parameters(Fixed(0, 44100, 1), kInputMp3, {44100, 2, 1, 0}).kbps);
}

TEST(Mp3Parameters, SameModeAsTheSource) {
  // A mono WAV: mono, one channel.
  Mp3Parameters p = DecideMp3Parameters(Fixed(128, 44100, 4), kInputWav, {44100, 1, 4, 0});
  EXPECT_EQ(p.mode, kMp3ModeMono);
  EXPECT_EQ(p.lameChannels, 1);
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 44100, 4), kInputWav, {44100, 2, 4, 0}).mode,
            kMp3ModeJointStereo);
  // An MP3 source names its own mode, dual channel included.
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 44100, 4), kInputMp3, {44100, 2, 2, 0}).mode, 2);
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 44100, 4), kInputMp3, {44100, 2, 0, 0}).mode, 0);
  // One that names none keeps its channel count.
  EXPECT_EQ(DecideMp3Parameters(Fixed(128, 44100, 4), kInputMp3, {44100, 1, 4, 0}).mode,
            kMp3ModeMono);
}

TEST(Mp3Parameters, MonoFromStereoPicksAChannelOrLetsLameMix) {
  Settings s = Fixed(128, 44100, kMp3ModeMono);
  for (int monoType : {0, 1, 2, 7}) {
    s.MonoType = monoType;
    const Mp3Parameters p = DecideMp3Parameters(s, kInputWav, {44100, 2, 4, 0});
    const bool picks = monoType == 1 || monoType == 2;
    EXPECT_EQ(p.lameChannels, picks ? 1 : 2) << monoType;
    EXPECT_EQ(p.pickedChannel, picks ? monoType : 0) << monoType;
    EXPECT_EQ(p.mode, kMp3ModeMono);
    const ConditioningPlan plan = PlanMp3Conditioning(s, {44100, 2, 16}, p);
    EXPECT_FALSE(plan.convert) << "LAME mixes; the converter must not" << monoType;
    EXPECT_EQ(plan.pickedChannel, p.pickedChannel);
    EXPECT_EQ(plan.output.channels, p.lameChannels);
  }
}

TEST(Mp3Parameters, EightBitSourcesAreWidenedAtTheirOwnRate) {
  Settings s = Fixed(64, 22050, kMp3ModeJointStereo);
  s.AmplifyMp3 = 1;
  s.AmplifyMp3Coeff = 150;
  const Mp3Parameters p = DecideMp3Parameters(s, kInputWav, {11025, 2, 4, 0});
  const ConditioningPlan plan = PlanMp3Conditioning(s, {11025, 2, 8}, p);
  EXPECT_TRUE(plan.convert);
  EXPECT_EQ(plan.output.rate, 11025);
  EXPECT_EQ(plan.output.bits, 16);
  EXPECT_EQ(plan.output.channels, 2);
  EXPECT_TRUE(plan.gain);
  EXPECT_FLOAT_EQ(plan.gainFactor, 1.5f);
  const ConditioningPlan same = PlanMp3Conditioning(s, {11025, 2, 16}, p);
  EXPECT_FALSE(same.convert);
}

TEST(LimitMp3Bitrate, EachMpegVersionKeepsItsRange) {
  EXPECT_EQ(LimitMp3Bitrate(128, 8000), 64);
  EXPECT_EQ(LimitMp3Bitrate(128, 12000), 64);
  EXPECT_EQ(LimitMp3Bitrate(8, 12000), 8);
  EXPECT_EQ(LimitMp3Bitrate(192, 16000), 160);
  EXPECT_EQ(LimitMp3Bitrate(192, 24000), 160);
  EXPECT_EQ(LimitMp3Bitrate(8, 24000), 8);
  EXPECT_EQ(LimitMp3Bitrate(8, 32000), 32);
  EXPECT_EQ(LimitMp3Bitrate(320, 48000), 320);
}

// ---- the page ----

TEST(Mp3Page, ListsShowEveryValueThenSameAsOriginal) {
  const auto bitrates = ValueListEntries(kMp3Bitrates, " kbps");
  ASSERT_EQ(bitrates.size(), 19u);
  EXPECT_EQ(bitrates.front(), (ListEntry{"8 kbps", 8}));
  EXPECT_EQ(bitrates[17], (ListEntry{"320 kbps", 320}));
  EXPECT_EQ(bitrates.back(), (ListEntry{"Same as original file", 0}));
  const auto rates = ValueListEntries(kMp3SampleRates, " Hz");
  ASSERT_EQ(rates.size(), 10u);
  EXPECT_EQ(rates[7], (ListEntry{"44100 Hz", 44100}));
}

TEST(Mp3Page, OpensOnAutoAPresetOrCustom) {
  Settings s;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, opt_mp3_page::kAuto);
  s.AutoDestMP3EncodingParam = 0;
  s.MP3BitRate = 128;
  s.MP3SampleRate = 44100;
  s.MP3ChannelMode = kMp3ModeJointStereo;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, 4);
  s.MP3BitRate = 16;
  s.MP3SampleRate = 11025;
  s.MP3ChannelMode = kMp3ModeMono;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, 1);
  s.MP3ChannelMode = kMp3ModeStereo;  // plain stereo is no preset
  EXPECT_EQ(Model::FromSettings(s).encodingOption, opt_mp3_page::kCustom);
}

TEST(Mp3Page, StoredValuesShowAsTheirEntries) {
  Settings s;
  s.MP3BitRate = 0;
  s.MP3SampleRate = 12345;  // in no list: the first entry
  s.MP3ChannelMode = 2;     // dual channel has no radio: "Same as original file"
  const Model m = Model::FromSettings(s);
  EXPECT_EQ(m.bitrate, 0);
  EXPECT_EQ(m.rate, 8000);
  EXPECT_EQ(m.channelChoice, opt_mp3_page::kChoiceSameAsOriginal);
  for (int mode : {0, 1, 3, 4}) {
    EXPECT_EQ(opt_mp3_page::ChannelModeOf(opt_mp3_page::ChannelChoiceOf(mode)), mode);
  }
}

TEST(Mp3Page, AutoStoresOnlyItsFlagButTagsAndGainAlways) {
  Settings s;
  s.MP3BitRate = 224;
  s.MP3SampleRate = 32000;
  s.MP3ChannelMode = kMp3ModeStereo;
  Model m = Model::FromSettings(s);
  m.bitrate = 64;
  m.tagChoice = 0;
  m.versionChoice = 2;
  m.amplify = true;
  m.coefficient = 250;
  m.tags.Artist = "Someone";
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestMP3EncodingParam, 1);
  EXPECT_EQ(s.MP3BitRate, 224);
  EXPECT_EQ(s.MP3SampleRate, 32000);
  EXPECT_EQ(s.MP3ChannelMode, kMp3ModeStereo);
  EXPECT_EQ(s.MP3ID3TagType, 0);
  EXPECT_EQ(s.MP3WriteID3Version, 2);
  EXPECT_EQ(s.AmplifyMp3, 1);
  EXPECT_EQ(s.AmplifyMp3Coeff, 250);
  EXPECT_EQ(s.Mp3Tags.Artist, "Someone");

  m.SelectEncodingOption(opt_mp3_page::kCustom);
  m.SelectChannel(opt_mp3_page::kChoiceMono);
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestMP3EncodingParam, 0);
  EXPECT_EQ(s.MP3BitRate, 64);
  EXPECT_EQ(s.MP3ChannelMode, kMp3ModeMono);
}

TEST(Mp3Page, APresetSetsAllThreeValues) {
  Model m;
  m.SelectEncodingOption(2);
  EXPECT_TRUE(m.ParametersEnabled());
  EXPECT_EQ(m.bitrate, 32);
  EXPECT_EQ(m.rate, 22050);
  EXPECT_EQ(m.channelChoice, opt_mp3_page::kChoiceJointStereo);
  m.SelectEncodingOption(opt_mp3_page::kCustom);  // changes nothing
  EXPECT_EQ(m.bitrate, 32);
  m.SelectEncodingOption(opt_mp3_page::kAuto);
  EXPECT_FALSE(m.ParametersEnabled());
}

TEST(Mp3Page, ABitRateMovesTheRateIntoItsMpegVersion) {
  struct Case {
    int rate, kbps, rateAfter;
  } cases[] = {{44100, 16, 24000},  {32000, 24, 24000}, {24000, 8, 24000},
               {11025, 80, 16000},  {8000, 160, 16000}, {22050, 192, 32000},
               {16000, 320, 32000}, {44100, 64, 44100}, {8000, 64, 8000}};
  for (const Case& c : cases) {
    Model m;
    m.SelectEncodingOption(opt_mp3_page::kCustom);
    m.rate = c.rate;
    m.bitrate = 128 == c.kbps ? 112 : 128;
    m.encodingOption = 3;
    m.SelectBitrate(c.kbps);
    EXPECT_EQ(m.rate, c.rateAfter) << c.rate << " " << c.kbps;
    EXPECT_EQ(m.bitrate, c.kbps);
    EXPECT_EQ(m.encodingOption, opt_mp3_page::kCustom);
  }
}

TEST(Mp3Page, ARateMovesTheBitRateIntoItsMpegVersion) {
  struct Case {
    int kbps, rate, kbpsAfter;
  } cases[] = {{128, 8000, 64},   {80, 12000, 64},   {64, 11025, 64},
               {192, 16000, 160}, {320, 24000, 160}, {160, 22050, 160},
               {8, 32000, 32},    {24, 48000, 32},   {32, 44100, 32}};
  for (const Case& c : cases) {
    Model m;
    m.encodingOption = 4;
    m.bitrate = c.kbps;
    m.rate = 96000;  // anything different
    m.SelectRate(c.rate);
    EXPECT_EQ(m.bitrate, c.kbpsAfter) << c.kbps << " " << c.rate;
    EXPECT_EQ(m.encodingOption, opt_mp3_page::kCustom);
  }
}

TEST(Mp3Page, SameAsOriginalAdjustsNothing) {
  Model m;
  m.encodingOption = 4;
  m.rate = 0;
  m.bitrate = 128;
  m.SelectBitrate(8);
  EXPECT_EQ(m.rate, 0);
  EXPECT_EQ(m.encodingOption, 4);  // left as it was
  m.SelectRate(8000);              // the bit rate was 8: nothing to move
  EXPECT_EQ(m.encodingOption, opt_mp3_page::kCustom);
  m.encodingOption = 4;
  m.SelectBitrate(0);
  EXPECT_EQ(m.encodingOption, 4);
  m.SelectRate(48000);
  EXPECT_EQ(m.bitrate, 0);
  EXPECT_EQ(m.encodingOption, 4);
}

TEST(Mp3Page, OnlyAChangedChannelChoiceSelectsCustom) {
  Model m;
  m.SelectEncodingOption(4);
  m.SelectChannel(opt_mp3_page::kChoiceJointStereo);
  EXPECT_EQ(m.encodingOption, 4);
  m.SelectChannel(opt_mp3_page::kChoiceStereo);
  EXPECT_EQ(m.encodingOption, opt_mp3_page::kCustom);
}

TEST(Mp3Page, TagControlsFollowTheTagChoice) {
  Model m;
  m.SelectTag(0);
  EXPECT_TRUE(m.EditTagEnabled());
  EXPECT_TRUE(m.VersionChoiceEnabled());
  m.SelectTag(1);
  EXPECT_FALSE(m.EditTagEnabled());
  EXPECT_TRUE(m.VersionChoiceEnabled());
  m.SelectTag(2);
  EXPECT_FALSE(m.VersionChoiceEnabled());
}

TEST(Mp3Page, ACoefficientOutsideTheRangeKeepsThePageOnlyWhenTicked) {
  Model m;
  m.coefficient = 9;
  EXPECT_FALSE(m.LeaveRefusal());
  m.amplify = true;
  EXPECT_EQ(m.LeaveRefusal(), "Invalid amplification coefficient. It's betwen 10 and 3000.");
  m.coefficient = 3001;
  EXPECT_TRUE(m.LeaveRefusal());
  m.coefficient = 10;
  EXPECT_FALSE(m.LeaveRefusal());
  m.coefficient = 3000;
  EXPECT_FALSE(m.LeaveRefusal());
}

}  // namespace
}  // namespace sonorell
