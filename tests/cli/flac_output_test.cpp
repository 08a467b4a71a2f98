// FLAC output through the batch command, checked with the reference tools: flac -t, metaflac
// and sox/ffprobe. Sources at their own rate come back sample for sample at their own width.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::RunCli;
using testing::ShellQuote;
using testing::TempFolder;

bool Sox(const std::string& args) {
  return CommandOutput("sox " + args).has_value();
}

// The samples of a file as raw signed integers of the given width, as sox decodes them.
std::string RawSamples(const std::string& path, int bits) {
  return CommandOutput("sox -D " + ShellQuote(path) + " -t raw -e signed-integer -b " +
                       std::to_string(bits) + " -L -")
      .value_or("(undecodable " + path + ")");
}

std::string Metaflac(const std::string& args, const std::string& path) {
  return CommandOutput("metaflac " + args + " " + ShellQuote(path)).value_or("(metaflac failed)");
}

bool FlacTestPasses(const std::string& path) {
  return CommandOutput("flac -s -t " + ShellQuote(path)).has_value();
}

class FlacOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "flac", "metaflac", "ffprobe"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
  }
  TempFolder dir_;
  TempFolder profile_;
};

TEST_F(FlacOutput, SourcesAtTheirOwnRateComeBackSampleForSample) {
  struct Case {
    const char* name;
    const char* make;  // sox arguments before the output name
    int bits;          // the width the FLAC must keep
    int rate;
    int channels;
  } cases[] = {
      {"cd.wav", "-n -r 44100 -b 16 -c 2", 16, 44100, 2},
      {"hires.wav", "-n -r 96000 -b 24 -c 2", 24, 96000, 2},
      {"mono24.aiff", "-n -r 48000 -b 24 -c 1", 24, 48000, 1},
      {"loud32.au", "-n -r 44100 -b 32 -c 2", 24, 44100, 2},
      {"byte.wav", "-n -r 22050 -b 8 -c 1", 16, 22050, 1},
      {"studio.flac", "-n -r 88200 -b 24 -c 2", 24, 88200, 2},
  };
  const std::filesystem::path out = dir_ / "out";
  std::filesystem::create_directories(out);
  std::string sources;
  for (const Case& c : cases) {
    // Noise with a sweep: every bit of the width is used, so a lost low byte shows.
    ASSERT_TRUE(Sox(std::string(c.make) + " " + ShellQuote(dir_ / c.name) +
                    " synth 2.5 whitenoise synth 2.5 sine mix 100-9000 gain -3"))
        << c.name;
    sources += " " + ShellQuote(dir_ / c.name);
  }
  const auto run = RunCli(
      profile_, "convert --format flac --verify --out " + ShellQuote(out.string()) + sources);
  ASSERT_EQ(run.status, 0) << run.out;

  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string flac =
        (out / std::filesystem::path(c.name).replace_extension(".flac")).string();
    ASSERT_TRUE(std::filesystem::exists(flac)) << run.out;
    EXPECT_TRUE(FlacTestPasses(flac));
    EXPECT_EQ(Metaflac("--show-bps --show-sample-rate --show-channels", flac),
              std::to_string(c.bits) + "\n" + std::to_string(c.rate) + "\n" +
                  std::to_string(c.channels) + "\n");
    EXPECT_NE(Metaflac("--show-md5sum", flac), "00000000000000000000000000000000\n");
    EXPECT_NE(Metaflac("--list --block-type=SEEKTABLE", flac).find("seek points:"),
              std::string::npos);
    const std::string source = dir_ / c.name;
    if (c.name == std::string("loud32.au")) {
      // 32-bit integers keep their top 24 bits, cut rather than rounded.
      const std::string wide = RawSamples(source, 32);
      std::string top;
      for (size_t i = 0; i + 4 <= wide.size(); i += 4) top += wide.substr(i + 1, 3);
      EXPECT_EQ(RawSamples(flac, 24), top);
    } else {
      EXPECT_EQ(RawSamples(flac, c.bits), RawSamples(source, c.bits));
    }
  }
}

TEST_F(FlacOutput, ConditioningKeepsTheWidthAndTheLength) {
  const std::string source = dir_ / "hires.wav";
  ASSERT_TRUE(Sox("-n -r 96000 -b 24 -c 2 " + ShellQuote(source) + " synth 3 sine 440 sine 660"));
  const std::filesystem::path out = dir_ / "out";
  std::filesystem::create_directories(out);
  const auto run = RunCli(profile_, "convert --format flac --rate 48000 --mono --gain 50 --out " +
                                        ShellQuote(out.string()) + " " + ShellQuote(source));
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string flac = (out / "hires.flac").string();
  EXPECT_TRUE(FlacTestPasses(flac));
  EXPECT_EQ(Metaflac("--show-bps --show-sample-rate --show-channels --show-total-samples", flac),
            "24\n48000\n1\n144000\n");
  // Half of the mix of two full-scale tones: the peak stays under half of full scale.
  const auto stats = CommandOutput("sox " + ShellQuote(flac) + " -n stat 2>&1 | cat");
  ASSERT_TRUE(stats.has_value());
  const size_t at = stats->find("Maximum amplitude:");
  ASSERT_NE(at, std::string::npos) << *stats;
  const double peak = std::stod(stats->substr(at + 18));
  EXPECT_GT(peak, 0.3);
  EXPECT_LT(peak, 0.55);
}

// A source that states 35 s and breaks off after 11: the seek table was laid out for 35 s,
// and the points past the end must not send players anywhere.
TEST_F(FlacOutput, KeptPartialOutputHasNoSeekPointPastItsEnd) {
  const std::string whole = dir_ / "whole.wav";
  ASSERT_TRUE(Sox("-n -r 44100 -b 16 -c 2 " + ShellQuote(whole) + " synth 35 pinknoise"));
  const std::string cut = dir_ / "cut.wav";
  std::filesystem::copy_file(whole, cut);
  std::filesystem::resize_file(cut, 2'000'000);
  const std::filesystem::path out = dir_ / "out";
  std::filesystem::create_directories(out);
  const auto run = RunCli(profile_, "convert --format flac --keep-damaged --out " +
                                        ShellQuote(out.string()) + " " + ShellQuote(cut));
  ASSERT_EQ(run.status, 0) << run.out;
  EXPECT_NE(run.out.find("(partial: the source breaks off at 0:11 of 0:35)"), std::string::npos)
      << run.out;
  const std::string flac = (out / "cut.flac").string();
  EXPECT_TRUE(FlacTestPasses(flac));
  const std::string table = Metaflac("--list --block-type=SEEKTABLE", flac);
  EXPECT_NE(table.find("point 1: sample_number=4"), std::string::npos) << table;
  EXPECT_NE(table.find("point 2: PLACEHOLDER"), std::string::npos) << table;
  EXPECT_NE(table.find("point 3: PLACEHOLDER"), std::string::npos) << table;
}

TEST_F(FlacOutput, TagsInAnyScriptReadBack) {
  const std::string source = dir_ / "tagged.ogg";
  const std::string title = "Звёздное небо — 星空 🌌";
  const std::string artist = "Кино & 坂本龍一";
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i sine=d=1 -c:a libvorbis "
                            "-metadata title=" +
                            ShellQuote(title) + " -metadata artist=" + ShellQuote(artist) +
                            " -metadata track=7 " + ShellQuote(source))
                  .has_value());
  const std::filesystem::path out = dir_ / "out";
  std::filesystem::create_directories(out);
  const auto run =
      RunCli(profile_,
             "convert --format flac --out " + ShellQuote(out.string()) + " " + ShellQuote(source),
             "LC_ALL=C.UTF-8");
  ASSERT_EQ(run.status, 0) << run.out;
  const std::string flac = (out / "tagged.flac").string();
  const std::string comments = Metaflac("--export-tags-to=-", flac);
  EXPECT_NE(comments.find("TITLE=" + title), std::string::npos) << comments;
  EXPECT_NE(comments.find("ARTIST=" + artist), std::string::npos) << comments;
  EXPECT_NE(comments.find("TRACKNUMBER=7"), std::string::npos) << comments;
  const auto probed = CommandOutput(
      "ffprobe -v error -show_entries format_tags=title -of csv=p=0 " + ShellQuote(flac));
  EXPECT_EQ(probed.value_or(""), title + "\n");
}

TEST_F(FlacOutput, EverySharedSampleConvertsAndVerifies) {
  if (!std::filesystem::exists(SONORELL_SAMPLES_DIR)) GTEST_SKIP() << "no shared samples";
  const std::filesystem::path out = dir_ / "out";
  const auto run =
      RunCli(profile_, "convert --format flac --verify --out " + ShellQuote(out.string()) + " " +
                           ShellQuote(SONORELL_SAMPLES_DIR));
  EXPECT_EQ(run.status, 0) << run.out;
  int outputs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out)) {
    ++outputs;
    EXPECT_TRUE(FlacTestPasses(entry.path().string())) << entry.path();
  }
  EXPECT_GT(outputs, 10) << run.out;
}

TEST_F(FlacOutput, OptionsFlacCannotTakeAreRefused) {
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"--bits 16", "--bits and --bitrate are not available for FLAC"},
      {"--bitrate 320", "--bits and --bitrate are not available for FLAC"},
      {"--quality 9", "--quality must be the FLAC compression level, 0 (fastest) to 8 (smallest)"},
      {"--rate 44000", "--rate 44000 is not one of the FLAC rates"},
  };
  for (const Case& c : cases) {
    const auto run = RunCli(profile_, std::string("convert --format flac ") + c.args + " x.wav");
    EXPECT_EQ(run.status, 2) << c.args;
    EXPECT_NE(run.out.find(c.message), std::string::npos) << c.args << ": " << run.out;
  }
}

}  // namespace
}  // namespace sonorell
