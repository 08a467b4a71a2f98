#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/platform/bass/synth_files.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;

using testing::CliResult;
using testing::RunCli;
constexpr auto& Quote = testing::ShellQuote;

TEST(ConvertCommand, UsageErrorsExitWithTwo) {
  TempFolder profile;
  EXPECT_EQ(RunCli(profile, "").status, 2);
  EXPECT_EQ(RunCli(profile, "transmogrify x").status, 2);
  const CliResult noFormat = RunCli(profile, "convert a.wav");
  EXPECT_EQ(noFormat.status, 2);
  EXPECT_NE(noFormat.out.find("--format is required"), std::string::npos);
  const CliResult badFormat = RunCli(profile, "convert --format ape a.wav");
  EXPECT_EQ(badFormat.status, 2);
  EXPECT_NE(badFormat.out.find("unknown output format \"ape\""), std::string::npos);
  EXPECT_EQ(RunCli(profile, "convert --format mp3 --loud a.wav").status, 2);
  EXPECT_EQ(RunCli(profile, "convert --format mp3 --out").status, 2);
  EXPECT_EQ(RunCli(profile, "convert --format mp3").status, 2);
  EXPECT_EQ(RunCli(profile, "--help").status, 0);
}

TEST(ConvertCommand, MissingInputIsAFailure) {
  TempFolder profile;
  TempFolder out;
  const CliResult r = RunCli(
      profile, "convert --format wav --out " + Quote(out.path()) + " /nonexistent/sonorell/x.wav");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("no such file or folder"), std::string::npos);
}

TEST(ConvertCommand, EveryFileOfAFolderTreeGetsALineAndAnHonestOutcome) {
  TempFolder profile;
  TempFolder in;
  TempFolder out;
  std::filesystem::create_directories(in / "sub dir");
  WriteFileBytes(in / "a.wav", "not really audio");
  WriteFileBytes(in / "sub dir/Ünïcødé.aiff", "not really audio");
  const CliResult r = RunCli(profile, "convert --format mp3 --out " + Quote(out.path()) + " " +
                                          Quote(in.path()) + " " + Quote(in / "a.wav"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_NE(r.out.find(in / "a.wav" + " -> (none): Conversion Failure"), std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find(in / "sub dir/Ünïcødé.aiff" + " -> (none): Conversion Failure"),
            std::string::npos);
  EXPECT_NE(r.out.find("0 of 2 file(s) converted"), std::string::npos) << r.out;  // a.wav once
  EXPECT_EQ(testing::ListFolder(out.path()), "");
}

TEST(ConvertCommand, ATrackerModuleThatClaimsDaysIsADamagedFileForEveryDecoder) {
  // The module renderer refuses it, and so must FFmpeg, which the decision table tries after
  // it (and which would otherwise render the 87 hours); WAV output keeps a regression quick,
  // as it refuses an input of more than 4 GB before it decodes anything.
  TempFolder profile;
  TempFolder in;
  TempFolder out;
  WriteFileBytes(in / "endless.mod", testing::EndlessProTrackerModule());
  const CliResult r = RunCli(
      profile, "convert --format wav --out " + Quote(out.path()) + " " + Quote(in / "endless.mod"));
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("-> (none): Conversion Failure (No decoder could read this file"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(testing::ListFolder(out.path()), "");
}

TEST(ConvertCommand, WindowsMediaWithoutTheRuntimeConvertsNothing) {
  TempFolder profile;
  TempFolder in;
  WriteFileBytes(in / "a.wav", "x");
  const CliResult r =
      RunCli(profile, "convert --format wma " + Quote(in / "a.wav"), "SONORELL_NO_WM_RUNTIME=1");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("Windows Media Format 9 Series Runtime"), std::string::npos);
  EXPECT_NE(r.out.find("0 of 1 file(s) converted"), std::string::npos);
}

}  // namespace
}  // namespace sonorell

namespace sonorell {
namespace {

TEST(ConvertCommand, WavOptionsOnTheCommandLineShapeTheOutput) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile;
  TempFolder in;
  TempFolder out;
  const std::string source = in / "tone.wav";
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + source + " synth 1 sine 440").c_str()), 0);
  const CliResult r = RunCli(profile,
                             "convert --format wav --rate 22050 --mono --bits 8 "
                             "--gain 150 --out " +
                                 Quote(out.path()) + " " + Quote(source));
  ASSERT_EQ(r.status, 0) << r.out;
  EXPECT_NE(r.out.find(source + " -> " + out / "tone.wav" + ": tone.wav"), std::string::npos)
      << r.out;
  const auto probe = testing::CommandOutput(
      "ffprobe -v error -show_entries stream=sample_rate,channels,bits_per_sample -of csv=p=0 " +
      Quote(out / "tone.wav"));
  ASSERT_TRUE(probe);
  EXPECT_EQ(*probe, "22050,1,8\n");
}

TEST(ConvertCommand, OptionValuesAreCheckedAgainstThePageLimits) {
  TempFolder profile;
  const CliResult gain = RunCli(profile, "convert --format wav --gain 5 x.wav");
  EXPECT_EQ(gain.status, 2);
  EXPECT_NE(gain.out.find("Invalid amplification coefficient. It's betwen 10 and 3000."),
            std::string::npos);
  EXPECT_EQ(RunCli(profile, "convert --format wav --gain 3001 x.wav").status, 2);
  EXPECT_EQ(RunCli(profile, "convert --format wav --rate 12345 x.wav").status, 2);
  EXPECT_EQ(RunCli(profile, "convert --format wav --rate fast x.wav").status, 2);
  EXPECT_EQ(RunCli(profile, "convert --format wav --bits 24 x.wav").status, 2);
}

TEST(ConvertCommand, UnwritableOutputFolderFallsBackToDocuments) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile;
  TempFolder in;
  const std::string source = in / "a.wav";
  ASSERT_EQ(std::system(("sox -n -r 8000 -c 1 " + source + " synth 0.2 sine 440").c_str()), 0);
  const CliResult r =
      RunCli(profile, "convert --format wav --out /proc/sonorell-nowhere " + Quote(source));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(std::filesystem::exists(profile / "Documents/a.wav")) << r.out;
  EXPECT_EQ(testing::ReadFileBytes(source).empty(), false);
}

}  // namespace
}  // namespace sonorell
