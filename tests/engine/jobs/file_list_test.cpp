#include "engine/jobs/file_list.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;

SourceFile File(const std::string& path, int duration = 0, int bitRate = 0, int rate = 0,
                int channels = 2) {
  SourceFile f;
  f.SourcePath = path;
  f.Duration = duration;
  f.BitRate = bitRate;
  f.SampleRate = rate;
  f.Channels = channels;
  f.InputType = kInputWav;
  return f;
}

std::vector<std::string> Column(const FileList& list, int column) {
  std::vector<std::string> texts;
  for (int i = 0; i < list.Count(); ++i) texts.push_back(list.CellText(i, column));
  return texts;
}

TEST(FileListTexts, DurationsBitRatesRatesAndChannelsAsTheListShowsThem) {
  EXPECT_EQ(DurationText(3725), "1:02:05");
  EXPECT_EQ(DurationText(59), "00:59");
  EXPECT_EQ(DurationText(3599), "59:59");
  EXPECT_EQ(DurationText(0), "");
  SourceFile mp3 = File("/a.mp3");
  mp3.InputType = kInputMp3;
  const char* modes[] = {"Stereo", "J-Stereo", "Dual Channel", "Mono", ""};
  for (int mode = 0; mode < 5; ++mode) {
    mp3.ChannelMode = mode;
    EXPECT_EQ(ChannelsText(mp3), modes[mode]) << mode;
  }
  const std::pair<int, const char*> counts[] = {{0, "Mono"}, {1, "Mono"}, {2, "Stereo"},
                                                {6, "5.1"},  {4, "4"},    {8, "8"}};
  for (const auto& [channels, text] : counts)
    EXPECT_EQ(ChannelsText(File("/a", 0, 0, 0, channels)), text);

  FileList list;
  ASSERT_TRUE(list.Add(File("/music/x/Song.flac", 3725, 912, 44100, 6)));
  EXPECT_EQ(list.CellText(0, kColumnFile), "Song.flac");
  EXPECT_EQ(list.CellText(0, kColumnDuration), "1:02:05");
  EXPECT_EQ(list.CellText(0, kColumnBitRate), "912 kbps");
  EXPECT_EQ(list.CellText(0, kColumnFreq), "44100 Hz");
  EXPECT_EQ(list.CellText(0, kColumnChannels), "5.1");
  EXPECT_EQ(list.CellText(0, kColumnStatus), "");
  list.SetStatus(0, "Song.mp3");
  EXPECT_EQ(list.CellText(0, kColumnStatus), "Song.mp3");
  ASSERT_TRUE(list.Add(File("/music/y")));
  EXPECT_EQ(list.CellText(1, kColumnBitRate), "");
  EXPECT_EQ(list.CellText(1, kColumnFreq), "");
  EXPECT_EQ(std::string(ColumnInfo(kColumnStatus).header), "Status");
  EXPECT_EQ(ColumnInfo(kColumnStatus).width, 145);
  EXPECT_TRUE(ColumnInfo(kColumnDuration).rightAligned);
}

TEST(FileListPaths, OneRowPerFileHoweverItsPathIsSpelled) {
  TempFolder dir;
  WriteFileBytes(dir / "a.wav", "x");
  WriteFileBytes(dir / "A.wav", "y");  // another file on a case-sensitive system
  std::filesystem::create_directories(dir / "sub");
  std::filesystem::create_symlink(dir / "a.wav", dir / "link.wav");
  std::filesystem::create_hard_link(dir / "a.wav", dir / "hard.wav");
  FileList list;
  EXPECT_TRUE(list.Add(File(dir / "a.wav")));
  EXPECT_FALSE(list.Add(File(dir.path() + "/./sub/../a.wav")));
  EXPECT_FALSE(list.Add(File(dir / "link.wav")));
  EXPECT_FALSE(list.Add(File(dir / "hard.wav")));
  EXPECT_TRUE(list.Add(File(dir / "A.wav")));
  EXPECT_TRUE(list.Contains(dir / "link.wav"));
  EXPECT_EQ(list.Count(), 2);
  list.Remove({0, 0, 7});
  EXPECT_EQ(list.Count(), 1);
  EXPECT_FALSE(list.Contains(dir / "a.wav"));
  EXPECT_TRUE(list.Add(File(dir / "a.wav"))) << "listed again after its removal";
  list.Clear();
  EXPECT_TRUE(list.Empty());
  EXPECT_FALSE(list.Contains(dir / "A.wav"));
}

TEST(FileListSorting, EachColumnByItsTypeAndASecondClickReverses) {
  FileList list;
  list.Add(File("/b.wav", 65, 320, 48000));
  list.Add(File("/a.wav", 0, 0, 8000));
  list.Add(File("/c.wav", 5, 128, 44100));
  list.SetStatus(0, "first");
  list.SortBy(kColumnBitRate);
  EXPECT_EQ(Column(list, kColumnBitRate), (std::vector<std::string>{"", "128 kbps", "320 kbps"}));
  EXPECT_EQ(list.CellText(2, kColumnStatus), "first") << "the status moves with its row";
  list.SortBy(kColumnBitRate);
  EXPECT_FALSE(list.SortAscending());
  EXPECT_EQ(Column(list, kColumnBitRate), (std::vector<std::string>{"320 kbps", "128 kbps", ""}));
  list.SortBy(kColumnFile);
  EXPECT_TRUE(list.SortAscending());
  EXPECT_EQ(Column(list, kColumnFile), (std::vector<std::string>{"a.wav", "b.wav", "c.wav"}));
  list.SortBy(kColumnDuration);
  // A blank duration has no colon and counts as equal to every other: the rest keep order.
  EXPECT_EQ(CompareCells(kColumnDuration, "01:05", "00:05"), 1);
  EXPECT_EQ(CompareCells(kColumnDuration, "", "00:05"), 0);
  EXPECT_EQ(CompareCells(kColumnFreq, "8000 Hz", "44100 Hz"), -1);
}

TEST(FileListSorting, ManyRowsWithAnInconsistentOrderStayInBounds) {
  FileList list;
  for (int i = 0; i < 3000; ++i) {
    list.Add(File("/f" + std::to_string(i) + ".wav", (i * 7919) % 5000, 0, 0));
  }
  list.SortBy(kColumnDuration);
  list.SortBy(kColumnDuration);
  EXPECT_EQ(list.Count(), 3000);
}

}  // namespace
}  // namespace sonorell
