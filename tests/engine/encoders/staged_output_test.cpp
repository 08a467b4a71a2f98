#include "engine/encoders/staged_output.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <algorithm>

#include <filesystem>

#include "engine/encoders/part_files.h"

#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

using testing::ListFolder;
using testing::ReadFileBytes;
using testing::TempFolder;
using testing::WriteFileBytes;

TEST(StagedOutput, TargetAppearsOnlyWhenCommitted) {
  TempFolder dir;
  const std::string target = dir / "out put.wav";
  {
    StagedOutput out;
    ASSERT_TRUE(out.Open(target));
    ASSERT_TRUE(out.Write("RIFF", 4));
    ASSERT_TRUE(out.Write("0000data", 8));
    EXPECT_FALSE(std::filesystem::exists(target));
    ASSERT_TRUE(out.WriteAt(4, "1234", 4));
    EXPECT_EQ(out.Size(), 12u);
    ASSERT_TRUE(out.Commit(""));
  }
  EXPECT_EQ(ReadFileBytes(target), "RIFF1234data");
  EXPECT_EQ(ListFolder(dir.path()), "out put.wav\n");
  // Outputs get ordinary permissions, not those of a private temporary file.
  struct stat st {};
  ASSERT_EQ(::stat(target.c_str(), &st), 0);
  EXPECT_NE(st.st_mode & S_IRGRP, 0u);
}

TEST(StagedOutput, DiscardedOrAbandonedOutputLeavesTheOldFileAlone) {
  TempFolder dir;
  const std::string target = dir / "song.mp3";
  WriteFileBytes(target, "the user's file");
  {
    StagedOutput out;
    ASSERT_TRUE(out.Open(target));
    out.Write("partial", 7);
  }  // abandoned without Commit
  {
    StagedOutput out;
    ASSERT_TRUE(out.Open(target));
    out.Write("partial", 7);
    out.Discard();
  }
  EXPECT_EQ(ReadFileBytes(target), "the user's file");
  EXPECT_EQ(ListFolder(dir.path()), "song.mp3\n");
}

TEST(StagedOutput, CommitReplacesAnOlderTargetWhole) {
  TempFolder dir;
  const std::string target = dir / "song.mp3";
  WriteFileBytes(target, std::string(100000, 'x'));
  StagedOutput out;
  ASSERT_TRUE(out.Open(target));
  out.Write("new", 3);
  ASSERT_TRUE(out.Commit(""));
  EXPECT_EQ(ReadFileBytes(target), "new");
}

// Another conversion running at the same time may pick the same free name: the file that got
// there first stays, the later one fails whole instead of silently replacing it.
TEST(StagedOutput, FileThatAppearedWhileEncodingIsNeverReplaced) {
  TempFolder dir;
  const std::string target = dir / "song_1.mp3";
  StagedOutput out;
  ASSERT_TRUE(out.Open(target));
  out.Write("second", 6);
  WriteFileBytes(target, "first");
  EXPECT_FALSE(out.Commit(""));
  EXPECT_EQ(ReadFileBytes(target), "first");
  EXPECT_EQ(ListFolder(dir.path()), "song_1.mp3\n");

  // A link put there meanwhile is not followed or replaced either.
  const std::string linked = dir / "song_2.mp3";
  StagedOutput other;
  ASSERT_TRUE(other.Open(linked));
  other.Write("x", 1);
  std::filesystem::create_symlink(dir / "nowhere.mp3", linked);
  EXPECT_FALSE(other.Commit(""));
  EXPECT_TRUE(std::filesystem::is_symlink(linked));
  EXPECT_FALSE(std::filesystem::exists(dir / "nowhere.mp3"));
}

TEST(StagedOutput, NeverReplacesTheSourceEvenThroughALink) {
  TempFolder dir;
  const std::string source = dir / "song.wav";
  WriteFileBytes(source, "precious");
  const std::string link = dir / "link.wav";
  std::filesystem::create_hard_link(source, link);
  for (const std::string& target : {source, link}) {
    StagedOutput out;
    ASSERT_TRUE(out.Open(target));
    out.Write("overwritten", 11);
    EXPECT_FALSE(out.Commit(source));
  }
  EXPECT_EQ(ReadFileBytes(source), "precious");
  EXPECT_EQ(ListFolder(dir.path()), "link.wav\nsong.wav\n");
}

TEST(StagedOutput, FullDiskMakesTheWholeFileAFailureAndLeavesNothing) {
  TempFolder dir;
  const std::string target = dir / "big.wav";
  StagedOutput out;
  ASSERT_TRUE(out.Open(target));
  {
    testing::FileSizeLimit limit(300 * 1024);
    const std::string block(4608, 's');
    bool allWritten = true;
    for (int i = 0; i < 200; ++i) allWritten = out.Write(block.data(), block.size()) && allWritten;
    EXPECT_FALSE(allWritten);
    EXPECT_TRUE(out.Failed());
    EXPECT_FALSE(out.Commit(""));
  }
  EXPECT_FALSE(std::filesystem::exists(target));
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(StagedOutput, PatchingPastTheEndIsAFailure) {
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "a.wav"));
  out.Write("1234", 4);
  EXPECT_FALSE(out.WriteAt(2, "xyz", 3));
  EXPECT_FALSE(out.Commit(""));
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(StagedOutput, FolderThatTakesNoFileFailsToOpen) {
  StagedOutput out;
  EXPECT_FALSE(out.Open("/proc/sonorell-nowhere/a.wav"));
  TempFolder dir;
  WriteFileBytes(dir / "file", "x");
  EXPECT_FALSE(out.Open(dir / "file/a.wav"));
  EXPECT_FALSE(out.Commit(""));
}

TEST(StagedOutput, VeryLongTargetNameStillStagesAndFailsOnlyAtTheRename) {
  TempFolder dir;
  std::string name(300, 'n');  // longer than a name may be
  name += ".wav";
  const std::string target = dir / name;
  StagedOutput out;
  ASSERT_TRUE(out.Open(target));
  out.Write("x", 1);
  EXPECT_FALSE(out.Commit(""));
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(StagedOutput, LibraryWritesTheReservedFileByPath) {
  TempFolder dir;
  const std::string target = dir / "lib.m4a";
  StagedOutput out;
  ASSERT_TRUE(out.Open(target));
  out.HandOverToLibrary();
  WriteFileBytes(out.TempPath(), "written by a library");
  EXPECT_FALSE(std::filesystem::exists(target));
  ASSERT_TRUE(out.Commit(""));
  EXPECT_EQ(ReadFileBytes(target), "written by a library");
}

TEST(StagedOutput, MarkedFailureIsNeverCommitted) {
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "a.ogg"));
  out.Write("x", 1);
  out.MarkFailed();
  EXPECT_FALSE(out.Commit(""));
  EXPECT_EQ(ListFolder(dir.path()), "");
}

// The part is named after this machine and process, so that machines sharing an output folder
// (the slices of a batch on a cluster) never mistake each other's parts for their own.
TEST(StagedOutput, PartCarriesTheHostNameAndProcess) {
  const std::string host = PartHostName();
  const bool plain = std::all_of(host.begin(), host.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
  });
  EXPECT_TRUE(plain && !host.empty() && host.size() <= 40) << host;
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "a.flac"));
  const std::string name = std::filesystem::path(out.TempPath()).filename().string();
  EXPECT_EQ(name.rfind(".sonorell-" + host + "-" + std::to_string(::getpid()) + "-", 0), 0u)
      << name;
  EXPECT_EQ(PartOwner(name, host), ::getpid());
  EXPECT_EQ(PartOwner(name, host + "x"), std::nullopt);
  // A host whose name begins with another's, and with that one's process id after it.
  const std::string longer = PartFileName(host + "-77", 5, 0xabcdef01, 0);
  EXPECT_EQ(PartOwner(longer, host + "-77"), 5);
  EXPECT_EQ(PartOwner(longer, host), std::nullopt);
  EXPECT_EQ(PartOwner(PartFileName(host, 77, 1, 2) + ".a1B2c3", host), 77);  // a library's file
  for (const std::string& other :
       {std::string(".sonorell-77-0000abcd-0.part"), PartFileName("", 77, 1, 0),
        ".sonorell-" + host + "-77-0000abcd-0.wav", ".sonorell-" + host + "-77-abcd-0.part"}) {
    EXPECT_EQ(PartOwner(other, host), std::nullopt) << other;
  }
}

// A rerun after a kill removes what the killed run of this machine left, and only that: the
// parts of live processes here and every part of other machines stay.
TEST(StagedOutput, StalePartsOfThisHostGoAndNoOtherMachinesParts) {
  TempFolder dir;
  const std::string host = PartHostName();
  const pid_t gone = ::fork();
  if (gone == 0) ::_exit(0);
  ASSERT_GT(gone, 0);
  ASSERT_EQ(::waitpid(gone, nullptr, 0), gone);
  const std::string stale = PartFileName(host, gone, 0x1234abcd, 3);
  const std::string live = PartFileName(host, ::getppid(), 0x1234abcd, 0);
  const std::string other = PartFileName(host + "-2", gone, 0x1234abcd, 3);
  const std::string otherSamePid = PartFileName("elsewhere", gone, 0x1234abcd, 3);
  for (const std::string& name : {stale, stale + ".lib", live, other, otherSamePid}) {
    WriteFileBytes(dir / name, "part");
  }
  std::filesystem::create_directory(dir / PartFileName(host, gone, 1, 1));
  WriteFileBytes(dir / "song.mp3", "done");
  StagedOutput mine;
  ASSERT_TRUE(mine.Open(dir / "b.mp3"));

  RemoveStaleParts({dir.path()});
  EXPECT_FALSE(std::filesystem::exists(dir / stale));
  EXPECT_FALSE(std::filesystem::exists(dir / (stale + ".lib")));
  for (const std::string& kept :
       {live, other, otherSamePid, PartFileName(host, gone, 1, 1), std::string("song.mp3"),
        mine.TempPath().substr(dir.path().size() + 1)}) {
    EXPECT_TRUE(std::filesystem::exists(dir / kept)) << kept;
  }
}

}  // namespace
}  // namespace sonorell
