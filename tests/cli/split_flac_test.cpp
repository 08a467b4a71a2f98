// A long file encoded on two cores, through the batch command, against the same file encoded
// in one pass: FLAC's chunks join into the very file a single pass writes (frames, STREAMINFO
// with its MD5 signature, seek table, tags and gains), and a source that breaks off leaves
// what a single pass leaves.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/mutagen_tags.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::CommandOutput;
using testing::RunCli;
using testing::ShellQuote;
using testing::TempFolder;

class SplitFlac : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "flac", "metaflac"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
  }
  // The source converted with the flags, on two cores, into a folder of its own.
  fs::path Convert(const fs::path& source, const std::string& flags, const std::string& folder) {
    const fs::path out = dir_ / folder;
    fs::create_directories(out);
    const auto run = RunCli(profile_, "convert --format flac --jobs 2 " + flags + " --out " +
                                          ShellQuote(out.string()) + " " + ShellQuote(source));
    last_ = run.out;
    return out / (source.stem().string() + ".flac");
  }
  TempFolder dir_;
  TempFolder profile_;
  std::string last_;
};

TEST_F(SplitFlac, ChunksJoinIntoTheFileASinglePassWrites) {
  struct Case {
    const char* name;
    const char* make;  // sox arguments before the output name
    const char* flags;
  } cases[] = {
      // Tagged, with a cover beside it and its gain measured: everything once.
      {"album/cd.wav", "-n -r 44100 -b 16 -c 2", "--replaygain album"},
      // A length that is no whole number of blocks, at another rate and width, mono.
      {"hires/mono24.wav", "-n -r 96000 -b 24 -c 1", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path source = dir_ / c.name;
    fs::create_directories(source.parent_path());
    ASSERT_TRUE(CommandOutput("sox " + std::string(c.make) + " " + ShellQuote(source) +
                              " synth 71.3 pinknoise synth 71.3 sine mix 200-3000 gain -6"));
    if (!std::string(c.flags).empty()) {
      ASSERT_TRUE(testing::MakeImage(source.parent_path() / "cover.jpg", 96, 64));
    }
    const fs::path split = Convert(source, c.flags, "split");
    ASSERT_TRUE(fs::exists(split)) << last_;
    const fs::path single = Convert(source, std::string(c.flags) + " --no-split", "single");
    ASSERT_TRUE(fs::exists(single)) << last_;
    EXPECT_TRUE(testing::ReadFileBytes(split) == testing::ReadFileBytes(single))
        << "the joined file differs";
    EXPECT_TRUE(CommandOutput("flac -s -t " + ShellQuote(split))) << "flac -t with the MD5 check";
  }
  const std::string gains =
      CommandOutput("metaflac --export-tags-to=- " + ShellQuote(dir_ / "split/cd.flac"))
          .value_or("");
  EXPECT_NE(gains.find("REPLAYGAIN_TRACK_GAIN="), std::string::npos) << gains;
  EXPECT_EQ(gains.find("REPLAYGAIN_TRACK_GAIN="), gains.rfind("REPLAYGAIN_TRACK_GAIN=")) << gains;
}

TEST_F(SplitFlac, ASourceThatBreaksOffEndsAsASinglePassEnds) {
  // A WAV whose data stop 40 s short of what its header states.
  const fs::path whole = dir_ / "whole.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -b 16 -c 2 " + ShellQuote(whole) +
                            " synth 100 pinknoise gain -6"));
  const fs::path cut = dir_ / "cut.wav";
  fs::copy_file(whole, cut);
  fs::resize_file(cut, fs::file_size(whole) - 40u * 44100 * 4);

  // Failed: nothing of it in the folder.
  const fs::path failed = Convert(cut, "", "failed");
  EXPECT_NE(last_.find("breaks off"), std::string::npos) << last_;
  EXPECT_TRUE(fs::is_empty(failed.parent_path())) << last_;

  // Kept: the partial file, as a single pass makes it.
  const fs::path split = Convert(cut, "--keep-damaged", "kept-split");
  const fs::path single = Convert(cut, "--keep-damaged --no-split", "kept-single");
  ASSERT_TRUE(fs::exists(split) && fs::exists(single)) << last_;
  EXPECT_TRUE(testing::ReadFileBytes(split) == testing::ReadFileBytes(single));
  EXPECT_TRUE(CommandOutput("flac -s -t " + ShellQuote(split)));
  EXPECT_EQ(CommandOutput("metaflac --show-total-samples " + ShellQuote(split)),
            std::optional<std::string>("2646000\n"));
}

}  // namespace
}  // namespace sonorell
