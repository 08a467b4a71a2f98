#include <gtest/gtest.h>

#include "engine/encoders/option_limits.h"
#include "engine/encoders/option_lists.h"
#include "engine/encoders/wav/wav_options.h"

namespace sonorell {
namespace {

using opt_wav_page::Model;

TEST(WavPage, ListsShowEveryValueThenSameAsOriginal) {
  const auto bits = opt_wav_page::BitsEntries();
  ASSERT_EQ(bits.size(), 3u);
  EXPECT_EQ(bits[0], (ListEntry{"8 bits", 8}));
  EXPECT_EQ(bits[1], (ListEntry{"16 bits", 16}));
  EXPECT_EQ(bits[2], (ListEntry{"Same as original file", 0}));
  const auto rates = opt_wav_page::RateEntries();
  ASSERT_EQ(rates.size(), 13u);
  EXPECT_EQ(rates.front(), (ListEntry{"6000 Hz", 6000}));
  EXPECT_EQ(rates[11], (ListEntry{"96000 Hz", 96000}));
  EXPECT_EQ(rates.back(), (ListEntry{"Same as original file", 0}));
}

TEST(WavPage, OpensOnAutoAPresetOrCustom) {
  Settings s;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, opt_wav_page::kAuto);
  s.AutoDestWAVEncodingParam = 0;
  s.WAVBitsPerSample = 8;
  s.WAVSampleRate = 11025;
  s.WAVChannelNum = 1;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, 1);
  s.WAVBitsPerSample = 16;
  s.WAVSampleRate = 44100;
  s.WAVChannelNum = 2;
  EXPECT_EQ(Model::FromSettings(s).encodingOption, 4);
  s.WAVChannelNum = 1;  // mono CD rate is no preset
  EXPECT_EQ(Model::FromSettings(s).encodingOption, opt_wav_page::kCustom);
}

TEST(WavPage, StoredValuesShowAsTheirEntries) {
  Settings s;
  s.WAVBitsPerSample = 24;  // in no list: the first entry
  s.WAVSampleRate = 0;
  s.WAVChannelNum = 6;  // no radio: "Same as original file"
  Model m = Model::FromSettings(s);
  EXPECT_EQ(m.bits, 8);
  EXPECT_EQ(m.rate, 0);
  EXPECT_EQ(m.channelChoice, opt_wav_page::kChoiceSameAsOriginal);
  s.WAVSampleRate = 44000;
  EXPECT_EQ(Model::FromSettings(s).rate, 6000);
  for (int count : {0, 1, 2}) {
    EXPECT_EQ(opt_wav_page::ChannelCountOf(opt_wav_page::ChannelChoiceOf(count)), count);
  }
}

TEST(WavPage, AutoStoresOnlyItsFlagButGainAlways) {
  Settings s;
  s.WAVBitsPerSample = 8;
  s.WAVSampleRate = 48000;
  s.WAVChannelNum = 1;
  Model m = Model::FromSettings(s);
  m.bits = 16;
  m.amplify = true;
  m.coefficient = 40;
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestWAVEncodingParam, 1);
  EXPECT_EQ(s.WAVBitsPerSample, 8);
  EXPECT_EQ(s.WAVSampleRate, 48000);
  EXPECT_EQ(s.WAVChannelNum, 1);
  EXPECT_EQ(s.AmplifyWav, 1);
  EXPECT_EQ(s.AmplifyWavCoeff, 40);

  m.SelectEncodingOption(opt_wav_page::kCustom);
  m.SelectChannel(opt_wav_page::kChoiceSameAsOriginal);
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestWAVEncodingParam, 0);
  EXPECT_EQ(s.WAVBitsPerSample, 16);
  EXPECT_EQ(s.WAVSampleRate, 48000);
  EXPECT_EQ(s.WAVChannelNum, 0);
}

TEST(WavPage, APresetSetsAllThreeAndAnyChangeIsCustom) {
  Model m;
  m.SelectEncodingOption(2);
  EXPECT_TRUE(m.ParametersEnabled());
  EXPECT_EQ(m.bits, 16);
  EXPECT_EQ(m.rate, 22050);
  EXPECT_EQ(m.channelChoice, opt_wav_page::kChoiceStereo);
  m.SelectRate(22050);  // the same value: still the preset
  m.SelectBits(16);
  m.SelectChannel(opt_wav_page::kChoiceStereo);
  EXPECT_EQ(m.encodingOption, 2);
  m.SelectRate(96000);
  EXPECT_EQ(m.encodingOption, opt_wav_page::kCustom);
  m.SelectEncodingOption(3);
  m.SelectBits(0);
  EXPECT_EQ(m.encodingOption, opt_wav_page::kCustom);
  m.SelectEncodingOption(3);
  m.SelectChannel(opt_wav_page::kChoiceMono);
  EXPECT_EQ(m.encodingOption, opt_wav_page::kCustom);
  m.SelectEncodingOption(opt_wav_page::kCustom);  // changes nothing
  EXPECT_EQ(m.bits, 16);
  EXPECT_EQ(m.rate, 32000);
  EXPECT_EQ(m.channelChoice, opt_wav_page::kChoiceMono);
  m.SelectEncodingOption(opt_wav_page::kAuto);
  EXPECT_FALSE(m.ParametersEnabled());
  m.SelectEncodingOption(9);  // no such entry
  EXPECT_EQ(m.encodingOption, opt_wav_page::kAuto);
}

TEST(WavPage, ACoefficientOutsideTheRangeKeepsThePageOnlyWhenTicked) {
  Model m;
  for (int coefficient : {9, 3001, -100, 0}) {
    m.coefficient = coefficient;
    m.amplify = false;
    EXPECT_FALSE(m.LeaveRefusal());
    m.amplify = true;
    ASSERT_TRUE(m.LeaveRefusal());
    EXPECT_EQ(*m.LeaveRefusal(), kInvalidAmplificationText);
  }
  for (int coefficient : {10, 100, 3000}) {
    m.coefficient = coefficient;
    EXPECT_FALSE(m.LeaveRefusal());
  }
}

}  // namespace
}  // namespace sonorell
