// A batch of WAV files to MP3 at 128 kbit/s through the batch command two files at a time,
// against GNU parallel running LAME's own program two at a time on the same files (xargs -P2
// when parallel is not installed), in one run; best of three each, taken in turns. Our outputs
// reach the disk before they are renamed into place, so each of the peer's jobs syncs its
// output too (coreutils sync FILE); the peer without syncing is timed as well and shown beside.
// Every process below each program is sampled for its proportional set size (PSS), which is
// the per-worker peak memory of the table.
// Usage: sonorell_bench_batch CLI_PATH [files] [seconds per file] [target ratio]
//   bench/run: 400 two-second clips within 1.15x, 16 two-minute files within 1.05x.
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

// LAME's program on every file, two at a time, writing into out; with synced, each job then
// syncs its output to disk. list names the files one a line, for xargs.
std::vector<std::string> PeerArgs(bool haveParallel, bool synced,
                                  const std::vector<std::string>& files, const std::string& out,
                                  const std::string& list) {
  if (haveParallel) {
    // parallel hands each command line to a shell, quoting what it puts in for {} and {/.}.
    const std::string target = "'" + out + "'/{/.}.mp3";
    std::vector<std::string> args = {
        "parallel", "-j2",
        "lame -b 128 --cbr --silent {} " + target + (synced ? " && sync " + target : ""), ":::"};
    args.insert(args.end(), files.begin(), files.end());
    return args;
  }
  return {"xargs",
          "-a",
          list,
          "-d",
          "\n",
          "-P2",
          "-n1",
          "sh",
          "-c",
          "o=\"" + out +
              "/$(basename \"$0\" .wav).mp3\"; lame -b 128 --cbr --silent \"$0\" \"$o\"" +
              (synced ? " && sync \"$o\"" : "")};
}

// One program of the comparison and the name its workers run under.
struct Contender {
  std::string name;
  std::vector<std::string> args;
  std::string out;
  std::string workerName;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [files] [seconds per file] [target ratio]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int count = argc > 2 ? std::max(1, std::atoi(argv[2])) : 16;
  const int seconds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 120;
  const double target = argc > 4 ? std::atof(argv[4]) : 1.05;
  const std::string dir =
      (fs::temp_directory_path() /
       ("sonorell-bench-batch-" + std::to_string(count) + "x" + std::to_string(seconds) + "s"))
          .string();
  const std::string home = dir + "/home";
  const std::string inputs = dir + "/in";
  fs::create_directories(home);
  fs::create_directories(inputs);

  std::vector<std::string> files;
  for (int i = 1; i <= count; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "track%03d.wav", i);
    const std::string path = inputs + "/" + name;
    files.push_back(path);
    if (!fs::exists(path) && !bench::MakePinkNoiseWav(path, seconds, home)) {
      std::fprintf(stderr, "sox could not make the inputs\n");
      return 1;
    }
  }
  const std::string list = dir + "/files.txt";
  {
    FILE* f = std::fopen(list.c_str(), "w");
    if (f == nullptr) return 1;
    for (const std::string& p : files) std::fprintf(f, "%s\n", p.c_str());
    std::fclose(f);
  }

  std::vector<std::string> oursArgs = {cli,         "convert",     "--format",    "mp3",
                                       "--bitrate", "128",         "--jobs",      "2",
                                       "--out",     dir + "/ours", "--overwrite", "--no-settings"};
  oursArgs.insert(oursArgs.end(), files.begin(), files.end());
  const bool haveParallel = bench::Run("command -v parallel >/dev/null 2>&1");
  const std::string peerName = haveParallel ? "parallel -j2 lame" : "xargs -P2 lame";
  const std::vector<Contender> contenders = {
      {"sonorell-cli convert --jobs 2 --overwrite --no-settings", oursArgs, dir + "/ours",
       "sonorell-cli"},
      {peerName + " with sync", PeerArgs(haveParallel, true, files, dir + "/peer", list),
       dir + "/peer", "lame"},
      {peerName + " without sync", PeerArgs(haveParallel, false, files, dir + "/peer", list),
       dir + "/peer", "lame"}};
  std::vector<Measured> bests(contenders.size());

  const std::string length =
      seconds % 60 == 0 ? std::to_string(seconds / 60) + " min" : std::to_string(seconds) + " s";
  const std::string job = std::to_string(count) + " x " + length +
                          " WAV -> MP3 128k, --jobs 2 vs " + peerName + "+sync";
  std::string failure;
  for (int round = 0; round < 3 && failure.empty(); ++round) {
    for (size_t i = 0; i < contenders.size(); ++i) {
      const Contender& c = contenders[i];
      bench::ClearFolder(c.out);
      const Measured m = bench::RunMeasured(c.args, home, {true, c.workerName});
      if (m.seconds < 0 || bench::CountMp3(c.out) != count) {
        failure = c.name + " failed";
        break;
      }
      Measured& best = bests[i];
      if (best.seconds < 0 || m.seconds < best.seconds) best.seconds = m.seconds;
      if (best.cpuSeconds == 0 || m.cpuSeconds < best.cpuSeconds) best.cpuSeconds = m.cpuSeconds;
      best.peakKb = std::max(best.peakKb, m.peakKb);
      best.workerPssKb = std::max(best.workerPssKb, m.workerPssKb);
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
  if (!failure.empty()) {
    std::printf("%s: %s\n", job.c_str(), failure.c_str());
    bench::PrintFailedResult(job, failure, target);
    return 1;
  }
  const Measured& ours = bests[0];
  const Measured& peer = bests[1];
  const Measured& unsynced = bests[2];
  const double ratio = ours.seconds / peer.seconds;  // below 1: we are faster
  std::printf("%-62s %10s %10s %7s %10s %10s\n", "job", "sonorell s", "peer s", "ratio", "ours KiB",
              "peer KiB");
  std::printf("%-62s %10.3f %10.3f %6.2fx %10ld %10ld\n", job.c_str(), ours.seconds, peer.seconds,
              ratio, ours.peakKb, peer.peakKb);
  std::printf("the peer without syncing its outputs: %.3f s (ours against it: %.2fx)\n",
              unsynced.seconds, ours.seconds / unsynced.seconds);
  // On a machine other work shares, the wall times stretch; the processor time shows the
  // work itself.
  std::printf(
      "processor time (user + system): sonorell %.3f s, peer %.3f s, %.2fx; peer without sync "
      "%.3f s\n",
      ours.cpuSeconds, peer.cpuSeconds, ours.cpuSeconds / peer.cpuSeconds, unsynced.cpuSeconds);
  std::printf(
      "peak memory per worker (PSS, every worker sampled every 20 ms): sonorell %.1f MiB, "
      "lame %.1f MiB\n",
      static_cast<double>(ours.workerPssKb) / 1024.0,
      static_cast<double>(peer.workerPssKb) / 1024.0);
  std::printf("target: within %sx of %s with sync: %s\n", bench::TargetText(target).c_str(),
              peerName.c_str(), ratio <= target ? "met" : "NOT met");
  bench::PrintResult(job, ours.seconds, peer.seconds, target, ours.workerPssKb,
                     bench::Peak::kPerWorkerPss);
  return 0;
}
