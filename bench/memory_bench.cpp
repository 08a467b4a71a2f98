// Peak memory of the batch command converting a long WAV file to MP3 against the same
// conversion of a short one: the sound streams through in blocks, so an hour of audio must
// not need more memory than a minute (within 10%). Peak memory is that of the largest process
// of the command's tree (the parent and its worker), as the kernel accounts it to a waiting
// parent. The long input is about 600 MB and is deleted afterwards.
// Usage: sonorell_bench_memory CLI_PATH [long minutes] [short minutes]
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"

namespace fs = std::filesystem;
using bench::Measured;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [long minutes] [short minutes]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int longMinutes = argc > 2 ? std::max(1, std::atoi(argv[2])) : 60;
  const int shortMinutes = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
  const std::string dir = (fs::temp_directory_path() / "sonorell-bench-memory").string();
  const std::string home = dir + "/home";
  const std::string out = dir + "/out";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(home);
  fs::create_directories(out);

  const std::string job = std::to_string(longMinutes) + " min vs " + std::to_string(shortMinutes) +
                          " min WAV -> MP3 128k, peak memory";
  Measured runs[2];
  const int lengths[2] = {longMinutes, shortMinutes};
  std::string failure;
  for (int i = 0; i < 2 && failure.empty(); ++i) {
    const std::string input = dir + "/in-" + std::to_string(lengths[i]) + "min.wav";
    if (!bench::MakePinkNoiseWav(input, lengths[i] * 60, home)) {
      failure = "sox could not make the input";
      break;
    }
    runs[i] = bench::RunMeasured({cli, "convert", "--format", "mp3", "--bitrate", "128", "--jobs",
                                  "1", "--out", out, "--overwrite", "--no-settings", input},
                                 home);
    if (runs[i].seconds < 0) failure = "sonorell-cli convert failed";
    fs::remove(input, ec);
    fs::remove_all(out, ec);
    fs::create_directories(out, ec);
  }
  fs::remove_all(dir, ec);
  if (!failure.empty()) {
    std::printf("%s: %s\n", job.c_str(), failure.c_str());
    bench::PrintFailedResult(job, failure, 1.10);
    return 1;
  }
  const double ratio =
      static_cast<double>(runs[0].peakKb) / static_cast<double>(std::max(1L, runs[1].peakKb));
  std::printf("%-26s %10s %10s\n", "input", "seconds", "peak KiB");
  std::printf("%-26s %10.3f %10ld\n",
              (std::to_string(longMinutes) + " min 44.1 kHz stereo").c_str(), runs[0].seconds,
              runs[0].peakKb);
  std::printf("%-26s %10.3f %10ld\n",
              (std::to_string(shortMinutes) + " min 44.1 kHz stereo").c_str(), runs[1].seconds,
              runs[1].peakKb);
  std::printf("peak memory, long against short: %.3fx; target: within 1.10x: %s\n", ratio,
              ratio <= 1.10 ? "met" : "NOT met");
  // Here the ratio is of peak memory, the peer being our own short run.
  std::printf("RESULT\t%s\t%.3f\t%.3f\t%.2f\t1.10\t%.1f / %.1f\n", job.c_str(), runs[0].seconds,
              runs[1].seconds, ratio, static_cast<double>(runs[0].peakKb) / 1024.0,
              static_cast<double>(runs[1].peakKb) / 1024.0);
  return 0;
}
