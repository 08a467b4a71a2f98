#include "engine/jobs/file_intake.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/jobs/folder_search.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::SamplePath;
using testing::TempFolder;
using testing::WriteFileBytes;

struct RecordingIntakeHost : IntakeHost {
  void SetMainWindowEnabled(bool enabled) override { enabledStates.push_back(enabled); }
  void RowAdded(int row) override { rows.push_back(row); }
  void ShowWarning(const std::string& text) override { warnings.push_back(text); }
  std::vector<bool> enabledStates;
  std::vector<int> rows;
  std::vector<std::string> warnings;
};

struct RecordingIntakeProgress : IntakeProgress {
  void SetLine(const std::string& text) override { lines.push_back(text); }
  void SetBarRange(int maximum) override { range = maximum; }
  void StepBar() override { ++steps; }
  void PumpMessages() override {
    ++pumps;
    if (cancelAfterPumps > 0 && pumps >= cancelAfterPumps) cancel = true;
  }
  bool CancelRequested() const override { return cancel; }
  std::vector<std::string> lines;
  int range = -1;
  int steps = 0;
  int pumps = 0;
  int cancelAfterPumps = 0;
  bool cancel = false;
};

TEST(FileIntake, SamplesAreProbedAndTheirRowsShowWhatFfprobeReports) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  SONORELL_REQUIRE_TOOL("ffprobe");
  FileList list;
  RecordingIntakeHost host;
  RecordingIntakeProgress progress;
  const std::vector<std::string> paths{SamplePath("chord.flac"), SamplePath("speech-mono-48k.wav"),
                                       SamplePath("chord.mp3"), SamplePath("chord.flac")};
  EXPECT_EQ(LoadFileList(list, paths, progress, host), 3);
  EXPECT_EQ(list.Count(), 3) << "the repeated path is skipped";
  EXPECT_EQ(host.rows, (std::vector<int>{0, 1, 2}));
  EXPECT_TRUE(host.warnings.empty());
  EXPECT_EQ(host.enabledStates, (std::vector<bool>{false, true}));
  EXPECT_EQ(progress.range, 4);
  EXPECT_EQ(progress.steps, 4);
  EXPECT_EQ(progress.lines.back(), "Adding file 4 of 4...");
  for (int row = 0; row < list.Count(); ++row) {
    const std::string path = list.Entry(row).SourcePath;
    const auto probe = testing::CommandOutput(
        "ffprobe -v error -select_streams a:0 -show_entries "
        "stream=sample_rate,channels:format=duration "
        "-of csv=p=0 " +
        testing::ShellQuote(path));
    ASSERT_TRUE(probe);
    const int rate = std::stoi(*probe);
    EXPECT_EQ(list.CellText(row, kColumnFreq), std::to_string(rate) + " Hz") << path;
    const double seconds = std::stod(probe->substr(probe->find('\n') + 1));
    EXPECT_EQ(list.CellText(row, kColumnDuration), DurationText(static_cast<int>(seconds))) << path;
  }
  EXPECT_EQ(list.CellText(1, kColumnChannels), "Mono");
  EXPECT_FALSE(list.CellText(2, kColumnChannels).empty()) << "an MP3 channel mode";
}

TEST(FileIntake, FailuresAreNamedThirtyAtMostWithTheNoteOrTheSupportLine) {
  TempFolder dir;
  std::vector<std::string> paths;
  for (int i = 0; i < 40; ++i) {
    paths.push_back(dir / ("junk" + std::to_string(i) + ".bin"));
    WriteFileBytes(paths.back(), std::string(300, static_cast<char>(i * 37)));
  }
  FileList list;
  RecordingIntakeHost host;
  RecordingIntakeProgress progress;
  EXPECT_EQ(LoadFileList(list, paths, progress, host), 0);
  ASSERT_EQ(host.warnings.size(), 1u);
  const std::string& m = host.warnings[0];
  EXPECT_EQ(m.rfind("Failed to load the following files.\n\n", 0), 0u);
  EXPECT_NE(m.find(paths[29] + "\n"), std::string::npos);
  EXPECT_EQ(m.find(paths[30]), std::string::npos);
  EXPECT_NE(m.find(paths[29] + "\n<more files>...\n\n" + kSupportLine), std::string::npos);

  WriteFileBytes(dir / "Track01.cda", std::string("RIFF\x24\0\0\0", 8) + "CDDAfmt ");
  host.warnings.clear();
  LoadFileList(list, {dir / "Track01.cda"}, progress, host);
  ASSERT_EQ(host.warnings.size(), 1u);
  EXPECT_NE(host.warnings[0].find(kCdAudioNote), std::string::npos);
}

TEST(FileIntake, CancelStopsAfterTheCurrentFileAndKeepsWhatWasAdded) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  FileList list;
  RecordingIntakeHost host;
  RecordingIntakeProgress progress;
  progress.cancelAfterPumps = 3;  // the first pump, then two files
  const std::vector<std::string> paths{SamplePath("chord.flac"), SamplePath("chord.mp3"),
                                       SamplePath("chord-16bit.wav"), SamplePath("chord.aiff")};
  EXPECT_EQ(LoadFileList(list, paths, progress, host), 2);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_EQ(host.enabledStates.back(), true);
}

// The duplicate check looks at the listed files as they are when it asks: links to a listed
// file keep out, but a listed file that was deleted keeps out no other file, even one that
// took over its inode.
TEST(FileIntake, ADeletedListedFileKeepsOutNoFileThatTookOverItsInode) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder dir;
  const auto tone = [](const std::string& path, int rate, int channels, int seconds) {
    return testing::CommandOutput("sox -n -r " + std::to_string(rate) + " -c " +
                                  std::to_string(channels) + " -b 16 " + testing::ShellQuote(path) +
                                  " synth " + std::to_string(seconds) + " sine 440")
        .has_value();
  };
  const auto inodeOf = [](const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_ino : ino_t{0};
  };
  FileList list;
  RecordingIntakeHost host;
  RecordingIntakeProgress progress;
  const auto load = [&](const std::vector<std::string>& paths) {
    return LoadFileList(list, paths, progress, host);
  };

  ASSERT_TRUE(tone(dir / "first.wav", 44100, 2, 1));
  std::filesystem::create_hard_link(dir / "first.wav", dir / "later.wav");
  std::filesystem::create_symlink(dir / "first.wav", dir / "shortcut.wav");
  EXPECT_EQ(load({dir / "first.wav"}), 1);
  EXPECT_EQ(load({dir / "later.wav", dir / "shortcut.wav"}), 0) << "the listed file itself";
  EXPECT_EQ(list.Count(), 1);

  // The listed file is deleted; its inode then holds another sound under another name.
  const ino_t inode = inodeOf(dir / "first.wav");
  std::filesystem::remove(dir / "first.wav");
  ASSERT_TRUE(tone(dir / "other.wav", 22050, 1, 2));
  WriteFileBytes(dir / "later.wav", testing::ReadFileBytes(dir / "other.wav"));
  ASSERT_EQ(inodeOf(dir / "later.wav"), inode);
  EXPECT_EQ(load({dir / "later.wav"}), 1);
  ASSERT_EQ(list.Count(), 2);
  EXPECT_EQ(list.CellText(1, kColumnFreq), "22050 Hz");
  EXPECT_EQ(list.CellText(1, kColumnDuration), "00:02");

  // As the file system reuses inodes itself: on ext4 a file created just after another was
  // deleted in the same folder usually gets its inode.
  ASSERT_TRUE(tone(dir / "gone.wav", 8000, 1, 1));
  EXPECT_EQ(load({dir / "gone.wav"}), 1);
  std::filesystem::remove(dir / "gone.wav");
  ASSERT_TRUE(tone(dir / "new.wav", 16000, 1, 1));
  EXPECT_EQ(load({dir / "new.wav"}), 1);
  EXPECT_EQ(list.Count(), 4);
  EXPECT_TRUE(host.warnings.empty());
}

TEST(FileIntake, DropsSearchFoldersFilterFilesAndTakeOnlyRegularOnes) {
  TempFolder dir;
  std::filesystem::create_directories(dir / "tree/sub");
  WriteFileBytes(dir / "tree/one.MP3", "x");
  WriteFileBytes(dir / "tree/sub/two.wav", "x");
  WriteFileBytes(dir / "tree/sub/notes.txt", "x");
  WriteFileBytes(dir / "tree/noextension", "x");
  ASSERT_EQ(::mkfifo((dir / "tree/pipe.mp3").c_str(), 0600), 0);
  WriteFileBytes(dir / "loose.mp3", "x");
  WriteFileBytes(dir / "loose.txt", "x");
  std::filesystem::create_symlink(dir / "loose.mp3", dir / "shortcut");
  std::filesystem::create_symlink("../loose.mp3", dir / "tree/relative-link");
  const std::vector<std::string> items{dir / "tree", dir / "loose.mp3", dir / "loose.txt",
                                       dir / "shortcut"};

  std::vector<std::string> filtered = CollectDroppedPaths(items, true, {"mp3", "wav"}, nullptr);
  std::sort(filtered.begin(), filtered.end());
  EXPECT_EQ(filtered,
            (std::vector<std::string>{dir / "loose.mp3", dir / "loose.mp3", dir / "loose.mp3",
                                      dir / "tree/one.MP3", dir / "tree/sub/two.wav"}))
      << "links are taken under their targets' paths, the FIFO never";

  const std::vector<std::string> all = CollectDroppedPaths(items, false, {}, nullptr);
  EXPECT_NE(std::find(all.begin(), all.end(), dir / "tree/noextension"), all.end());
  EXPECT_EQ(std::find(all.begin(), all.end(), dir / "tree/pipe.mp3"), all.end());
  EXPECT_NE(std::find(all.begin(), all.end(), dir / "shortcut"), all.end());

  RecordingIntakeProgress cancelled;
  cancelled.cancel = true;
  EXPECT_TRUE(CollectDroppedPaths(items, false, {}, &cancelled).empty());
}

TEST(FileIntake, LinkChainsLongerThanEightHopsAreNotFollowed) {
  TempFolder dir;
  WriteFileBytes(dir / "end.mp3", "x");
  std::string previous = "end.mp3";
  for (int i = 0; i < 10; ++i) {
    const std::string name = "link" + std::to_string(i);
    std::filesystem::create_symlink(previous, dir / name);
    previous = name;
  }
  EXPECT_EQ(ResolveLink(dir / "link0"), dir / "end.mp3");
  EXPECT_EQ(ResolveLink(dir / "link7"), dir / "end.mp3");
  EXPECT_EQ(ResolveLink(dir / "link8"), "");
  EXPECT_EQ(ResolveLink(dir / "end.mp3"), "");
  std::filesystem::create_symlink("missing", dir / "broken");
  EXPECT_EQ(ResolveLink(dir / "broken"), "");
}

TEST(FileIntake, AddFilesOffersFiftyFilterRowsAllFilesFirst) {
  const auto labels = AddFilesFilterLabels();
  ASSERT_EQ(labels.size(), 50u);
  EXPECT_STREQ(labels[0], "All Files (*.*)");
  EXPECT_STREQ(labels[49], "YUV Video Files (*.yuv)");
}

}  // namespace
}  // namespace sonorell
