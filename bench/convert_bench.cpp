// Whole conversions through the batch command against sox on the same input, in one run:
// wall time and peak memory of both. Usage: sonorell_bench_convert CLI_PATH [minutes]
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/bench_support.h"

using bench::BestOf3;
using bench::Measured;

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s CLI_PATH [minutes]\n", argv[0]);
    return 2;
  }
  const std::string cli = argv[1];
  const int minutes = argc > 2 ? std::atoi(argv[2]) : 10;
  const std::string dir = (std::filesystem::temp_directory_path() / "sonorell-bench").string();
  std::filesystem::create_directories(dir + "/ours");
  std::filesystem::create_directories(dir + "/home");

  std::printf("%-34s %10s %10s %7s %10s %10s\n", "job", "sonorell s", "sox s", "ratio", "ours KiB",
              "sox KiB");
  long shortPeak = 0;
  for (int length : {1, minutes}) {
    const std::string input = dir + "/in-" + std::to_string(length) + "min.wav";
    if (!std::filesystem::exists(input)) {
      if (!bench::MakePinkNoiseWav(input, length * 60, dir + "/home")) {
        std::fprintf(stderr, "sox could not make the input\n");
        return 1;
      }
    }
    const Measured ours = BestOf3(
        {cli, "convert", "--format", "wav", "--rate", "48000", "--out", dir + "/ours", input},
        dir + "/home");
    const Measured sox =
        BestOf3({"sox", "-D", input, "-r", "48000", dir + "/sox.wav"}, dir + "/home");
    if (ours.seconds < 0 || sox.seconds < 0) {
      std::fprintf(stderr, "a conversion failed\n");
      return 1;
    }
    const std::string job = std::to_string(length) + " min 44.1 kHz stereo -> 48 kHz WAV";
    // Ratio below 1: we are faster than sox.
    std::printf("%-34s %10.3f %10.3f %6.2fx %10ld %10ld\n", job.c_str(), ours.seconds, sox.seconds,
                ours.seconds / sox.seconds, ours.peakKb, sox.peakKb);
    bench::PrintResult(job + " vs sox", ours.seconds, sox.seconds, 0, ours.peakKb);
    if (length == 1)
      shortPeak = ours.peakKb;
    else
      std::printf("peak memory, %d min against 1 min: %+ld KiB\n", length, ours.peakKb - shortPeak);
    std::filesystem::remove_all(dir + "/ours");
    std::filesystem::create_directories(dir + "/ours");
  }
  return 0;
}
