#include "engine/jobs/conversion_job.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "engine/jobs/output_formats.h"
#include "engine/sources/failure_note.h"
#include "tests/support/recording_host.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_encoder.h"

namespace sonorell {
namespace {

using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

class ConversionRun : public ::testing::Test {
 protected:
  ConversionRun() {
    settings.OutputFormat = kOutputWav;
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = out.path();
    settings.OutputFiles2MyDocuments = 0;
    settings.BrowseOutputFolder = 0;
    plan.shape.frames = 20000;
    services = DefaultRunServices();
    services.wmRuntimeLoaded = [] { return false; };
    services.loadWmRuntime = [] { return false; };
    services.loadDefaultSoundFont = [](const std::string&) { return false; };
    services.programFolder = "/opt/sonorell/";
    // An installed program's folder is not the user's: the font is asked for in their own.
    services.soundFontFolder = in / "data/sonorell/";
  }

  void AddSource(const std::string& name, InputTypeCode type = kInputWav) {
    const std::string path = in / name;
    WriteFileBytes(path, "source bytes of " + name);
    SourceFile f;
    f.SourcePath = path;
    f.InputType = type;
    files.push_back(f);
  }

  void Run() {
    services.encoderFor = [this](int) { return MakeTestEncoder(plan, log); };
    std::vector<SourceFile*> entries;
    std::vector<int> rows;
    for (size_t i = 0; i < files.size(); ++i) {
      entries.push_back(&files[i]);
      rows.push_back(static_cast<int>(10 + i));  // list rows need not be the entry indices
    }
    ConvertFiles(entries, rows, settings, state, host, services);
  }

  std::string Status(size_t entry) { return host.status[static_cast<int>(10 + entry)]; }

  TempFolder in;
  TempFolder out;
  Settings settings;
  RunState state;
  testing::RecordingHost host;
  testing::TestEncoderPlan plan;
  testing::TestEncoderLog log;
  RunServices services;
  std::vector<SourceFile> files;
};

TEST_F(ConversionRun, EveryRowShowsItsOutputNameAndTheOutputHoldsTheWholeSource) {
  AddSource("a.wav");
  AddSource("Ünïcødé song.wav");
  AddSource("c.flac", kInputFlac);
  Run();

  EXPECT_EQ(Status(0), "a.wav");
  EXPECT_EQ(Status(1), "Ünïcødé song.wav");
  EXPECT_EQ(Status(2), "c.wav");
  for (const SourceFile& f : files) {
    ASSERT_FALSE(f.TargetPath.empty());
    EXPECT_EQ(std::filesystem::file_size(f.TargetPath), 20000u * 4);
  }
  EXPECT_EQ(testing::ListFolder(out.path()), "a.wav\nc.wav\nÜnïcødé song.wav\n");
  EXPECT_EQ(log.runFileNumbers, (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(host.progress.overallLines.front(), "Converting 1 of 3 file(s) to WAV...");
  EXPECT_EQ(host.progress.overallLines.back(), "Converting 3 of 3 file(s) to WAV...");
  EXPECT_EQ(host.progress.overallRange, 3);
  EXPECT_EQ(host.progress.overallSteps, 3);
  EXPECT_EQ(host.progressWindowsOpened, 1);
  EXPECT_EQ(host.progressWindowsClosed, 1);
  EXPECT_EQ(host.enabledCalls, (std::vector<bool>{false, true}));
  EXPECT_EQ(host.waitCursorCalls, (std::vector<bool>{true, false}));
  // Each row says "Converting..." while it works.
  EXPECT_EQ(host.statusHistory.front(), (std::pair<int, std::string>{10, "Converting..."}));
}

TEST_F(ConversionRun, FileLineIsRewrittenOnlyWhenThePercentGrows) {
  plan.shape.frames = 1152 * 300 + 17;
  plan.shape.blockFrames = 1000;  // short blocks are not the end
  AddSource("long.wav");
  Run();

  const auto& lines = host.progress.fileLines;
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.front(), "Converting long.wav...");
  EXPECT_EQ(lines.back(), "Converting long.wav...100%");
  EXPECT_LE(lines.size(), 102u);
  int last = 0;
  for (size_t i = 1; i < lines.size(); ++i) {
    const int percent = std::stoi(lines[i].substr(std::string("Converting long.wav...").size()));
    EXPECT_GT(percent, last);
    last = percent;
  }
  EXPECT_EQ(host.progress.fileBarRange, 200);
  int lastBar = -1;
  for (int pos : host.progress.fileBarPositions) {
    EXPECT_LE(pos, 200);
    if (pos != 0) {
      EXPECT_GT(pos, lastBar);
    }
    lastBar = pos;
  }
  EXPECT_EQ(host.progress.fileBarPositions.back(), 200);
  EXPECT_EQ(std::filesystem::file_size(files[0].TargetPath), (1152u * 300 + 17) * 4);
}

TEST_F(ConversionRun, EncoderFailingHalfWayLeavesNoOutputAndTheSourceUntouched) {
  plan.failAfterBlocks = 5;
  AddSource("a.wav");
  const std::string before = ReadFileBytes(files[0].SourcePath);
  Run();

  EXPECT_EQ(Status(0), "Conversion Failure");
  EXPECT_TRUE(files[0].TargetPath.empty());
  EXPECT_EQ(testing::ListFolder(out.path()), "");
  EXPECT_EQ(ReadFileBytes(files[0].SourcePath), before);
}

TEST_F(ConversionRun, FailedOverwriteKeepsTheUsersOldTarget) {
  settings.TargetExistsOpt = kTargetExistsOverwrite;
  WriteFileBytes(out / "a.wav", "the user's earlier conversion");
  plan.failAfterBlocks = 3;
  AddSource("a.wav");
  Run();

  EXPECT_EQ(Status(0), "Conversion Failure");
  EXPECT_EQ(ReadFileBytes(out / "a.wav"), "the user's earlier conversion");
  EXPECT_EQ(testing::ListFolder(out.path()), "a.wav\n");
}

TEST_F(ConversionRun, SuccessfulOverwriteReplacesTheOldTarget) {
  settings.TargetExistsOpt = kTargetExistsOverwrite;
  WriteFileBytes(out / "a.wav", "old");
  AddSource("a.wav");
  Run();

  EXPECT_EQ(Status(0), "a.wav");
  EXPECT_EQ(std::filesystem::file_size(out / "a.wav"), 20000u * 4);
}

TEST_F(ConversionRun, CancelDuringTheThirdOfFiveFiles) {
  for (const char* name : {"1.wav", "2.wav", "3.wav", "4.wav", "5.wav"}) AddSource(name);
  host.status[13] = "earlier text 4";
  host.status[14] = "earlier text 5";
  settings.BrowseOutputFolder = 1;
  host.progress.onPump = [this](testing::RecordingProgress& p) {
    if (log.sources.size() == 3 && p.fileLines.size() > 1 &&
        p.fileLines.back().find("3.wav...") != std::string::npos &&
        p.fileLines.back() != "Converting 3.wav...") {
      p.cancel = true;
    }
  };
  Run();

  EXPECT_EQ(Status(0), "1.wav");
  EXPECT_EQ(Status(1), "2.wav");
  EXPECT_EQ(Status(2), "Cancelled");
  EXPECT_EQ(Status(3), "earlier text 4");
  EXPECT_EQ(Status(4), "earlier text 5");
  EXPECT_TRUE(host.selected.empty());
  EXPECT_EQ(testing::ListFolder(out.path()), "1.wav\n2.wav\n");
  EXPECT_EQ(log.sources.size(), 3u);
}

TEST_F(ConversionRun, CancelTooLateToStopTheCurrentFileKeepsIt) {
  AddSource("1.wav");
  AddSource("2.wav");
  settings.BrowseOutputFolder = 1;
  // Cancel arrives with the pump that follows the finished row.
  host.progress.onPump = [this](testing::RecordingProgress& p) {
    if (host.status[10] == "1.wav") p.cancel = true;
  };
  Run();

  EXPECT_EQ(Status(0), "1.wav");
  EXPECT_FALSE(files[0].TargetPath.empty());
  EXPECT_EQ(host.status.count(11), 0u);
  EXPECT_TRUE(host.selected.empty());
  EXPECT_EQ(log.sources.size(), 1u);
}

TEST_F(ConversionRun, FailureNoteIsShownAndWidensTheStatusColumnOnce) {
  plan.failToOpenSource = true;
  plan.failureNote = "no decoder takes this file";
  AddSource("x.xyz", kInputOther);
  AddSource("y.xyz", kInputOther);
  Run();

  EXPECT_EQ(Status(0), "Conversion Failure (no decoder takes this file)");
  EXPECT_EQ(Status(1), "Conversion Failure (no decoder takes this file)");
  EXPECT_EQ(host.columnWidths, (std::vector<int>{500}));
  EXPECT_EQ(state.StatusColumnWidth, 500);
}

TEST_F(ConversionRun, NoteOfAnEarlierFileDoesNotFollowTheNextOne) {
  SetFailureNote("stale");
  plan.failAfterBlocks = 0;
  AddSource("a.wav");
  Run();
  EXPECT_EQ(Status(0), "Conversion Failure");
}

TEST_F(ConversionRun, SuccessWithAnEmptyFileIsAFailure) {
  plan.succeedEmpty = true;
  AddSource("a.wav");
  Run();
  EXPECT_EQ(Status(0), "Conversion Failure");
  EXPECT_TRUE(files[0].TargetPath.empty());
}

TEST_F(ConversionRun, FormatWithoutEncoderFailsHonestly) {
  settings.OutputFormat = kOutputMp3;
  AddSource("a.wav");
  services.encoderFor = [](int) { return EncoderFunction(); };
  std::vector<SourceFile*> entries{&files[0]};
  std::vector<int> rows{0};
  ConvertFiles(entries, rows, settings, state, host, services);
  EXPECT_EQ(host.status[0].rfind("Conversion Failure", 0), 0u);
  EXPECT_EQ(testing::ListFolder(out.path()), "");
}

TEST_F(ConversionRun, MidiWithoutSoundFontAnsweredNoFailsOnlyTheMidiRows) {
  AddSource("a.wav");
  AddSource("song.mid", kInputMidi);
  AddSource("c.wav");
  host.answerYes = false;
  Run();

  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_NE(host.questions[0].find("\"" + services.soundFontFolder + "\""), std::string::npos);
  EXPECT_EQ(Status(0), "a.wav");
  EXPECT_EQ(Status(1), "Failure. Requires file \"ct4mgm.sf2\".");
  EXPECT_EQ(Status(2), "c.wav");
  EXPECT_EQ(log.runFileNumbers, (std::vector<int>{1, 3}));
}

TEST_F(ConversionRun, MidiWithoutSoundFontAnsweredYesEndsTheRunBeforeItStarts) {
  AddSource("song.mid", kInputMidi);
  AddSource("a.wav");
  host.answerYes = true;
  std::string fontTried;
  services.loadDefaultSoundFont = [&](const std::string& path) {
    fontTried = path;
    return false;
  };
  Run();

  EXPECT_EQ(fontTried, "/opt/sonorell/ct4mgm.sf2");
  EXPECT_EQ(host.opened.size(), 2u);
  EXPECT_EQ(host.opened[0], services.soundFontFolder);
  EXPECT_TRUE(std::filesystem::is_directory(services.soundFontFolder));  // made to be opened
  EXPECT_TRUE(host.status.empty());
  EXPECT_EQ(host.progressWindowsOpened, 0);
}

TEST_F(ConversionRun, SoundFontLoadedOnceStaysReady) {
  AddSource("song.mid", kInputMidi);
  int loads = 0;
  services.loadDefaultSoundFont = [&](const std::string&) { return ++loads > 0; };
  Run();
  Run();
  EXPECT_EQ(loads, 1);
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(Status(0).substr(0, 4), "song");
}

// What a Yes to either question opens is a page of the help beside the program, a plain
// file every opener shows (a "#section" after a file name names no file).
TEST(RunServices, TheQuestionsOpenHelpPagesThatAreThere) {
  const RunServices services = DefaultRunServices();
  for (const std::string& page : {services.wmRuntimeHelpAddress, services.soundFontHelpAddress}) {
    EXPECT_EQ(page.rfind(services.programFolder, 0), 0u) << page;
    EXPECT_TRUE(std::filesystem::is_regular_file(page)) << page;
  }
  EXPECT_NE(testing::ReadFileBytes(services.soundFontHelpAddress).find("ct4mgm.sf2"),
            std::string::npos);
}

TEST_F(ConversionRun, WmaWithoutTheRuntimeAsksAndChangesNothing) {
  settings.OutputFormat = kOutputWma;
  AddSource("a.wav");
  host.status[10] = "as before";
  Run();

  ASSERT_EQ(host.questions.size(), 1u);
  EXPECT_EQ(host.questions[0], kWmRuntimeQuestion);
  EXPECT_EQ(Status(0), "as before");
  EXPECT_EQ(host.progressWindowsOpened, 0);
  EXPECT_TRUE(log.sources.empty());
}

TEST_F(ConversionRun, WmaRuntimeLoadedOnceIsNotCheckedAgain) {
  settings.OutputFormat = kOutputWma;
  bool loaded = false;
  int loads = 0;
  int fills = 0;
  services.wmRuntimeLoaded = [&] { return loaded; };
  services.loadWmRuntime = [&] { return loaded = (++loads > 0); };
  services.fillWmaProfileList = [&] { ++fills; };
  AddSource("a.wav");
  Run();
  Run();
  EXPECT_EQ(loads, 1);
  EXPECT_EQ(fills, 1);
  EXPECT_TRUE(host.questions.empty());
  EXPECT_EQ(Status(0).substr(0, 1), "a");
}

TEST_F(ConversionRun, FileBrowserShowsTheFirstOutputAfterFailedRows) {
  settings.BrowseOutputFolder = 1;
  AddSource("bad1.mid", kInputMidi);
  AddSource("bad2.mid", kInputMidi);
  AddSource("good.wav");
  Run();
  ASSERT_EQ(host.selected.size(), 1u);
  EXPECT_EQ(host.selected[0], out / "good.wav");
}

TEST_F(ConversionRun, FileBrowserStaysClosedWhenEveryRowFailed) {
  settings.BrowseOutputFolder = 1;
  plan.failAfterBlocks = 1;
  AddSource("a.wav");
  AddSource("b.wav");
  Run();
  EXPECT_TRUE(host.selected.empty());
}

TEST_F(ConversionRun, SkippedFirstRowDoesNotStopTheRun) {
  settings.TargetExistsOpt = kTargetExistsSkip;
  WriteFileBytes(out / "a.wav", "already there");
  AddSource("a.wav");
  AddSource("b.wav");
  Run();
  EXPECT_EQ(Status(0), "Target exists and skipped");
  EXPECT_EQ(Status(1), "b.wav");
  EXPECT_EQ(ReadFileBytes(out / "a.wav"), "already there");
}

TEST_F(ConversionRun, RefusedFolderNamesTheFolder) {
  settings.DestSpecifiedFolder = in / "a.wav";  // a file, not a folder
  AddSource("a.wav");
  Run();
  EXPECT_EQ(Status(0), "Failed to create folder \"" + (in / "a.wav") + "\"");
}

TEST_F(ConversionRun, TargetPathOfAnEarlierRunIsReplacedOrCleared) {
  AddSource("a.wav");
  files[0].TargetPath = "/stale/path.wav";
  plan.failAfterBlocks = 0;
  Run();
  EXPECT_TRUE(files[0].TargetPath.empty());
}

// The eleven designed entries, then the formats added since, each with its encoder.
TEST(OutputFormatTable, BoxListsItsEntriesInOrderWithTheirTexts) {
  const auto table = OutputFormatTable();
  ASSERT_EQ(table.size(), 13u);
  std::vector<std::string> texts;
  for (const auto& row : table) texts.push_back(OutputFormatItemText(row));
  EXPECT_EQ(texts, (std::vector<std::string>{" to MP3", " to WAV", " to WMA", " to OGG", " to AAC",
                                             " to AAC for iPod / iTunes", " to MP4 (Audio only)",
                                             " to M4A (MPEG-4 Audio)", " to M4B (MPEG-4 Audiobook)",
                                             " to AMR", " to AWB", " to FLAC", " to Opus"}));
  EXPECT_EQ(table[5].code, table[7].code);
  EXPECT_EQ(FormatName(kOutputAwb), "AWB");
  EXPECT_EQ(FormatName(1234), "");
  EXPECT_EQ(EncoderFor(1234), nullptr);
  EXPECT_EQ(OutputFormatForExtension("M4B"), kOutputM4b);
  EXPECT_EQ(OutputFormatForExtension("FLAC"), kOutputFlac);
  EXPECT_EQ(OutputFormatForExtension("opus"), kOutputOpus);
  EXPECT_EQ(OutputFormatForExtension("ape"), -1);
  for (const auto& row : table) EXPECT_NE(EncoderFor(row.code), nullptr) << row.extension;
}

}  // namespace
}  // namespace sonorell
