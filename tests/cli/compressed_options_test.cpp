// The batch command's MP3 and Ogg Vorbis options: --bitrate, --quality and the shared ones,
// checked against the option pages' lists and applied for one run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::ShellQuote;
using testing::TempFolder;

using testing::CliResult;
using testing::RunCli;

std::string Probe(const std::string& path) {
  return testing::CommandOutput(
             "ffprobe -v error -show_entries stream=sample_rate,channels,bit_rate -of csv=p=0 " +
             ShellQuote(path))
      .value_or("(unreadable)");
}

TEST(CompressedOverrides, ValuesOutsideThePageListsAreRefused) {
  TempFolder profile;
  struct Case {
    const char* args;
    const char* message;
  } cases[] = {
      {"--format mp3 --rate 96000",
       "--rate 96000 is not one of the MP3 rates (8000, 11025, 12000, 16000, 22050, 24000, "
       "32000, 44100, 48000)"},
      {"--format mp3 --bitrate 100",
       "--bitrate 100 is not one of the MP3 bit rates (8, 16, 24, 32, 40, 48, 56, 64, 80, 96, "
       "112, 128, 144, 160, 192, 224, 256, 320)"},
      {"--format ogg --bitrate 500",
       "--bitrate 500 is not one of the Ogg Vorbis bit rates (8, 16, 24, 32, 40, 48, 56, 64, 80, "
       "96, 112, 128, 144, 160, 192, 224, 256, 320, 400, 480)"},
      {"--format ogg --bits 16", "--bits is not available for Ogg Vorbis (it is always 16-bit)"},
      {"--format mp3 --quality superb",
       "--quality must be auto, low, ok, medium or cd (or 0 to 4)"},
      {"--format ogg --quality auto --rate 22050",
       "--quality auto cannot be combined with --rate, --bitrate, --mono or --stereo"},
      {"--format mp3 --gain 5", "Invalid amplification coefficient. It's betwen 10 and 3000."},
      {"--format wav --bitrate 128", "--bitrate and --quality are not available for WAV"},
      {"--format mp3 --bitrate fast", "--bitrate needs a whole number, not \"fast\""},
      {"--format ogg --quality", "--quality needs a value"},
      {"--format m4a --rate 22050",
       "--rate, --bits, --mono and --stereo are not available for AAC (the source's are kept)"},
      {"--format aac --bitrate 100",
       "--bitrate 100 is not one of the AAC bit rates (16, 24, 32, 40, 48, 56, 64, 80, 96, 112, "
       "128, 144, 160, 192, 224, 256, 320)"},
      {"--format m4b --quality 501", "Invalid quality value. It's betwen 10 and 500."},
      {"--format mp4 --quality good", "Invalid quality value. It's betwen 10 and 500."},
      {"--format m4a --bitrate 128 --quality 100",
       "--bitrate (average bit rate) and --quality (variable bit rate) exclude each other"},
      {"--format awb --quality 9", "--quality must be the AMR-WB mode, 0 to 8"},
      {"--format amr --quality 8", "--quality must be the AMR-NB mode, 0 to 7"},
      {"--format amr --mono", "are not available for AMR and AWB (choose the mode with --quality)"},
      {"--format opus --bitrate 5", "--bitrate 5 is outside the Opus bit rates (6 to 510)"},
      {"--format opus --bitrate 511", "--bitrate 511 is outside the Opus bit rates (6 to 510)"},
      {"--format opus --rate-control abr", "--rate-control must be vbr, cvbr or cbr"},
      {"--format opus --complexity 11", "--complexity must be 0 to 10"},
      {"--format opus --complexity max", "--complexity needs a whole number, not \"max\""},
      {"--format opus --rate 44100",
       "--rate, --bits and --quality are not available for Opus (it is always 48 kHz)"},
      {"--format ogg --rate-control cbr",
       "--rate-control and --complexity are only available for Opus"},
  };
  for (const Case& c : cases) {
    // A flag without its value must be the last word to be missing one.
    const std::string args = c.args;
    const bool valueMissing = args.size() > 9 && args.compare(args.size() - 9, 9, "--quality") == 0;
    const CliResult r = RunCli(profile, "convert " + args + (valueMissing ? "" : " x.wav"));
    EXPECT_EQ(r.status, 2) << c.args;
    EXPECT_NE(r.out.find(c.message), std::string::npos) << c.args << "\n" << r.out;
  }
}

TEST(CompressedOverrides, TheBatchCommandWritesWhatTheFlagsAsk) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile;
  TempFolder in;
  const std::string source = in / "tone.wav";
  ASSERT_TRUE(testing::CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source + " synth 1 sine 440"));
  struct Case {
    const char* args;
    const char* probe;  // rate, channels, bit rate
  } cases[] = {
      // Left out: the source's rate and channels, the bit rate automatic for them.
      {"--format mp3 --bitrate 64", "44100,2,64000"},
      {"--format mp3 --rate 22050 --mono --bitrate 64", "22050,1,64000"},
      {"--format mp3 --rate 22050", "22050,2,64000"},
      {"--format mp3 --quality low", "11025,1,16000"},
      {"--format mp3 --quality cd --mono", "44100,1,128000"},
      {"--format ogg --quality low", "11025,1,16000"},
      {"--format ogg --quality 3 --bitrate 160", "32000,2,160000"},
      {"--format ogg --mono", "44100,1,96000"},
      // A bit rate libvorbis cannot reach at the rate is moved into its range.
      {"--format ogg --rate 8000 --bitrate 480", "8000,2,80000"},
  };
  for (const Case& c : cases) {
    TempFolder out;
    const CliResult r = RunCli(profile, std::string("convert ") + c.args + " --out " +
                                            ShellQuote(out.path()) + " " + ShellQuote(source));
    ASSERT_EQ(r.status, 0) << c.args << "\n" << r.out;
    const std::string ext = std::string(c.args).find("ogg") != std::string::npos ? "ogg" : "mp3";
    EXPECT_EQ(Probe(out / ("tone." + ext)), std::string(c.probe) + "\n") << c.args;
  }
}

TEST(CompressedOverrides, AacBitRateAndQualityAndAmrModesReachTheFiles) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile;
  TempFolder in;
  const std::string source = in / "noise.wav";
  ASSERT_TRUE(testing::CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source +
                                     " synth 10 pinknoise vol 0.3"));
  const auto convert = [&](const std::string& args, const std::string& out) {
    const CliResult r =
        RunCli(profile, "convert " + args + " --out " + ShellQuote(out) + " " + ShellQuote(source));
    EXPECT_EQ(r.status, 0) << args << "\n" << r.out;
  };
  const auto kbps = [](const std::string& path) {
    std::error_code ec;
    return static_cast<double>(std::filesystem::file_size(path, ec)) * 8 / 10 / 1000;
  };
  for (const int rate : {64, 192}) {
    TempFolder out;
    convert("--format m4a --bitrate " + std::to_string(rate), out.path());
    EXPECT_EQ(Probe(out / "noise.m4a").substr(0, 8), "44100,2,") << rate;
    EXPECT_NEAR(kbps(out / "noise.m4a"), rate, rate * 0.15);
  }
  TempFolder low;
  TempFolder high;
  convert("--format aac --quality 40", low.path());
  convert("--format aac --quality 300", high.path());
  EXPECT_LT(kbps(low / "noise.aac") * 2, kbps(high / "noise.aac"));

  // Mode 0 and mode 8 of AMR-WB: 6.60 and 23.85 kbit/s, one 20 ms frame per 50th second.
  TempFolder slow;
  TempFolder fast;
  convert("--format awb --quality 0", slow.path());
  convert("--format awb --quality 8", fast.path());
  EXPECT_NEAR(kbps(slow / "noise.awb"), 6.6 + 0.4, 1.0);
  EXPECT_NEAR(kbps(fast / "noise.awb"), 23.85 + 0.4, 1.5);
}

TEST(CompressedOverrides, ABlockTypeAnOlderStoreKeptConvertsEveryAacFamilyFile) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffprobe");
  TempFolder profile;
  TempFolder in;
  const std::string source = in / "tone.wav";
  ASSERT_TRUE(
      testing::CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source + " synth 3 sine 440 vol 0.5"));
  // "No long" for raw AAC and "No short" for the MP4 family, without Auto, as an older
  // option store holds them.
  const std::string store = profile / "config/Quillmark/Sonorell";
  std::filesystem::create_directories(store);
  testing::WriteFileBytes(store + "/Options.reg",
                          "REGKEY 1\n"
                          "dword \"AACBlockType\" 2\n"
                          "dword \"AutoDestAACEncodingParam\" 0\n"
                          "dword \"AutoDestM4AEncodingParam\" 0\n"
                          "dword \"M4ABlockType\" 1\n"
                          "end\n");
  for (const char* format : {"aac", "m4a", "mp4", "m4b"}) {
    TempFolder out;
    const CliResult r = RunCli(profile, std::string("convert --format ") + format + " --out " +
                                            ShellQuote(out.path()) + " " + ShellQuote(source));
    EXPECT_EQ(r.status, 0) << format << "\n" << r.out;
    const std::string output = out / (std::string("tone.") + format);
    EXPECT_EQ(Probe(output).substr(0, 8), "44100,2,") << format;
    // Decoded by ffmpeg: the whole three seconds of the tone, not silence.
    const auto samples = testing::FfmpegDecode16(output);
    ASSERT_TRUE(samples) << format;
    EXPECT_NEAR(static_cast<double>(samples->size()) / 2 / 44100, 3.0, 0.05) << format;
    const auto loudest = std::max_element(samples->begin(), samples->end());
    EXPECT_GT(*loudest, 12000) << format;
  }
}

TEST(CompressedOverrides, WmaEncodingsComeFromTheRuntimesList) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile;
  TempFolder in;
  const std::string source = in / "noise.wav";
  ASSERT_TRUE(testing::CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source +
                                     " synth 4 pinknoise vol 0.3"));
  TempFolder out;
  CliResult r = RunCli(profile, "convert --format wma --rate 32000 --bitrate 48 --mono --out " +
                                    ShellQuote(out.path()) + " " + ShellQuote(source));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Probe(out / "noise.wma"), "32000,1,48000\n");
  r = RunCli(profile,
             "convert --format wma --out " + ShellQuote(out.path()) + " " + ShellQuote(source));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(Probe(out / "noise_1.wma"), "44100,2,128000\n") << "the automatic choice";

  r = RunCli(profile, "convert --format wma --bitrate 100 " + ShellQuote(source));
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("no WMA encoding has 44100 Hz, 100 kbps, Stereo"), std::string::npos);
  EXPECT_NE(r.out.find("44100 Hz, 128 kbps, Stereo"), std::string::npos) << r.out;
  r = RunCli(profile, "convert --format wma --bits 8 " + ShellQuote(source));
  EXPECT_EQ(r.status, 2);
  r = RunCli(profile, "convert --format wma --quality cd " + ShellQuote(source));
  EXPECT_EQ(r.status, 2);
}

TEST(CompressedOverrides, AProcesssOggFilesGetTheSerialsOfTheSequence) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile;
  TempFolder in;
  TempFolder out;
  ASSERT_TRUE(
      testing::CommandOutput("sox -n -r 22050 -c 1 " + in / "a.wav" + " synth 0.3 sine 440"));
  ASSERT_TRUE(
      testing::CommandOutput("sox -n -r 22050 -c 1 " + in / "b.wav" + " synth 0.3 sine 440"));
  const CliResult r =
      RunCli(profile, "convert --format ogg --out " + ShellQuote(out.path()) + " " +
                          ShellQuote(in / "a.wav") + " " + ShellQuote(in / "b.wav"));
  ASSERT_EQ(r.status, 0) << r.out;
  const auto serial = [](const std::string& path) {
    const std::string b = testing::ReadFileBytes(path);
    if (b.size() < 18) return -1;
    return static_cast<int>(static_cast<uint8_t>(b[14]) | static_cast<uint8_t>(b[15]) << 8 |
                            static_cast<uint8_t>(b[16]) << 16 | static_cast<uint8_t>(b[17]) << 24);
  };
  EXPECT_EQ(serial(out / "a.ogg"), 41);
  EXPECT_EQ(serial(out / "b.ogg"), 18467);
}

}  // namespace
}  // namespace sonorell
