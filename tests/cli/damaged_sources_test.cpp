// Sources made by other programs and then cut or damaged: the batch command must fail a
// file whose sound breaks off (saying where), keep it as far as it decodes when asked, read
// chained Ogg files to their end, and never count an output that is not safely on disk.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::CommandOutput;
using testing::Has;
using testing::RunCli;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

// A 10-second stereo tone encoded by ffmpeg with the given output options.
void MakeWithFfmpeg(const std::string& path, const std::string& options, double seconds = 10) {
  const std::string cmd = "ffmpeg -nostdin -v error -y -f lavfi -i " +
                          Quote("sine=f=440:d=" + std::to_string(seconds)) + " -ac 2 " + options +
                          " " + Quote(path);
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

// Keeps the first fraction of a file's bytes, as a download cut short does.
void CutTo(const std::string& path, double fraction) {
  const auto size = fs::file_size(path);
  fs::resize_file(path, static_cast<uintmax_t>(static_cast<double>(size) * fraction));
}

std::optional<double> ProbedSeconds(const std::string& path) {
  const auto out =
      CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " + Quote(path));
  if (!out || out->empty()) return std::nullopt;
  return std::stod(*out);
}

// The sources of the tests: ffmpeg's usual writers of each container.
struct Kind {
  const char* name;
  const char* options;
};
constexpr Kind kKinds[] = {
    {"tone.mp3", "-c:a libmp3lame -b:a 128k"},      // Xing/Info frame with a frame count
    {"tone.flac", "-c:a flac"},                     // STREAMINFO with a sample count
    {"tone.wav", "-c:a pcm_s16le"},                 // data chunk size
    {"tone.m4a", "-c:a aac -movflags +faststart"},  // sample tables before the data
    {"tone.ogg", "-c:a libvorbis"},                 // Ogg pages
    {"tone.opus", "-c:a libopus"},                  // Ogg pages, through FFmpeg
};

TEST(DamagedSources, ACutSourceFailsWithWhereItBreaksOffAndKeepsNothing) {
  if (!testing::ToolAvailable("ffmpeg") || !testing::ToolAvailable("ffprobe")) {
    GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  }
  TempFolder dir;
  TempFolder profile;
  std::string names;
  for (const Kind& k : kKinds) {
    MakeWithFfmpeg(dir / k.name, k.options);
    CutTo(dir / k.name, 0.55);
    names += " " + Quote(dir / k.name);
  }
  fs::create_directories(dir / "out");
  const std::string args = "convert --format wav --no-settings --out " + Quote(dir / "out");
  const CliResult failed = RunCli(profile, args + names);
  EXPECT_EQ(failed.status, 1) << failed.out;
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    // "the source breaks off at 0:05 of 0:10", or without the length where none is stated.
    // "the source breaks off at 0:05 of 0:10", or without the length where none is stated.
    EXPECT_TRUE(Has(failed.out, std::string(k.name) +
                                    " -> (none): Conversion Failure (the source breaks off at 0:0"))
        << failed.out;
  }
  EXPECT_TRUE(fs::is_empty(dir / "out")) << "nothing of a failed output remains";

  // Asked to keep what decodes: every file converts, marked partial, about half as long.
  const CliResult kept =
      RunCli(profile, args + " --keep-damaged --report " + Quote(dir / "report.json") + names);
  EXPECT_EQ(kept.status, 0) << kept.out;
  for (const Kind& k : kKinds) {
    SCOPED_TRACE(k.name);
    const std::string out = (dir / "out" / fs::path(k.name).stem()).string() + ".wav";
    EXPECT_TRUE(Has(kept.out,
                    fs::path(out).filename().string() + " (partial: the source breaks off at 0:0"))
        << kept.out;
    const std::optional<double> seconds = ProbedSeconds(out);
    ASSERT_TRUE(seconds);
    EXPECT_GT(*seconds, 3.0);
    EXPECT_LT(*seconds, 6.5);
  }
  const auto partial = CommandOutput(
      "python3 -c " +
      Quote(
          "import json,sys\nprint(sum(1 for r in json.load(open(sys.argv[1])) if r['partial']))") +
      " " + Quote(dir / "report.json"));
  ASSERT_TRUE(partial);
  EXPECT_EQ(std::stoi(*partial), static_cast<int>(std::size(kKinds)));
}

TEST(DamagedSources, WholeStreamingAndConcealedSourcesStillConvert) {
  if (!testing::ToolAvailable("ffmpeg") || !testing::ToolAvailable("ffprobe")) {
    GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  }
  TempFolder dir;
  TempFolder profile;
  std::string names;
  for (const Kind& k : kKinds) {
    MakeWithFfmpeg(dir / k.name, k.options);
    names += " " + Quote(dir / k.name);
  }
  // A streaming writer's WAV: both sizes left at all ones.
  MakeWithFfmpeg(dir / "stream.wav", "-c:a pcm_s16le");
  {
    std::fstream f(dir / "stream.wav", std::ios::in | std::ios::out | std::ios::binary);
    std::string head(4096, '\0');
    f.read(head.data(), static_cast<std::streamsize>(head.size()));
    f.clear();
    const size_t data = head.find("data");
    ASSERT_NE(data, std::string::npos);
    const char ones[4] = {'\xff', '\xff', '\xff', '\xff'};
    f.seekp(4);
    f.write(ones, 4);
    f.seekp(static_cast<std::streamoff>(data + 4));
    f.write(ones, 4);
  }
  // An MP3 with a run of damaged frames in the middle: the decoder conceals it and goes on.
  MakeWithFfmpeg(dir / "damaged.mp3", "-c:a libmp3lame -b:a 128k");
  {
    std::fstream f(dir / "damaged.mp3", std::ios::in | std::ios::out | std::ios::binary);
    f.seekp(static_cast<std::streamoff>(fs::file_size(dir / "damaged.mp3") / 2));
    const std::string zeros(3000, '\0');
    f.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  }
  names += " " + Quote(dir / "stream.wav") + " " + Quote(dir / "damaged.mp3");
  fs::create_directories(dir / "out");
  const CliResult r =
      RunCli(profile, "convert --format wav --no-settings --out " + Quote(dir / "out") + names);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_FALSE(Has(r.out, "breaks off")) << r.out;
  for (const auto& e : fs::directory_iterator(dir / "out")) {
    SCOPED_TRACE(e.path().string());
    const std::optional<double> seconds = ProbedSeconds(e.path());
    ASSERT_TRUE(seconds);
    // The damaged stretch of the MP3 is left out (its frames are dropped): 0.18 s.
    EXPECT_NEAR(*seconds, 10.0, 0.25);
  }
}

TEST(DamagedSources, AnMp3CutInItsLastFrameFails) {
  if (!testing::ToolAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  TempFolder dir;
  TempFolder profile;
  // Constant bit rate without a Xing frame: nothing states the length, the cut frame tells.
  MakeWithFfmpeg(dir / "cbr.mp3", "-c:a libmp3lame -b:a 128k -write_xing 0", 3);
  fs::resize_file(dir / "cbr.mp3", fs::file_size(dir / "cbr.mp3") - 200);
  const CliResult r = RunCli(profile, "convert --format wav --no-settings --out " +
                                          Quote(dir.path()) + " " + Quote(dir / "cbr.mp3"));
  EXPECT_EQ(r.status, 1) << r.out;
  EXPECT_TRUE(Has(r.out, "Conversion Failure (the source breaks off at 0:0")) << r.out;
}

TEST(DamagedSources, AChainedOggConvertsEveryLinkWhateverItsFormat) {
  if (!testing::ToolAvailable("ffmpeg") || !testing::ToolAvailable("ffprobe")) {
    GTEST_SKIP() << "ffmpeg and ffprobe are needed";
  }
  TempFolder dir;
  TempFolder profile;
  // Mono 44.1 kHz for 3 s, then stereo 22.05 kHz for 2 s, chained into one file.
  const auto link = [&](const std::string& name, int rate, int channels, int seconds) {
    const std::string cmd =
        "ffmpeg -nostdin -v error -y -f lavfi -i " +
        Quote("sine=f=330:d=" + std::to_string(seconds) + ":sample_rate=" + std::to_string(rate)) +
        " -ac " + std::to_string(channels) + " -c:a libvorbis " + Quote(dir / name);
    ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
  };
  link("a.ogg", 44100, 1, 3);
  link("b.ogg", 22050, 2, 2);
  ASSERT_EQ(std::system(("cat " + Quote(dir / "a.ogg") + " " + Quote(dir / "b.ogg") + " > " +
                         Quote(dir / "chain.ogg"))
                            .c_str()),
            0);
  for (const char* format : {"wav", "mp3"}) {
    SCOPED_TRACE(format);
    fs::create_directories(dir / format);
    const CliResult r =
        RunCli(profile, std::string("convert --format ") + format + " --no-settings --out " +
                            Quote(dir / format) + " " + Quote(dir / "chain.ogg"));
    EXPECT_EQ(r.status, 0) << r.out;
    const std::optional<double> seconds =
        ProbedSeconds((fs::path(dir / format) / (std::string("chain.") + format)).string());
    ASSERT_TRUE(seconds);
    EXPECT_NEAR(*seconds, 5.0, 0.1);
  }
  // The second link is there as sound: its last tenth is not silence.
  const std::optional<std::vector<int16_t>> samples =
      testing::FfmpegDecode16(dir / "wav/chain.wav");
  ASSERT_TRUE(samples);
  int loud = 0;
  for (size_t i = samples->size() * 9 / 10; i < samples->size(); ++i) {
    if ((*samples)[i] > 1500 || (*samples)[i] < -1500) ++loud;
  }
  EXPECT_GT(loud, 100);
}

// One system call as strace writes it: name(args) = result.
struct CallLine {
  std::string name;
  std::vector<std::string> paths;  // the quoted arguments
  int firstNumber = -1;            // the first argument, when it is a number
  int result = -1;
  bool succeeded = false;
};

CallLine ParseCall(const std::string& line) {
  CallLine call;
  const size_t open = line.find('(');
  const size_t equals = line.rfind(" = ");  // after the arguments, and padding
  if (open == std::string::npos || equals == std::string::npos || equals < open) return call;
  call.name = line.substr(0, open);
  call.result = std::atoi(line.c_str() + equals + 3);
  call.succeeded = line.compare(equals + 3, 1, "-") != 0;
  call.firstNumber = std::isdigit(static_cast<unsigned char>(line[open + 1]))
                         ? std::atoi(line.c_str() + open + 1)
                         : -1;
  for (size_t at = line.find('"', open); at != std::string::npos && at < equals;) {
    const size_t end = line.find('"', at + 1);
    if (end == std::string::npos) break;
    call.paths.push_back(line.substr(at + 1, end - at - 1));
    at = line.find('"', end + 1);
  }
  return call;
}

// Every format's staged output is synced before it is renamed into place, and its folder
// after: a power cut cannot leave a half file under the final name. Read from the system
// calls the batch command makes, under strace.
TEST(DamagedSources, EveryOutputIsOnDiskBeforeItsNameIs) {
  if (!testing::ToolAvailable("strace") || !testing::ToolAvailable("sox")) {
    GTEST_SKIP() << "strace and sox are needed";
  }
  TempFolder dir;
  TempFolder profile;
  ASSERT_EQ(std::system(("sox -n -r 44100 -c 2 -b 16 " + Quote(dir / "tone.wav") +
                         " synth 1 sine 440 vol 0.5")
                            .c_str()),
            0);
  for (const char* format :
       {"wav", "mp3", "ogg", "aac", "m4a", "mp4", "m4b", "amr", "awb", "wma"}) {
    SCOPED_TRACE(format);
    const fs::path out = dir / format;
    fs::create_directories(out);
    const fs::path traces = dir / (std::string(format) + "-trace");
    fs::create_directories(traces);
    // One trace per process (-ff), so that no call is split between two lines.
    const CliResult r =
        RunCli(profile,
               std::string("convert --format ") + format + " --no-settings --out " + Quote(out) +
                   " " + Quote(dir / "tone.wav"),
               "strace -f -ff -qq -o " + Quote(traces / "p") +
                   " -e trace=openat,fsync,fdatasync,rename,renameat2,link env"
                   // The leak check of a sanitizer build cannot work under a tracer.
                   " ASAN_OPTIONS=new_delete_type_mismatch=0:detect_leaks=0");
    if (Has(r.out, "Windows Media")) continue;  // no runtime for WMA in this build
    ASSERT_EQ(r.status, 0) << r.out;
    bool renamed = false;
    bool folderSyncedAfter = false;
    for (const auto& file : fs::directory_iterator(traces)) {
      std::ifstream in(file.path());
      std::map<int, std::string> open;  // which descriptor names which path
      std::vector<std::string> synced;  // in call order
      bool renamedHere = false;
      std::string line;
      while (std::getline(in, line)) {
        const CallLine call = ParseCall(line);
        if (!call.succeeded) continue;
        if (call.name == "openat" && !call.paths.empty()) {
          open[call.result] = call.paths[0];
        } else if (call.name == "fsync" || call.name == "fdatasync") {
          std::string path = open[call.firstNumber];
          while (path.size() > 1 && path.back() == '/') path.pop_back();
          if (renamedHere && path == out.string()) folderSyncedAfter = true;
          synced.push_back(path);
        } else if ((call.name == "rename" || call.name == "renameat2" || call.name == "link") &&
                   !call.paths.empty() && call.paths[0].ends_with(".part")) {
          EXPECT_NE(std::find(synced.begin(), synced.end(), call.paths[0]), synced.end())
              << call.paths[0] << " was renamed before it was synced";
          renamed = renamedHere = true;
        }
      }
    }
    EXPECT_TRUE(renamed) << "no staged output was put in place";
    EXPECT_TRUE(folderSyncedAfter) << "the output folder was not synced after the rename";
  }
}

}  // namespace
}  // namespace sonorell
