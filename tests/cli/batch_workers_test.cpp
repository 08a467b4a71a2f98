// The batch command's worker processes: a file that kills or hangs its worker fails alone,
// slices of a batch cover it once, parallel renames never collide, and odd names survive the
// way back (Ctrl+C is tested with the report, in batch_command_test).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::RunCli;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

// Short stereo tones made by sox, one per name.
void MakeTones(const TempFolder& folder, const std::vector<std::string>& names, double seconds) {
  for (const std::string& name : names) {
    const std::string cmd = "sox -n -r 44100 -c 2 -b 16 " + Quote(folder / name) + " synth " +
                            std::to_string(seconds) + " sine 440";
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  }
}

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    names.insert(fs::relative(e.path(), folder).string());
  }
  return names;
}

TEST(BatchWorkers, ACrashingOrHangingFileFailsAloneAndTheBatchGoesOn) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  MakeTones(in, {"a.wav", "bad-crash.wav", "bad-hang.wav", "d.wav"}, 0.5);
  const auto start = std::chrono::steady_clock::now();
  const auto r = RunCli(profile,
                        "convert --format mp3 --jobs 2 --timeout 3 --out " + Quote(out.path()) +
                            " " + Quote(in.path()),
                        "SONORELL_TEST_WORKER_FAULT=crash:bad-crash");
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(30));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(in / "bad-crash.wav" +
                       " -> (none): Conversion Failure (worker crashed: signal 11)"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("3 of 4 file(s) converted"), std::string::npos) << r.out;
  EXPECT_EQ(Names(out.path()), (std::set<std::string>{"a.mp3", "bad-hang.mp3", "d.mp3"}));

  const auto hung = RunCli(profile,
                           "convert --format wav --jobs 2 --timeout 2 --out " + Quote(out.path()) +
                               " " + Quote(in / "bad-hang.wav") + " " + Quote(in / "a.wav"),
                           "SONORELL_TEST_WORKER_FAULT=hang:bad-hang");
  EXPECT_EQ(hung.status, 1);
  EXPECT_NE(
      hung.out.find(in / "bad-hang.wav" + " -> (none): Conversion Failure (timed out after 2 s)"),
      std::string::npos)
      << hung.out;
  EXPECT_TRUE(fs::exists(out / "a.wav"));
  for (const std::string& name : Names(out.path()))
    EXPECT_EQ(name.find(".part"), std::string::npos);
}

// Three machines given 1/3, 2/3 and 3/3 convert every file exactly once; a rerun with the
// skip rule converts nothing again; two workers write what one writes.
TEST(BatchWorkers, ShardsCoverTheBatchOnceAndWorkersAgreeWithOne) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, sharded, single;
  std::vector<std::string> names;
  for (int i = 0; i < 7; ++i) names.push_back("t" + std::to_string(i) + ".wav");
  MakeTones(in, names, 0.3);
  std::map<std::string, int> converted;
  for (int s = 1; s <= 3; ++s) {
    const auto shard =
        RunCli(profile, "convert --format wav --shard " + std::to_string(s) + "/3 --out " +
                            Quote(sharded.path()) + " " + Quote(in.path()));
    EXPECT_EQ(shard.status, 0) << shard.out;
    for (const std::string& n : names) {
      if (shard.out.find(in / n + " -> ") != std::string::npos) ++converted[n];
    }
  }
  for (const std::string& n : names) EXPECT_EQ(converted[n], 1) << n;
  EXPECT_EQ(Names(sharded.path()).size(), names.size());

  const auto one = RunCli(profile, "convert --format wav --jobs 1 --out " + Quote(single.path()) +
                                       " " + Quote(in.path()));
  EXPECT_EQ(one.status, 0);
  for (const std::string& n : names) {
    EXPECT_EQ(testing::ReadFileBytes(single / n), testing::ReadFileBytes(sharded / n)) << n;
  }
  EXPECT_EQ(RunCli(profile, "convert --format wav --shard 4/3 " + Quote(in.path())).status, 2);
  EXPECT_EQ(RunCli(profile, "convert --format wav --jobs 0 " + Quote(in.path())).status, 2);
}

// "a" renamed past an existing a.mp3 takes a_1.mp3, the name "a_1" itself wants: run in
// parallel, one of the two outputs would be lost. Every output must arrive under a name of
// its own, and the user's old file stays.
TEST(BatchWorkers, RenamedTargetsNeverCollideAcrossWorkers) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  MakeTones(in, {"a.wav", "a_1.wav", "a_2.wav", "b.wav"}, 0.3);
  testing::WriteFileBytes(out / "a.mp3", "the user's file");
  const auto r = RunCli(profile, "convert --format mp3 --rename --jobs 4 --out " +
                                     Quote(out.path()) + " " + Quote(in.path()));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Names(out.path()),
            (std::set<std::string>{"a.mp3", "a_1.mp3", "a_1_1.mp3", "a_2.mp3", "b.mp3"}))
      << r.out;
  EXPECT_EQ(testing::ReadFileBytes(out / "a.mp3"), "the user's file");
}

// The time limit catches a worker that has stopped making progress, not a long file: one
// that takes several times the limit to convert, reporting as it goes, is never stopped.
TEST(BatchWorkers, ALongFileThatKeepsProgressingOutlivesTheTimeLimit) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  MakeTones(in, {"long.wav"}, 300);
  const auto started = std::chrono::steady_clock::now();
  const auto r = RunCli(profile, "convert --format ogg --timeout 1 --out " + Quote(out.path()) +
                                     " " + Quote(in / "long.wav"));
  const double took =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(fs::exists(out / "long.ogg"));
  EXPECT_GT(took, 1.5) << "the file converted too fast to show anything";
}

// File names may hold any byte but "/" and NUL; a tab or line break in one reaches the
// report line intact.
TEST(BatchWorkers, NamesWithTabsAndLineBreaksComeBackWhole) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  MakeTones(in, {"plain.wav"}, 0.2);
  const std::string odd = "tab\tand\nbreak \\ .wav";
  fs::rename(in / "plain.wav", in / odd);
  const auto r =
      RunCli(profile, "convert --format wav --out " + Quote(out.path()) + " " + Quote(in / odd));
  EXPECT_EQ(r.status, 0) << r.out;
  const std::string target = out / "tab\tand\nbreak \\ .wav";
  EXPECT_TRUE(fs::exists(target));
  EXPECT_NE(r.out.find(in / odd + " -> " + target + ": "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace sonorell
