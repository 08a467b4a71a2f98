#include "engine/encoders/aac/aac_options.h"

#include <gtest/gtest.h>

#include "engine/encoders/aac/aac_encoding_options.h"

namespace sonorell {
namespace {

using opt_aac_page::Family;
using opt_aac_page::Model;

platform::faacEncConfiguration Applied(const AacEncodingOptions& o, int channels) {
  platform::faacEncConfiguration c;
  c.shortctl = platform::SHORTCTL_NORMAL;
  ApplyAacOptions(o, channels, c);
  return c;
}

TEST(AacEncodingOptions, AbrIsPerChannelVbrQualityOnlyInRangeAutoChangesNothing) {
  AacEncodingOptions o;
  o.automatic = false;
  o.vbr = false;
  o.abrKbps = 128;
  EXPECT_EQ(Applied(o, 2).bitRate, 64000u);
  EXPECT_EQ(Applied(o, 1).bitRate, 128000u);
  o.abrKbps = 0;  // "Same as original file": FAAC's quality mode
  EXPECT_EQ(Applied(o, 2).bitRate, 0u);
  o.abrKbps = 96;
  EXPECT_EQ(Applied(o, 2).bitRate, 48000u);

  o.vbr = true;
  for (const auto& [stored, applied] : {std::pair{9, 100}, {10, 10}, {500, 500}, {501, 100}}) {
    o.vbrQuality = stored;
    EXPECT_EQ(Applied(o, 2).quantqual, static_cast<unsigned long>(applied)) << stored;
  }
  o.tns = true;
  o.midside = false;
  o.blockType = 1;
  o.mpegVersion = 1;
  const platform::faacEncConfiguration c = Applied(o, 2);
  EXPECT_EQ(c.useTns, 1u);
  EXPECT_EQ(c.allowMidside, 0u);
  EXPECT_EQ(c.shortctl, platform::SHORTCTL_NORMAL)
      << "the encoder cannot forbid short blocks: both kinds are applied";
  EXPECT_EQ(c.mpegVersion, platform::MPEG2);

  o.automatic = true;
  const platform::faacEncConfiguration untouched = Applied(o, 2);
  EXPECT_EQ(untouched.useTns, platform::faacEncConfiguration{}.useTns);
  EXPECT_EQ(untouched.shortctl, platform::SHORTCTL_NORMAL);
  EXPECT_EQ(untouched.mpegVersion, platform::MPEG4);
}

TEST(AacEncodingOptions, Mp4IsAlwaysMpeg4AndEachFamilyReadsItsOwnSettings) {
  Settings s;
  s.AACMpegVersion = 1;
  s.AACABRBitRate = 96;
  s.M4AABRBitRate = 192;
  s.AmplifyAACCoef = 120;
  s.AmplifyM4ACoef = 80;
  EXPECT_EQ(RawAacOptions(s).mpegVersion, 1);
  EXPECT_EQ(Mp4AacOptions(s).mpegVersion, 0);
  EXPECT_EQ(RawAacOptions(s).abrKbps, 96);
  EXPECT_EQ(Mp4AacOptions(s).abrKbps, 192);
  EXPECT_EQ(RawAacOptions(s).coefficient, 120);
  EXPECT_EQ(Mp4AacOptions(s).coefficient, 80);
}

TEST(AacPage, BitRateListSelectionAndEnablingFollowTheChoices) {
  const auto entries = opt_aac_page::BitrateEntries();
  ASSERT_EQ(entries.size(), 18u);
  EXPECT_EQ(entries.front().text, "16 kbps");
  EXPECT_EQ(entries[10].text, "128 kbps");
  EXPECT_EQ(entries.back().text, "Same as original file");
  EXPECT_EQ(entries.back().value, 0);

  Settings s;
  s.AACABRBitRate = 100;  // not listed: the first entry
  Model m = Model::FromSettings(s, Family::kRawAac);
  EXPECT_EQ(m.bitrate, 16);
  EXPECT_TRUE(m.automatic);
  EXPECT_FALSE(m.ParametersEnabled());
  EXPECT_FALSE(m.BitrateEnabled());
  EXPECT_FALSE(m.QualityEnabled());
  m.automatic = false;
  EXPECT_TRUE(m.QualityEnabled());  // VBR by default
  EXPECT_FALSE(m.BitrateEnabled());
  m.mode = opt_aac_page::kModeAbr;
  EXPECT_TRUE(m.BitrateEnabled());
  EXPECT_FALSE(m.QualityEnabled());
  EXPECT_TRUE(m.MpegVersionShown());
  EXPECT_FALSE(m.TagControlsShown());

  Model mp4 = Model::FromSettings(s, Family::kMp4);
  EXPECT_FALSE(mp4.MpegVersionShown());
  mp4.tagChoice = 1;
  EXPECT_FALSE(mp4.EditTagEnabled());
  mp4.tagChoice = 0;
  EXPECT_TRUE(mp4.EditTagEnabled());
}

TEST(AacPage, OkStoresEncodingChoicesOnlyWithoutAutoAndGainAndTagsAlways) {
  Settings s;
  Model m = Model::FromSettings(s, Family::kMp4);
  m.mode = opt_aac_page::kModeAbr;
  m.bitrate = 256;
  m.tns = true;
  m.amplify = true;
  m.coefficient = 150;
  m.tagChoice = 0;
  m.tags.Title = "x";
  m.StoreInto(s);  // still Auto
  EXPECT_EQ(s.M4AVBR, 1);
  EXPECT_EQ(s.M4AABRBitRate, 128);
  EXPECT_EQ(s.M4AEnableTNS, 0);
  EXPECT_EQ(s.AmplifyM4A, 1);
  EXPECT_EQ(s.AmplifyM4ACoef, 150);
  EXPECT_EQ(s.M4AID3TagType, 0);
  EXPECT_EQ(s.M4aTags.Title, "x");

  m.automatic = false;
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestM4AEncodingParam, 0);
  EXPECT_EQ(s.M4AVBR, 0);
  EXPECT_EQ(s.M4AABRBitRate, 256);
  EXPECT_EQ(s.M4AEnableTNS, 1);
  EXPECT_EQ(s.AACABRBitRate, 128) << "the raw AAC settings are not the MP4 page's";

  Model raw = Model::FromSettings(s, Family::kRawAac);
  raw.automatic = false;
  raw.mpegVersion = 1;
  raw.blockType = 2;
  raw.StoreInto(s);
  EXPECT_EQ(s.AACMpegVersion, 1);
  EXPECT_EQ(s.AACBlockType, 2);
  EXPECT_EQ(s.M4ABlockType, 0);
}

TEST(AacPage, ResetAndLeavingThePage) {
  Model m;
  m.automatic = false;
  m.mode = opt_aac_page::kModeVbr;
  m.quality = 9;
  m.bitrate = 320;
  m.amplify = true;
  m.coefficient = 3001;
  const auto refusal = m.LeaveRefusal();
  ASSERT_TRUE(refusal);
  EXPECT_EQ(refusal->text, "Invalid quality value. It's betwen 10 and 500.");
  EXPECT_EQ(refusal->field, opt_aac_page::RefusedField::kQuality);
  m.quality = 500;
  ASSERT_TRUE(m.LeaveRefusal());
  EXPECT_EQ(m.LeaveRefusal()->text, "Invalid amplification coefficient. It's betwen 10 and 3000.");
  EXPECT_EQ(m.LeaveRefusal()->field, opt_aac_page::RefusedField::kCoefficient);
  m.mode = opt_aac_page::kModeAbr;
  m.quality = 9;  // not checked in ABR mode
  m.coefficient = 10;
  EXPECT_FALSE(m.LeaveRefusal());

  m.Reset();
  EXPECT_TRUE(m.automatic);
  EXPECT_EQ(m.mode, opt_aac_page::kModeVbr);
  EXPECT_EQ(m.quality, 100);
  EXPECT_EQ(m.bitrate, 128);
  EXPECT_TRUE(m.amplify) << "gain is not reset";
  EXPECT_EQ(m.coefficient, 10);
}

}  // namespace
}  // namespace sonorell
