// Opus output through the batch command, checked with opus-tools' opusinfo and ffmpeg's
// decoder: the stream is well formed, plays exactly as long as its source, and carries the
// bit rate, channels and tags that were asked for.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>

#include "tests/engine/encoders/compressed_output.h"
#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::CleanOpusinfo;
using testing::CliResult;
using testing::CommandOutput;
using testing::Has;
using testing::RunCli;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

// "New logical stream (#1, serial: 00000029): type opus" gives "00000029".
std::string Serial(const std::string& opusinfo) {
  const size_t at = opusinfo.find("serial: ");
  return at == std::string::npos ? std::string() : opusinfo.substr(at + 8, 8);
}

std::string Convert(const TempFolder& profile, const std::string& args, const std::string& out,
                    const std::string& sources) {
  const CliResult r =
      RunCli(profile, "convert --format opus " + args + " --out " + Quote(out) + " " + sources);
  EXPECT_EQ(r.status, 0) << args << "\n" << r.out;
  return r.out;
}

long SoxFrames(const std::string& path) {
  return std::atol(CommandOutput("soxi -s " + Quote(path)).value_or("-1").c_str());
}

TEST(OpusOutput, PlaysExactlyAsLongAsItsSourceAtAnyRate) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("opusinfo");
  TempFolder profile, in, out;
  // Lengths that are no whole number of Opus frames, nor of the resampler's steps.
  const std::string stereo = in / "stereo.wav";
  const std::string mono = in / "mono.wav";
  ASSERT_TRUE(CommandOutput("sox -r 44100 -n -c 2 -b 16 " + Quote(stereo) +
                            " synth 132301s sine 440 sine 660 vol 0.5"));
  ASSERT_TRUE(CommandOutput("sox -r 22050 -n -c 1 -b 16 " + Quote(mono) +
                            " synth 50007s sine 300 vol 0.5"));
  // --verify decodes each output again with our own decoders and checks its length too.
  Convert(profile, "--no-settings --verify --jobs 2", out.path(),
          Quote(stereo) + " " + Quote(mono));
  std::set<std::string> serials;
  for (const auto& [name, source, channels] :
       {std::tuple{"stereo.opus", stereo, 2}, std::tuple{"mono.opus", mono, 1}}) {
    SCOPED_TRACE(name);
    const std::string output = out / name;
    const auto info = CleanOpusinfo(output);
    ASSERT_TRUE(info) << CommandOutput("opusinfo " + Quote(output) + " 2>&1").value_or("");
    serials.insert(Serial(*info));
    const testing::StreamProbe probe = testing::FfprobeStream(output);
    EXPECT_EQ(probe.codec, "opus");
    EXPECT_EQ(probe.rate, 48000);
    EXPECT_EQ(probe.channels, channels);
    const long frames = SoxFrames(source);
    const int rate = std::atoi(CommandOutput("soxi -r " + Quote(source)).value_or("0").c_str());
    ASSERT_GT(frames, 0);
    const auto decoded = testing::FfmpegDecode16(output);
    ASSERT_TRUE(decoded);
    const double expected = static_cast<double>(frames) * 48000 / rate;
    const double got = static_cast<double>(decoded->size()) / channels;
    EXPECT_LE(std::fabs(got - expected), 1.0) << got << " against " << expected;
    // The sound itself, not silence: the tones at half scale.
    EXPECT_GT(*std::max_element(decoded->begin(), decoded->end()), 10000);
  }
  EXPECT_EQ(serials.size(), 2u) << "the files of one run share no stream serial";
}

TEST(OpusOutput, BitRateControlChannelsAndTagsReachTheFile) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  SONORELL_REQUIRE_TOOL("opusinfo");
  TempFolder profile, in;
  const std::string noise = in / "noise.wav";
  ASSERT_TRUE(
      CommandOutput("sox -n -r 44100 -c 2 -b 16 " + Quote(noise) + " synth 10 pinknoise vol 0.3"));

  // Hard CBR: every packet the same size, the file at the asked rate.
  TempFolder cbr;
  Convert(profile, "--no-settings --bitrate 64 --rate-control cbr --complexity 5", cbr.path(),
          Quote(noise));
  const auto info = CleanOpusinfo(cbr / "noise.opus");
  ASSERT_TRUE(info);
  EXPECT_TRUE(Has(*info, "(hard-CBR)")) << *info;
  const double kbps = static_cast<double>(fs::file_size(cbr / "noise.opus")) * 8 / 10 / 1000;
  EXPECT_NEAR(kbps, 64, 6.4);

  // A stereo source made mono by the stored mono choice: left only, right only.
  const std::string leftOnly = in / "left.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + Quote(leftOnly) +
                            " synth 2 sine 440 vol 0.5 remix 1 0"));
  const std::string store = profile / "config/Quillmark/Sonorell";
  fs::create_directories(store);
  for (const int monoType : {1, 2}) {
    SCOPED_TRACE(monoType);
    testing::WriteFileBytes(store + "/Options.reg",
                            "REGKEY 1\ndword \"MonoType\" " + std::to_string(monoType) + "\nend\n");
    TempFolder out;
    Convert(profile, "--mono", out.path(), Quote(leftOnly));
    const std::string output = out / "left.opus";
    EXPECT_EQ(testing::FfprobeStream(output).channels, 1);
    const auto samples = testing::FfmpegDecode16(output);
    ASSERT_TRUE(samples);
    const int loudest = std::abs(*std::max_element(
        samples->begin(), samples->end(), [](int a, int b) { return std::abs(a) < std::abs(b); }));
    if (monoType == 1) {
      EXPECT_GT(loudest, 12000);
    } else {
      EXPECT_LT(loudest, 300);
    }
  }

  // Tags in any script, as Opus comments in UTF-8: opusinfo and ffprobe read them back.
  const std::string tagged = in / "tagged.flac";
  ASSERT_TRUE(CommandOutput("ffmpeg -nostdin -v error -y -f lavfi -i sine=d=1 -metadata " +
                            Quote("title=Привет, мир") + " -metadata " +
                            Quote("artist=日本語のアーティスト") + " -metadata " +
                            Quote("album=Notes 🎵 and 😀") + " -metadata track=7 " + Quote(tagged)));
  TempFolder out;
  Convert(profile, "--no-settings", out.path(), Quote(tagged));
  const auto tags = CleanOpusinfo(out / "tagged.opus");
  ASSERT_TRUE(tags);
  EXPECT_TRUE(Has(*tags, "TITLE=Привет, мир")) << *tags;
  EXPECT_TRUE(Has(*tags, "ARTIST=日本語のアーティスト")) << *tags;
  EXPECT_TRUE(Has(*tags, "ALBUM=Notes 🎵 and 😀")) << *tags;
  EXPECT_TRUE(Has(*tags, "TRACKNUMBER=7")) << *tags;
  testing::StreamProbe probe = testing::FfprobeStream(out / "tagged.opus");
  EXPECT_EQ(probe.tags["TITLE"], "Привет, мир");
  EXPECT_EQ(probe.tags["ALBUM"], "Notes 🎵 and 😀");
}

// Every shared sample that converts to Ogg Vorbis converts to Opus too, and opusinfo finds
// every output well formed.
TEST(OpusOutput, EverySampleThatMakesOggMakesOpus) {
  SONORELL_REQUIRE_TOOL("opusinfo");
  SONORELL_REQUIRE_TOOL("python3");
  const std::string samples = SONORELL_SAMPLES_DIR;
  if (!fs::is_directory(samples)) GTEST_SKIP() << "no shared samples in " << samples;
  TempFolder profile, out;
  const auto converted = [&](const std::string& format) {
    const std::string report = out / (format + ".json");
    RunCli(profile, "convert --no-settings --jobs 2 --format " + format + " --out " +
                        Quote(out / format) + " --report " + Quote(report) + " " + Quote(samples));
    const auto sources = CommandOutput(
        "python3 -c " +
        Quote("import json,sys,os\n"
              "for o in json.load(open(sys.argv[1])):\n"
              "  if o['converted']: print(os.path.basename(o['source']), o['target'])") +
        " " + Quote(report));
    std::set<std::string> names;
    std::set<std::string> targets;
    std::istringstream lines(sources.value_or(""));
    for (std::string name, target; lines >> name >> target;) {
      names.insert(name);
      targets.insert(target);
    }
    return std::pair{names, targets};
  };
  const auto [ogg, oggTargets] = converted("ogg");
  const auto [opus, opusTargets] = converted("opus");
  ASSERT_FALSE(ogg.empty());
  for (const std::string& name : ogg) EXPECT_TRUE(opus.count(name)) << name;
  for (const std::string& target : opusTargets) {
    EXPECT_TRUE(CleanOpusinfo(target)) << target;
  }
}

}  // namespace
}  // namespace sonorell
