// Decoding throughput of the native readers against sox on the same files, in one run.
// Usage: sonorell_bench_decode [minutes]   (generates its inputs with sox in a temp folder)
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "bench/bench_support.h"

#include "engine/sources/aiff/aiff_reader.h"
#include "engine/sources/au/au_reader.h"
#include "engine/sources/wav/wav_reader.h"

namespace {

using bench::BestOf3;
using bench::Run;

bool DecodeWhole(sonorell::AudioSource& source, const std::string& path, long long& frames) {
  if (!source.Open(path, 0)) return false;
  std::vector<int16_t> l(sonorell::BlockFrames), r(sonorell::BlockFrames);
  frames = 0;
  for (int n; (n = source.Read(l.data(), r.data())) > 0;) frames += n;
  source.Close();
  return frames > 0;
}

struct Case {
  const char* name;
  const char* file;
  const char* soxArgs;  // how sox writes the input
  std::unique_ptr<sonorell::AudioSource> (*make)();
};

}  // namespace

int main(int argc, char** argv) {
  const int minutes = argc > 1 ? std::atoi(argv[1]) : 10;
  const std::string dir = (std::filesystem::temp_directory_path() / "sonorell-bench").string();
  std::filesystem::create_directories(dir);

  const Case cases[] = {
      {"PCM 16-bit stereo WAV", "pcm16.wav", "-r 44100 -c 2 -b 16",
       []() -> std::unique_ptr<sonorell::AudioSource> {
         return std::make_unique<sonorell::WavReader>();
       }},
      {"IMA ADPCM stereo WAV", "ima.wav", "-r 44100 -c 2 -e ima-adpcm",
       []() -> std::unique_ptr<sonorell::AudioSource> {
         return std::make_unique<sonorell::WavReader>();
       }},
      {"PCM 24-bit stereo AIFF", "pcm24.aiff", "-r 48000 -c 2 -b 24",
       []() -> std::unique_ptr<sonorell::AudioSource> {
         return std::make_unique<sonorell::AiffReader>();
       }},
      {"mu-law mono AU", "ulaw.au", "-r 8000 -c 1 -e u-law",
       []() -> std::unique_ptr<sonorell::AudioSource> {
         return std::make_unique<sonorell::AuReader>();
       }},
  };

  std::printf("%-26s %10s %10s %8s\n", "input", "sonorell s", "sox s", "ratio");
  int slower = 0;
  for (const Case& c : cases) {
    const std::string path = dir + "/" + c.file;
    if (!std::filesystem::exists(path) &&
        !Run("sox -q -n " + std::string(c.soxArgs) + " " + path + " synth " +
             std::to_string(minutes * 60) + " pinknoise vol 0.5 2>/dev/null")) {
      std::printf("%-26s could not be generated (is sox installed?)\n", c.name);
      return 1;
    }
    long long frames = 0;
    const double ours = BestOf3([&] {
      auto source = c.make();
      return DecodeWhole(*source, path, frames);
    });
    const double sox = BestOf3([&] { return Run("sox -D " + path + " -t raw /dev/null"); });
    if (ours < 0 || sox < 0) {
      std::printf("%-26s failed to decode\n", c.name);
      return 1;
    }
    // Ratio above 1: we decode faster than sox.
    std::printf("%-26s %10.3f %10.3f %7.2fx\n", c.name, ours, sox, sox / ours);
    bench::PrintResult(std::to_string(minutes) + " min " + c.name + " decoded vs sox", ours, sox,
                       1.0, 0);
    slower += ours > sox;
  }
  std::printf("%d of %zu inputs decoded slower than sox\n", slower, std::size(cases));
  return 0;
}
