// One long file on every core: a 60-minute WAV (44.1 kHz stereo pink noise) converted by the
// batch command, which encodes it in chunks on the machine's cores, against the reference
// encoder programs on the same file (each uses one core): lame at the same constant bit rate,
// ffmpeg's AAC encoder at the same bit rate, opusenc at the same bit rate and flac at the same
// level (the last two with their output synced to disk, as ours is). Then the same
// conversion with --no-split on files of one and two minutes, where splitting starts to pay.
// The machine's load average is printed beside every row: the split uses every core, the
// peers one.
// Usage: sonorell_bench_split CLI_PATH [minutes] [only]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench/bench_support.h"

namespace fs = std::filesystem;
using bench::Measured;

namespace {

std::string LoadAverage() {
  std::ifstream in("/proc/loadavg");
  std::string first;
  in >> first;
  return first.empty() ? "?" : first;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [minutes] [only]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int minutes = argc > 2 ? std::atoi(argv[2]) : 60;
  const std::string only = argc > 3 ? argv[3] : "";
  const std::string dir = (fs::temp_directory_path() / "sonorell-bench-split").string();
  const std::string home = dir + "/home";
  const std::string ours = dir + "/ours";
  fs::create_directories(home);
  const auto input = [&](int seconds) {
    const std::string path = dir + "/in-" + std::to_string(seconds) + "s.wav";
    if (!fs::exists(path) && !bench::MakePinkNoiseWav(path, seconds, home)) return std::string();
    return path;
  };
  const auto clear = [&] {
    std::error_code ec;
    fs::remove_all(ours, ec);
    fs::create_directories(ours, ec);
  };
  const std::string cores = std::to_string(std::max(1u, std::thread::hardware_concurrency()));

  struct Job {
    std::string name;
    const char* peerName;
    int seconds;
    std::vector<std::string> ours;  // the input's path is added at the end
    std::vector<std::string> peer;  // "IN" stands for the input's path
    double target;                  // ratio to stay within; 0 for none
  };
  const std::string longFile = std::to_string(minutes) + " min";
  const auto cliArgs = [&](std::vector<std::string> args) {
    std::vector<std::string> all{cli, "convert", "--jobs", cores, "--out", ours};
    all.insert(all.end(), args.begin(), args.end());
    return all;
  };
  const std::vector<Job> jobs{
      {longFile + " -> MP3 128 kbit/s CBR, split",
       "lame",
       minutes * 60,
       cliArgs({"--format", "mp3", "--bitrate", "128"}),
       {"lame", "--quiet", "-b", "128", "--cbr", "IN", ours + "/lame.mp3"},
       0.60},
      {longFile + " -> M4A AAC 128 kbit/s, split",
       "ffmpeg",
       minutes * 60,
       cliArgs({"--format", "m4a", "--bitrate", "128"}),
       {"ffmpeg", "-nostdin", "-v", "error", "-y", "-i", "IN", "-c:a", "aac", "-b:a", "128k",
        ours + "/ffmpeg.m4a"},
       0.625},
      {longFile + " -> Opus 128 kbit/s, split",
       "opusenc+sync",
       minutes * 60,
       cliArgs({"--format", "opus", "--bitrate", "128"}),
       {"sh", "-c", "opusenc --quiet --bitrate 128 \"$0\" \"$1\" && sync \"$1\"", "IN",
        ours + "/opusenc.opus"},
       0.625},
      {longFile + " -> FLAC level 5, split",
       "flac -5+sync",
       minutes * 60,
       cliArgs({"--format", "flac", "--quality", "5"}),
       {"sh", "-c", "flac -s -f -5 -o \"$1\" \"$0\" && sync \"$1\"", "IN", ours + "/flac.flac"},
       1 / 1.4},
      // Where splitting starts: at and above the threshold, split against one pass.
      {"1 min -> MP3 128 kbit/s, split", "one pass", 60,
       cliArgs({"--format", "mp3", "--bitrate", "128"}),
       cliArgs({"--format", "mp3", "--bitrate", "128", "--no-split"}), 0},
      {"2 min -> MP3 128 kbit/s, split", "one pass", 120,
       cliArgs({"--format", "mp3", "--bitrate", "128"}),
       cliArgs({"--format", "mp3", "--bitrate", "128", "--no-split"}), 0},
  };

  std::printf("%-52s %10s %13s %10s %7s %6s\n", ("job (" + cores + " cores)").c_str(), "sonorell s",
              "peer", "peer s", "ratio", "load");
  bool allWithinTarget = true;
  for (Job job : jobs) {
    if (!only.empty() && job.name.find(only) == std::string::npos) continue;
    const std::string in = input(job.seconds);
    if (in.empty()) {
      std::fprintf(stderr, "sox could not make the input\n");
      return 1;
    }
    job.ours.push_back(in);
    for (std::string& a : job.peer) {
      if (a == "IN") a = in;
    }
    // A peer that is ours again (one pass) names the input at the end too.
    if (job.peer.front() == cli) job.peer.push_back(in);
    const std::string load = LoadAverage();
    Measured oursBest;
    Measured peerBest;
    bench::BestOf3InTurns(job.ours, job.peer, home, clear, oursBest, peerBest);
    if (oursBest.seconds < 0 || peerBest.seconds < 0) {
      bench::PrintFailedResult(job.name, "a conversion failed", job.target);
      allWithinTarget = false;
      continue;
    }
    const double ratio = oursBest.seconds / peerBest.seconds;
    const std::string label = job.name + " (" + cores + " cores, load " + load + ")";
    std::printf("%-52s %10.3f %13s %10.3f %6.2fx %6s\n", job.name.c_str(), oursBest.seconds,
                job.peerName, peerBest.seconds, ratio, load.c_str());
    bench::PrintResult(label + " vs " + job.peerName, oursBest.seconds, peerBest.seconds,
                       job.target > 0 ? job.target : 1e9, oursBest.peakKb);
    if (job.target > 0) allWithinTarget = allWithinTarget && ratio <= job.target;
  }
  std::printf("load: the 1-minute load average as the job started\n");
  std::printf("target: at most 0.60x lame, 0.625x ffmpeg and opusenc, 0.714x flac: %s\n",
              allWithinTarget ? "met" : "NOT met");
  clear();
  return 0;
}
