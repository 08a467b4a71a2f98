// The batch command as a script sees it: its flags and exit statuses, the dry run, the
// JSON report, --verify, the probe command, and Ctrl+C with a report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/cli_runner.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::CliResult;
using testing::Has;
using testing::RunCli;
using testing::TempFolder;
using testing::WriteFileBytes;
constexpr auto& Quote = testing::ShellQuote;

void MakeTone(const std::string& path, double seconds, int rate = 44100, int channels = 2) {
  const std::string cmd = "sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
                          " -b 16 " + Quote(path) + " synth " + std::to_string(seconds) +
                          " sine 440 vol 0.5";
  ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
}

std::set<std::string> Tree(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& e : fs::recursive_directory_iterator(folder)) {
    names.insert(fs::relative(e.path(), folder).string());
  }
  return names;
}

// Runs a short Python program over a JSON file (the report or probe output) and returns what
// it prints; a document that does not parse makes it fail.
std::optional<std::string> PythonOverJson(const std::string& jsonFile, const std::string& code) {
  return testing::CommandOutput("python3 -c " +
                                Quote("import json,sys\nd=json.load(open(sys.argv[1],"
                                      "encoding='utf-8'))\n" +
                                      code) +
                                " " + Quote(jsonFile));
}

TEST(BatchCommand, VersionAndHelpNameEveryFlag) {
  TempFolder profile;
  const CliResult version = RunCli(profile, "--version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("sonorell-cli ", 0), 0u) << version.out;
  const CliResult help = RunCli(profile, "convert --help");
  EXPECT_EQ(help.status, 0);
  for (const char* flag :
       {"--format",      "--out",     "--mirror",   "--overwrite", "--skip",   "--rename",
        "--no-settings", "--rate",    "--bits",     "--mono",      "--stereo", "--gain",
        "--bitrate",     "--quality", "--jobs",     "--timeout",   "--shard",  "--verify",
        "--report",      "--dry-run", "Exit status"}) {
    EXPECT_TRUE(Has(help.out, flag)) << flag;
  }
  EXPECT_EQ(RunCli(profile, "probe --help").status, 0);
  EXPECT_EQ(RunCli(profile, "--help").status, 0);
}

TEST(BatchCommand, UsageErrorsNameTheProblemAndExitWithTwo) {
  TempFolder profile, in;
  const std::string x = Quote(in / "x.wav");
  const CliResult unknown = RunCli(profile, "convert --format mp3 --frobnicate " + x);
  EXPECT_EQ(unknown.status, 2);
  EXPECT_TRUE(Has(unknown.out, "unknown option --frobnicate")) << unknown.out;
  const CliResult gain = RunCli(profile, "convert --format mp3 --gain 5 " + x);
  EXPECT_EQ(gain.status, 2);
  EXPECT_TRUE(Has(gain.out, "Invalid amplification coefficient. It's betwen 10 and 3000."));
  for (const char* bad :
       {"--jobs 0", "--jobs 257", "--jobs two", "--timeout 0", "--timeout -3", "--shard 0/3",
        "--shard 4/3", "--shard 3", "--shard 1/0", "--overwrite --skip", "--skip --rename",
        "--report", "--report /nonexistent/sonorell/r.json", "--bitrate 7", "--rate 12345"}) {
    const CliResult r = RunCli(profile, std::string("convert --format mp3 ") + bad + " " + x);
    EXPECT_EQ(r.status, 2) << bad << "\n" << r.out;
  }
  EXPECT_TRUE(Has(RunCli(profile, "convert --format mp3 --jobs 0 " + x).out,
                  "--jobs needs a number from 1 to 256"));
  EXPECT_EQ(RunCli(profile, "probe").status, 2);
  EXPECT_EQ(RunCli(profile, "probe --tabular " + x).status, 2);
  // Nothing of a refused command line touches the disk.
  EXPECT_TRUE(Tree(in.path()).empty());
}

TEST(BatchCommand, DryRunPrintsTargetsAndCreatesNothing) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  fs::create_directories(in / "album");
  MakeTone(in / "album/a.wav", 0.2);
  fs::copy_file(in / "album/a.wav", in / "album/a.aiff");
  MakeTone(in / "b.wav", 0.2);
  WriteFileBytes(out / "b.mp3", "already there");
  const std::string deep = out / "new/deeper";

  const CliResult mirrored = RunCli(profile, "convert --format mp3 --dry-run --mirror --out " +
                                                 Quote(deep) + " " + Quote(in.path()));
  EXPECT_EQ(mirrored.status, 0) << mirrored.out;
  const std::string sub = deep + (in / "album") + "/";
  EXPECT_TRUE(Has(mirrored.out, in / "album/a.aiff" + " -> " + sub + "a.mp3")) << mirrored.out;
  EXPECT_TRUE(Has(mirrored.out, in / "album/a.wav" + " -> " + sub + "a_1.mp3")) << mirrored.out;
  EXPECT_FALSE(fs::exists(out / "new"));

  const CliResult renamed = RunCli(profile, "convert --format mp3 --dry-run --rename --out " +
                                                Quote(out.path()) + " " + Quote(in / "b.wav"));
  EXPECT_TRUE(Has(renamed.out, in / "b.wav" + " -> " + out / "b_1.mp3")) << renamed.out;
  const CliResult skipped = RunCli(profile, "convert --format mp3 --dry-run --skip --out " +
                                                Quote(out.path()) + " " + Quote(in / "b.wav"));
  EXPECT_TRUE(Has(skipped.out, in / "b.wav" + " -> (none): Target exists and skipped"));
  const CliResult replaced = RunCli(profile, "convert --format mp3 --dry-run --overwrite --out " +
                                                 Quote(out.path()) + " " + Quote(in / "b.wav"));
  EXPECT_TRUE(Has(replaced.out, in / "b.wav" + " -> " + out / "b.mp3")) << replaced.out;
  // The built-in defaults write into the documents folder, which a dry run does not create.
  const CliResult defaults =
      RunCli(profile, "convert --format ogg --dry-run --no-settings " + Quote(in / "b.wav"));
  EXPECT_TRUE(Has(defaults.out, in / "b.wav" + " -> " + profile / "Documents/b.ogg"))
      << defaults.out;
  EXPECT_FALSE(fs::exists(profile / "Documents"));

  EXPECT_EQ(Tree(out.path()), (std::set<std::string>{"b.mp3"}));
  EXPECT_EQ(Tree(in.path()),
            (std::set<std::string>{"album", "album/a.aiff", "album/a.wav", "b.wav"}));
  EXPECT_EQ(testing::ReadFileBytes(out / "b.mp3"), "already there");
}

TEST(BatchCommand, ReportListsEveryFileWithItsOutcome) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("python3");
  TempFolder profile, in, out;
  MakeTone(in / "good.wav", 2);
  WriteFileBytes(in / "broken.wav", "RIFF but nothing a decoder could use");
  const std::string report = out / "report.json";
  const CliResult r = RunCli(profile, "convert --format mp3 --jobs 2 --report " + Quote(report) +
                                          " --out " + Quote(out / "mp3") + " " + Quote(in.path()) +
                                          " " + Quote(in / "missing.wav"));
  EXPECT_EQ(r.status, 1) << r.out;
  const auto summary = PythonOverJson(
      report,
      "for o in d: print(o['source'].rsplit('/',1)[-1], o['target'].rsplit('/',1)[-1], "
      "o['converted'], round(o['duration'],1), o['seconds']>=0, o['status'][:18])");
  ASSERT_TRUE(summary) << r.out;
  EXPECT_EQ(*summary,
            "broken.wav  False 0.0 True Conversion Failure\n"
            "good.wav good.mp3 True 2.0 True good.mp3\n"
            "missing.wav  False 0.0 True No such file or fo\n");
  // Written through a temporary file that is gone afterwards.
  EXPECT_EQ(Tree(out.path()), (std::set<std::string>{"mp3", "mp3/good.mp3", "report.json"}));

  // Everything converted: status 0, and the report says so.
  const CliResult ok =
      RunCli(profile, "convert --format wav --report " + Quote(report) + " --out " +
                          Quote(out / "wav") + " " + Quote(in / "good.wav"));
  EXPECT_EQ(ok.status, 0) << ok.out;
  EXPECT_EQ(PythonOverJson(report, "print(len(d), d[0]['converted'], d[0]['status'])"),
            "1 True good.wav\n");
}

TEST(BatchCommand, VerifyFailsATruncatedOrAlteredOutputAndRemovesIt) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  MakeTone(in / "tone.wav", 3);
  for (const std::string format : {"wav", "mp3", "ogg", "m4a"}) {
    const std::string args = "convert --format " + format + " --verify --overwrite --out " +
                             Quote(out.path()) + " " + Quote(in / "tone.wav");
    const CliResult whole = RunCli(profile, args);
    EXPECT_EQ(whole.status, 0) << format << "\n" << whole.out;
    EXPECT_TRUE(fs::exists(out / ("tone." + format))) << format;
    const CliResult cut = RunCli(profile, args, "SONORELL_TEST_TRUNCATE_OUTPUT=1");
    EXPECT_EQ(cut.status, 1) << format << "\n" << cut.out;
    // Half an MP4 file has lost its index and cannot be opened at all; the others break off
    // (a cut data chunk, frame or page) or are short where the cut falls between two.
    const std::string failure = " -> (none): Conversion Failure (verify: ";
    EXPECT_TRUE(format == "m4a" ? Has(cut.out, failure)
                                : Has(cut.out, failure + "the output cannot be read to its end)") ||
                                      Has(cut.out, failure + "output is 1.5 s, source 3.0 s)"))
        << cut.out;
    EXPECT_FALSE(fs::exists(out / ("tone." + format))) << format;
  }
  // A WAV holds the very samples that were encoded, also after a rate change and gain.
  const CliResult flipped = RunCli(profile,
                                   "convert --format wav --rate 22050 --gain 150 --verify --out " +
                                       Quote(out.path()) + " " + Quote(in / "tone.wav"),
                                   "SONORELL_TEST_TRUNCATE_OUTPUT=flip");
  EXPECT_EQ(flipped.status, 1) << flipped.out;
  EXPECT_TRUE(Has(flipped.out, "(verify: the output's samples differ from what was encoded)"))
      << flipped.out;
  EXPECT_TRUE(Tree(out.path()).empty());
  // Without verification the same damage would have gone unnoticed.
  EXPECT_EQ(RunCli(profile,
                   "convert --format wav --out " + Quote(out.path()) + " " + Quote(in / "tone.wav"),
                   "SONORELL_TEST_TRUNCATE_OUTPUT=1")
                .status,
            0);
}

TEST(BatchCommand, SkipMakesARerunResumeAndExitWithZero) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  for (const char* n : {"1.wav", "2.wav", "3.wav"}) MakeTone(in / n, 0.2);
  // A first run that stopped after one file.
  ASSERT_EQ(
      RunCli(profile, "convert --format mp3 --out " + Quote(out.path()) + " " + Quote(in / "2.wav"))
          .status,
      0);
  const CliResult rerun = RunCli(profile, "convert --format mp3 --skip --jobs 3 --out " +
                                              Quote(out.path()) + " " + Quote(in.path()));
  EXPECT_EQ(rerun.status, 0) << rerun.out;
  EXPECT_TRUE(Has(rerun.out, in / "2.wav" + " -> (none): Target exists and skipped"));
  EXPECT_TRUE(Has(rerun.out, "2 of 3 file(s) converted"));
  EXPECT_EQ(Tree(out.path()), (std::set<std::string>{"1.mp3", "2.mp3", "3.mp3"}));
}

TEST(BatchCommand, TwoWorkersWriteWhatOneWrites) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, one, two;
  for (int i = 0; i < 4; ++i) MakeTone(in / ("t" + std::to_string(i) + ".wav"), 0.5 + i * 0.1);
  for (const std::string format : {"mp3", "ogg"}) {
    ASSERT_EQ(RunCli(profile, "convert --format " + format + " --jobs 1 --out " +
                                  Quote(one.path()) + " " + Quote(in.path()))
                  .status,
              0);
    ASSERT_EQ(RunCli(profile, "convert --format " + format + " --jobs 2 --out " +
                                  Quote(two.path()) + " " + Quote(in.path()))
                  .status,
              0);
    for (int i = 0; i < 4; ++i) {
      const std::string name = "t" + std::to_string(i) + "." + format;
      EXPECT_EQ(testing::ReadFileBytes(one / name), testing::ReadFileBytes(two / name)) << name;
    }
  }
}

TEST(BatchCommand, ProgressStaysOffAPipe) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder profile, in, out;
  MakeTone(in / "a.wav", 0.5);
  const CliResult r =
      RunCli(profile, "convert --format mp3 --out " + Quote(out.path()) + " " + Quote(in.path()));
  EXPECT_EQ(r.status, 0);
  EXPECT_FALSE(Has(r.out, "\r")) << r.out;
  EXPECT_FALSE(Has(r.out, "\033[")) << r.out;
  EXPECT_FALSE(Has(r.out, "left")) << r.out;
}

// Ctrl+C in the middle of a batch with a report: whole files only, and the report names
// every file with what became of it.
TEST(BatchCommand, InterruptWritesTheReportOfWhatFinished) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("python3");
  TempFolder profile, in, out;
  for (int i = 0; i < 5; ++i) MakeTone(in / ("long" + std::to_string(i) + ".wav"), 40);
  const std::string report = profile / "report.json";
  std::vector<std::string> args{SONORELL_CLI_PATH, "convert", "--format", "mp3",      "--jobs", "2",
                                "--report",        report,    "--out",    out.path(), in.path()};
  std::vector<std::string> env{"HOME=" + profile.path(), "XDG_CONFIG_HOME=" + (profile / "c"),
                               "PATH=/usr/bin:/bin"};
  std::vector<char*> argv, envp;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()), 0);
  posix_spawn_file_actions_destroy(&actions);
  // Wait for the first output in progress, then interrupt.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  bool writing = false;
  while (!writing && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    for (const std::string& n : Tree(out.path())) writing = writing || Has(n, ".part");
  }
  EXPECT_TRUE(writing);
  ::kill(pid, SIGINT);
  int status = 0;
  ASSERT_EQ(::waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  for (const std::string& n : Tree(out.path())) EXPECT_FALSE(Has(n, ".part")) << n;

  const auto rows = PythonOverJson(
      report, "for o in d: print(o['source'].rsplit('/',1)[-1], o['converted'], o['status'])");
  ASSERT_TRUE(rows);
  size_t converted = 0;
  for (int i = 0; i < 5; ++i) {
    const std::string name = "long" + std::to_string(i);
    const bool done = Has(*rows, name + ".wav True " + name + ".mp3\n");
    const bool stopped = Has(*rows, name + ".wav False Cancelled\n") ||
                         Has(*rows, name + ".wav False Not converted\n");
    EXPECT_TRUE(done != stopped) << *rows;
    EXPECT_EQ(fs::exists(out / (name + ".mp3")), done) << name;
    if (done) {
      EXPECT_GT(fs::file_size(out / (name + ".mp3")), 500000u) << "a whole 40 s MP3";
    }
    converted += done ? 1 : 0;
  }
  EXPECT_LT(converted, 5u) << *rows;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(fs::file_size(in / ("long" + std::to_string(i) + ".wav")), 44 + 40u * 44100 * 4);
  }
}

TEST(BatchCommand, ProbeShowsTheListColumnsAndTagsInAnyScript) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("python3");
  TempFolder profile, in;
  const std::string cyr = in / "песня.mp3";
  const std::string cjk = in / "歌.ogg";
  const auto make = [](const std::string& path, const std::string& title, const std::string& artist,
                       const std::string& extra) {
    const std::string cmd =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=2 -ac 2 " + extra +
        " -metadata title=" + Quote(title) + " -metadata artist=" + Quote(artist) +
        " -metadata album=Альбом -metadata date=1999 -metadata genre=Rock -metadata track=7 " +
        Quote(path);
    return std::system(cmd.c_str()) == 0;
  };
  ASSERT_TRUE(make(cyr, "Катюша", "Хор", "-ar 44100 -b:a 128k"));
  ASSERT_TRUE(make(cjk, "夜明けの歌", "歌手", "-ar 48000 -c:a libvorbis"));
  WriteFileBytes(in / "noise.wav", "not audio at all");
  const std::string locale = "LC_ALL=C.UTF-8";

  const CliResult table = RunCli(profile, "probe " + Quote(cyr) + " " + Quote(cjk), locale);
  EXPECT_EQ(table.status, 0) << table.out;
  EXPECT_TRUE(Has(table.out, "Duration")) << table.out;
  EXPECT_TRUE(Has(table.out, "00:02")) << table.out;
  EXPECT_TRUE(Has(table.out, "44100 Hz")) << table.out;
  EXPECT_TRUE(Has(table.out, "48000 Hz")) << table.out;
  EXPECT_TRUE(Has(table.out, " kbps")) << table.out;
  EXPECT_TRUE(Has(table.out, "Катюша")) << table.out;
  EXPECT_TRUE(Has(table.out, "夜明けの歌")) << table.out;
  EXPECT_TRUE(Has(table.out, "Альбом")) << table.out;
  // Aligned: the frequency column starts at the same screen column on every line, counting
  // a CJK character as two.
  std::vector<size_t> starts;
  size_t lineStart = 0;
  for (size_t nl; (nl = table.out.find('\n', lineStart)) != std::string::npos; lineStart = nl + 1) {
    const std::string line = table.out.substr(lineStart, nl - lineStart);
    const size_t at = std::min(line.find(" Hz"), line.find("Freq"));
    if (at == std::string::npos) continue;
    const std::string before =
        line.substr(0, line.find("Freq") == std::string::npos ? line.rfind(' ', at - 1) + 1 : at);
    size_t width = 0;
    for (size_t i = 0; i < before.size();) {
      const unsigned char c = static_cast<unsigned char>(before[i]);
      const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
      width += len == 3 ? 2 : 1;  // the CJK of this test is all three-byte; Cyrillic two
      i += len;
    }
    starts.push_back(width);
  }
  ASSERT_EQ(starts.size(), 3u) << table.out;
  EXPECT_EQ(starts[0], starts[1]) << table.out;
  EXPECT_EQ(starts[1], starts[2]) << table.out;

  const std::string json = profile / "probe.json";
  const CliResult asJson =
      RunCli(profile, "probe --json " + Quote(in.path()) + " > " + Quote(json), locale);
  EXPECT_EQ(asJson.status, 1) << "noise.wav cannot be read";
  const auto fields = PythonOverJson(
      json,
      "for o in d:\n"
      "  t=o.get('tags',{})\n"
      "  print(o['file'].rsplit('/',1)[-1], o['readable'], o.get('duration'), "
      "o.get('frequency'), o.get('channels'), o.get('type'), t.get('title'), t.get('artist'), "
      "t.get('album'), t.get('track'))");
  ASSERT_TRUE(fields);
  EXPECT_EQ(*fields,
            "noise.wav False None None None None None None None None\n"
            "песня.mp3 True 00:02 44100 Stereo MP3 Катюша Хор Альбом 7\n"
            "歌.ogg True 00:02 48000 Stereo Ogg 夜明けの歌 歌手 Альбом 7\n");
}

// A MIDI file is read through the sound font, as in the window's list: its length is the
// score's.
TEST(BatchCommand, ProbeReadsMidiThroughTheSoundFont) {
  SONORELL_REQUIRE_SAMPLE("train-filled-with-cash.mid");
  TempFolder profile;
  const CliResult r =
      RunCli(profile, "probe " + Quote(testing::SamplePath("train-filled-with-cash.mid")));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_TRUE(Has(r.out, "01:09")) << r.out;
  EXPECT_TRUE(Has(r.out, "MIDI")) << r.out;
}

TEST(BatchCommand, ProbeJsonStaysValidForNamesThatAreNotUtf8) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("python3");
  TempFolder profile, in;
  MakeTone(in / "plain.wav", 0.2);
  const std::string odd = in / "bad\xff\xc3name\"\\\t.wav";
  fs::rename(in / "plain.wav", odd);
  const std::string json = profile / "probe.json";
  const CliResult r = RunCli(profile, "probe --json " + Quote(odd) + " > " + Quote(json));
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(PythonOverJson(json, "print(ascii(d[0]['file'].rsplit('/',1)[-1]), d[0]['type'])"),
            "'bad\\ufffd\\ufffdname\"\\\\\\t.wav' WAV\n");
}

}  // namespace
}  // namespace sonorell
