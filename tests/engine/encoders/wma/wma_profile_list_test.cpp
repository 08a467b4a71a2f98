#include "engine/encoders/wma/wma_profile_list.h"

#include <gtest/gtest.h>

#include "engine/encoders/wma/wma_options.h"

namespace sonorell {
namespace {

WmaProfileEntry Entry(int rate, int bitRate, int channels) {
  return {WmaWaveFormat{0x0161, channels, rate, 16}, bitRate};
}

WmaProfileList ListOf(std::initializer_list<WmaProfileEntry> entries) {
  WmaProfileList list;
  for (const WmaProfileEntry& e : entries) list.Insert(e);
  return list;
}

TEST(WmaProfileList, KeepsRateThenBitRateOrderDropsRepeatsAndPutsOtherChannelsFirst) {
  const WmaProfileList list =
      ListOf({Entry(44100, 128000, 2), Entry(22050, 32000, 2), Entry(44100, 64000, 2),
              Entry(44100, 128000, 2), Entry(44100, 128000, 1), Entry(8000, 5000, 1),
              Entry(48000, 96000, 2)});
  const std::vector<WmaProfileEntry> expected{Entry(8000, 5000, 1),    Entry(22050, 32000, 2),
                                              Entry(44100, 64000, 2),  Entry(44100, 128000, 1),
                                              Entry(44100, 128000, 2), Entry(48000, 96000, 2)};
  EXPECT_EQ(std::vector<WmaProfileEntry>(list.Entries().begin(), list.Entries().end()), expected);
  WmaProfileList cleared = list;
  cleared.Clear();
  EXPECT_TRUE(cleared.Empty());
}

TEST(WmaProfileList, TheAutomaticChoiceFollowsTheSourceRateAndChannels) {
  EXPECT_EQ(AutoWmaWanted(44100, 2), (WmaWanted{44100, 128000, 2}));
  EXPECT_EQ(AutoWmaWanted(22050, 1), (WmaWanted{44100, 48000, 1}));
  EXPECT_EQ(AutoWmaWanted(8000, 2), (WmaWanted{22050, 32000, 2}));
  EXPECT_EQ(AutoWmaWanted(12000, 1), (WmaWanted{22050, 20000, 1}));
  EXPECT_EQ(AutoWmaWanted(16000, 1), (WmaWanted{44100, 32000, 1}));
  EXPECT_EQ(AutoWmaWanted(16000, 2), (WmaWanted{44100, 48000, 2}));
  EXPECT_EQ(AutoWmaWanted(24000, 2), (WmaWanted{44100, 64000, 2}));
  EXPECT_EQ(AutoWmaWanted(32000, 2), (WmaWanted{44100, 96000, 2}));
  EXPECT_EQ(AutoWmaWanted(96000, 2), (WmaWanted{48000, 192000, 2}));
}

TEST(WmaProfileList, SelectionPrefersTheWantedRateAndTheNearerBitRate) {
  // 8000 Hz stereo source: 22050 Hz at 32 kbit/s wanted.
  const WmaWanted wanted{22050, 32000, 2};
  EXPECT_EQ(SelectProfile(ListOf({Entry(22050, 20000, 2), Entry(22050, 40000, 2)}), wanted),
            Entry(22050, 40000, 2));
  EXPECT_EQ(SelectProfile(ListOf({Entry(22050, 24000, 2), Entry(22050, 40000, 2)}), wanted),
            Entry(22050, 40000, 2))
      << "a tie goes to the higher bit rate";
  EXPECT_EQ(SelectProfile(ListOf({Entry(22050, 30000, 2), Entry(22050, 40000, 2)}), wanted),
            Entry(22050, 30000, 2));
  EXPECT_EQ(SelectProfile(ListOf({Entry(22050, 32000, 2), Entry(22050, 40000, 2)}), wanted),
            Entry(22050, 32000, 2));
  // Only the highest below the wanted rate, or the cheapest above it.
  const WmaWanted cd{44100, 128000, 2};
  EXPECT_EQ(
      SelectProfile(
          ListOf({Entry(32000, 64000, 2), Entry(48000, 96000, 2), Entry(48000, 192000, 2)}), cd),
      Entry(48000, 96000, 2));
  EXPECT_EQ(
      SelectProfile(
          ListOf({Entry(22050, 32000, 2), Entry(32000, 48000, 2), Entry(32000, 64000, 2)}), cd),
      Entry(32000, 64000, 2));
  // Below the wanted bit rate at the wanted rate, with nothing above it.
  EXPECT_EQ(SelectProfile(ListOf({Entry(44100, 64000, 2), Entry(44100, 96000, 2)}), cd),
            Entry(44100, 96000, 2));
  // Other channel counts never count.
  EXPECT_FALSE(SelectProfile(ListOf({Entry(44100, 128000, 1)}), cd));
  EXPECT_FALSE(SelectProfile(WmaProfileList(), cd));
  EXPECT_EQ(SelectProfile(ListOf({Entry(44100, 128000, 1), Entry(44100, 160000, 2)}), cd),
            Entry(44100, 160000, 2));
}

TEST(WmaPage, EntriesTextsSelectionAndWhatOkStores) {
  const WmaProfileList list = ListOf({Entry(8000, 800, 1), Entry(22050, 20000, 1),
                                      Entry(44100, 128000, 2), Entry(44100, 160030, 2)});
  const auto entries = opt_wma_page::EncodingEntries(list);
  ASSERT_EQ(entries.size(), 3u) << "below 1000 bit/s never shows";
  EXPECT_EQ(entries[0].text, "22050 Hz, 20 kbps, Mono");
  EXPECT_EQ(entries[2].text, "44100 Hz, 160 kbps, Stereo");

  Settings s;
  opt_wma_page::Model m = opt_wma_page::Model::FromSettings(s, list);
  EXPECT_EQ(m.selected, opt_wma_page::kAutoSelected);
  s.AutoDestWMAEncodingParam = 0;
  s.WMABitRate = 160000;  // matches 160030 in whole kbps
  m = opt_wma_page::Model::FromSettings(s, list);
  EXPECT_EQ(m.selected, 3);
  m.StoreInto(s);
  EXPECT_EQ(s.WMABitRate, 160030) << "the entry's full bit rate";
  s.WMASampleRate = 48000;
  m = opt_wma_page::Model::FromSettings(s, list);
  EXPECT_EQ(m.selected, opt_wma_page::kNoneSelected);
  m.StoreInto(s);
  EXPECT_EQ(s.AutoDestWMAEncodingParam, 1) << "nothing selected means Auto";
  EXPECT_EQ(s.WMASampleRate, 48000) << "kept while Auto";

  m.amplify = true;
  m.coefficient = 5;
  EXPECT_EQ(m.LeaveRefusal(), "Invalid amplification coefficient. It's betwen 10 and 3000.");
  m.tagChoice = 0;
  EXPECT_TRUE(m.EditTagEnabled());
  // Without the runtime the list is empty: only "Auto".
  EXPECT_TRUE(opt_wma_page::Model::FromSettings(Settings(), WmaProfileList()).entries.empty());
}

}  // namespace
}  // namespace sonorell
