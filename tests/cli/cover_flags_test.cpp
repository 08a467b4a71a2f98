// The batch command's --cover IMAGE and --no-cover: a picture that cannot be carried is a
// usage error before anything converts.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CliResult;
using testing::Has;
using testing::RunCli;
using testing::ShellQuote;
using testing::TempFolder;
using testing::WriteFileBytes;

TEST(CoverFlags, AnImageThatCannotBeCarriedIsAUsageError) {
  if (!testing::ToolAvailable("sox") || !testing::ToolAvailable("ffmpeg")) {
    GTEST_SKIP() << "sox or ffmpeg is not installed";
  }
  TempFolder dir;
  TempFolder profile;
  const std::string wav = dir / "song.wav";
  const std::string jpg = dir / "front.jpg";
  ASSERT_TRUE(testing::CommandOutput("sox -n -b 16 -r 44100 -c 2 " + ShellQuote(wav) +
                                     " synth 0.5 sine 440"));
  ASSERT_TRUE(
      testing::CommandOutput("ffmpeg -nostdin -v error -f lavfi -i testsrc=size=64x48 "
                             "-frames:v 1 " +
                             ShellQuote(jpg)));
  WriteFileBytes(dir / "notes.jpg", "Track list, typed out.\n");
  const std::string out = "--format wav --no-settings --out " + ShellQuote(dir / "out") + " ";

  const struct Case {
    std::string args;
    std::string message;
  } refused[] = {
      {"--cover " + ShellQuote(dir / "notes.jpg"),
       "--cover " + (dir / "notes.jpg") + ": it is no image"},
      {"--cover " + ShellQuote(dir / "none.jpg"),
       "--cover " + (dir / "none.jpg") + ": its file cannot be read"},
      {"--cover " + ShellQuote(dir.path()), "--cover " + dir.path() + ": its file cannot be read"},
      {"--cover ''", "--cover needs an image file"},
      {"--cover " + ShellQuote(jpg) + " --no-cover", "--cover and --no-cover exclude each other"},
  };
  for (const Case& c : refused) {
    SCOPED_TRACE(c.args);
    const CliResult r = RunCli(profile, "convert " + out + c.args + " " + ShellQuote(wav));
    EXPECT_EQ(r.status, 2) << r.out;
    EXPECT_TRUE(Has(r.out, "sonorell-cli: " + c.message)) << r.out;
    EXPECT_TRUE(Has(r.out, "usage: sonorell-cli convert")) << r.out;
    EXPECT_FALSE(std::filesystem::exists(dir / "out"));
  }

  // A readable image, relative to the working folder, and --no-cover let the batch run.
  for (const std::string args : {"--cover front.jpg", "--no-cover"}) {
    SCOPED_TRACE(args);
    const CliResult r = RunCli(profile, "convert " + out + args + " " + ShellQuote(wav),
                               "cd " + ShellQuote(dir.path()) + " &&");
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(std::filesystem::exists(dir / "out/song.wav")) << r.out;
  }
}

}  // namespace
}  // namespace sonorell
