#include "engine/encoders/amr/amr_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace sonorell {
namespace {

using opt_amr_page::Model;

TEST(AmrPage, TheBoxesListTheModesInOrderWithTheirTexts) {
  const std::vector<ListEntry> nb = opt_amr_page::NbModeEntries();
  EXPECT_EQ(nb, (std::vector<ListEntry>{{"4.75 kbps", 0},
                                        {"5.15kbps", 1},
                                        {"5.9 kbps", 2},
                                        {"6.7 kbps", 3},
                                        {"7.4 kbps", 4},
                                        {"7.95 kbps", 5},
                                        {"10.2 kbps", 6},
                                        {"12.2 kbps", 7}}));
  const std::vector<ListEntry> wb = opt_amr_page::WbModeEntries();
  EXPECT_EQ(wb, (std::vector<ListEntry>{{"6.60 kbps", 0},
                                        {"8.85 kbps", 1},
                                        {"12.65 kbps", 2},
                                        {"14.25 kbps", 3},
                                        {"15.85 kbps", 4},
                                        {"18.25 kbps", 5},
                                        {"19.85 kbps", 6},
                                        {"23.05 kbps", 7},
                                        {"23.85 kbps", 8}}));
}

TEST(AmrPage, OpensOnTheStartValuesOfAFreshRecord) {
  const Model m = Model::FromSettings(Settings());
  EXPECT_EQ(m.codec, opt_amr_page::kCodecNb);
  EXPECT_EQ(m.nbMode, 6);
  EXPECT_EQ(m.wbMode, 6);
  EXPECT_EQ(m.awbMode, 6);
  EXPECT_FALSE(m.amrDtx);
  EXPECT_FALSE(m.awbDtx);
  EXPECT_FALSE(m.amplify);
  EXPECT_EQ(m.coefficient, 100);
}

TEST(AmrPage, AModeNoEntryMatchesShowsAsTheFifthAndIsStoredSo) {
  Settings s;
  s.AMRMode = 8;
  s.AMRWBMode = 9;
  s.AWBMode = -1;
  Model m = Model::FromSettings(s);
  EXPECT_EQ(m.nbMode, 4);
  EXPECT_EQ(m.wbMode, 4);
  EXPECT_EQ(m.awbMode, 4);
  EXPECT_STREQ(opt_amr_page::kNbModeTexts[static_cast<size_t>(m.nbMode)], "7.4 kbps");
  EXPECT_EQ(opt_amr_page::WbModeEntries()[static_cast<size_t>(m.wbMode)].text, "15.85 kbps");
  m.StoreInto(s);
  EXPECT_EQ(s.AMRMode, 4);
  EXPECT_EQ(s.AMRWBMode, 4);
  EXPECT_EQ(s.AWBMode, 4);
  // Listed modes stay what they were, the last ones included.
  s.AMRMode = 7;
  s.AMRWBMode = 8;
  s.AWBMode = 0;
  Model::FromSettings(s).StoreInto(s);
  EXPECT_EQ(s.AMRMode, 7);
  EXPECT_EQ(s.AMRWBMode, 8);
  EXPECT_EQ(s.AWBMode, 0);
}

TEST(AmrPage, TheCodecRadiosEnableOneBoxAndTheRestStaysUsable) {
  Model m = Model::FromSettings(Settings());
  EXPECT_TRUE(m.NbModeEnabled());
  EXPECT_FALSE(m.WbModeEnabled());
  m.SelectCodec(opt_amr_page::kCodecWb);
  EXPECT_FALSE(m.NbModeEnabled());
  EXPECT_TRUE(m.WbModeEnabled());
  m.SelectCodec(5);
  EXPECT_EQ(m.codec, opt_amr_page::kCodecWb) << "no such radio";
  m.SelectCodec(opt_amr_page::kCodecNb);
  EXPECT_TRUE(m.NbModeEnabled());
  for (int codec : {0, 1}) {
    m.SelectCodec(codec);
    EXPECT_TRUE(m.AwbModeEnabled());
    EXPECT_TRUE(m.DtxEnabled());
  }
  // A stored type other than 0 is the wide-band codec, as the encoder reads it.
  Settings s;
  s.AMRType = 3;
  EXPECT_TRUE(Model::FromSettings(s).WbModeEnabled());
}

TEST(AmrPage, TheCoefficientIsUsableWithAmplifyAndCheckedOnLeaving) {
  Model m = Model::FromSettings(Settings());
  EXPECT_FALSE(m.CoefficientEnabled());
  m.coefficient = 5;
  EXPECT_FALSE(m.LeaveRefusal()) << "not checked while amplify is off";
  m.amplify = true;
  EXPECT_TRUE(m.CoefficientEnabled());
  for (int bad : {9, 3001, -100, 0}) {
    m.coefficient = bad;
    EXPECT_EQ(m.LeaveRefusal(), "Invalid amplification coefficient. It's betwen 10 and 3000.")
        << bad;
  }
  for (int good : {10, 100, 3000}) {
    m.coefficient = good;
    EXPECT_FALSE(m.LeaveRefusal()) << good;
  }
  EXPECT_EQ(kCoefficientStep, 10);
}

TEST(AmrPage, OkStoresEveryField) {
  Settings s;
  Model m = Model::FromSettings(s);
  m.SelectCodec(opt_amr_page::kCodecWb);
  m.nbMode = 0;
  m.wbMode = 8;
  m.amrDtx = true;
  m.awbMode = 2;
  m.awbDtx = true;
  m.amplify = true;
  m.coefficient = 250;
  m.StoreInto(s);
  EXPECT_EQ(s.AMRType, 1);
  EXPECT_EQ(s.AMRMode, 0);
  EXPECT_EQ(s.AMRWBMode, 8);
  EXPECT_EQ(s.AMRDTX, 1);
  EXPECT_EQ(s.AWBMode, 2);
  EXPECT_EQ(s.AWBDTX, 1);
  EXPECT_EQ(s.AmplifyAMR, 1);
  EXPECT_EQ(s.AmplifyAMRCoef, 250);
  // And reads back as it was left.
  const Model again = Model::FromSettings(s);
  EXPECT_EQ(again.codec, opt_amr_page::kCodecWb);
  EXPECT_EQ(again.wbMode, 8);
  EXPECT_TRUE(again.awbDtx);
  EXPECT_EQ(again.coefficient, 250);
}

}  // namespace
}  // namespace sonorell
