// A batch of two-minute WAV files to MP3 at 128 kbit/s through the batch command two files at
// a time, against GNU parallel running LAME's own program two at a time on the same files
// (xargs -P2 when parallel is not installed), in one run; best of three each, taken in turns.
// Usage: sonorell_bench_batch CLI_PATH [files] [seconds per file]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"

namespace fs = std::filesystem;
using bench::Measured;

namespace {

// MP3 files in a folder; a run counts only when every file came out.
int CountMp3(const std::string& folder) {
  int n = 0;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".mp3" && entry.file_size(ec) > 0) ++n;
  }
  return n;
}

void Clear(const std::string& folder) {
  std::error_code ec;
  fs::remove_all(folder, ec);
  fs::create_directories(folder, ec);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [files] [seconds per file]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 16;
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 120;
  const std::string dir = (fs::temp_directory_path() / "sonorell-bench-batch").string();
  const std::string home = dir + "/home";
  const std::string inputs = dir + "/in";
  const std::string ours = dir + "/ours";
  const std::string peer = dir + "/peer";
  fs::create_directories(home);
  fs::create_directories(inputs);

  std::vector<std::string> files;
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "track%02d.wav", i);
    const std::string path = inputs + "/" + name;
    files.push_back(path);
    if (fs::exists(path)) continue;
    // Pink noise, every file its own: every band busy, so no encoder coasts on silence.
    const Measured made =
        bench::RunMeasured({"sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth",
                            std::to_string(seconds), "pinknoise", "vol", "0.5"},
                           home);
    if (made.seconds < 0) {
      std::fprintf(stderr, "sox could not make the inputs\n");
      return 1;
    }
  }

  std::vector<std::string> oursArgs = {cli,         "convert", "--format",    "mp3",
                                       "--bitrate", "128",     "--jobs",      "2",
                                       "--out",     ours,      "--overwrite", "--no-settings"};
  oursArgs.insert(oursArgs.end(), files.begin(), files.end());

  const bool haveParallel = bench::Run("command -v parallel >/dev/null 2>&1");
  std::vector<std::string> peerArgs;
  std::string peerName;
  if (haveParallel) {
    peerName = "parallel -j2 lame";
    peerArgs = {"parallel",         "-j2", "lame", "-b", "128", "--cbr", "--silent", "{}",
                peer + "/{/.}.mp3", ":::"};
    peerArgs.insert(peerArgs.end(), files.begin(), files.end());
  } else {
    peerName = "xargs -P2 lame";
    const std::string list = dir + "/files.txt";
    FILE* f = std::fopen(list.c_str(), "w");
    if (f == nullptr) return 1;
    for (const std::string& p : files) std::fprintf(f, "%s\n", p.c_str());
    std::fclose(f);
    peerArgs = {
        "xargs",
        "-a",
        list,
        "-d",
        "\n",
        "-P2",
        "-n1",
        "sh",
        "-c",
        "exec lame -b 128 --cbr --silent \"$0\" \"" + peer + "/$(basename \"$0\" .wav).mp3\""};
  }

  const std::string length =
      seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
  const std::string job =
      std::to_string(count) + " x " + length + " WAV -> MP3 128k, --jobs 2 vs " + peerName;
  Measured oursBest;
  Measured peerBest;
  std::string failure;
  for (int round = 0; round < 3 && failure.empty(); ++round) {
    for (int which = 0; which < 2 && failure.empty(); ++which) {
      const std::string& out = which == 0 ? ours : peer;
      Clear(out);
      const Measured m = bench::RunMeasured(which == 0 ? oursArgs : peerArgs, home);
      if (m.seconds < 0 || CountMp3(out) != count) {
        failure = which == 0 ? "sonorell-cli convert --jobs 2 --overwrite --no-settings failed"
                             : peerName + " failed";
        break;
      }
      Measured& best = which == 0 ? oursBest : peerBest;
      if (best.seconds < 0 || m.seconds < best.seconds) best.seconds = m.seconds;
      if (best.cpuSeconds == 0 || m.cpuSeconds < best.cpuSeconds) best.cpuSeconds = m.cpuSeconds;
      best.peakKb = std::max(best.peakKb, m.peakKb);
    }
  }
  Clear(ours);
  Clear(peer);
  std::error_code ec;
  fs::remove_all(dir, ec);
  if (!failure.empty()) {
    std::printf("%s: %s\n", job.c_str(), failure.c_str());
    bench::PrintFailedResult(job, failure, 1.10);
    return 1;
  }
  const double ratio = oursBest.seconds / peerBest.seconds;  // below 1: we are faster
  std::printf("%-52s %10s %10s %7s %10s %10s\n", "job", "sonorell s", "peer s", "ratio", "ours KiB",
              "peer KiB");
  std::printf("%-52s %10.3f %10.3f %6.2fx %10ld %10ld\n", job.c_str(), oursBest.seconds,
              peerBest.seconds, ratio, oursBest.peakKb, peerBest.peakKb);
  // On a machine other work shares, the wall times stretch; the processor time shows the
  // work itself.
  std::printf("processor time (user + system): sonorell %.3f s, peer %.3f s, %.2fx\n",
              oursBest.cpuSeconds, peerBest.cpuSeconds, oursBest.cpuSeconds / peerBest.cpuSeconds);
  std::printf("target: within 1.10x of %s: %s\n", peerName.c_str(),
              ratio <= 1.10 ? "met" : "NOT met");
  bench::PrintResult(job, oursBest.seconds, peerBest.seconds, 1.10, oursBest.peakKb);
  return 0;
}
