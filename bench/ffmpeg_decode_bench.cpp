// Decoding throughput of FfmpegSource against the ffmpeg program on the same files, in one
// run. Usage: sonorell_bench_ffmpeg [minutes]   (generates its inputs with ffmpeg)
#include <sys/wait.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"

#include "engine/sources/ffmpeg/ffmpeg_source.h"

namespace {

using bench::BestOf3;
using bench::Run;

bool DecodeWhole(const std::string& path, long long& frames) {
  sonorell::FfmpegSource source;
  if (!source.Open(path, 0)) return false;
  std::vector<int16_t> l(sonorell::BlockFrames), r(sonorell::BlockFrames);
  frames = 0;
  for (int n; (n = source.Read(l.data(), r.data())) > 0;) frames += n;
  return frames > 0;
}

struct Case {
  const char* name;
  const char* file;
  const char* encode;  // how ffmpeg writes the input
};

}  // namespace

int main(int argc, char** argv) {
  const int minutes = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  const std::string dir =
      (std::filesystem::temp_directory_path() / "sonorell-bench-ffmpeg").string();
  std::filesystem::create_directories(dir);

  const Case cases[] = {
      {"MP3 192 kbit/s stereo", "music.mp3", "-c:a libmp3lame -b:a 192k"},
      {"FLAC 16-bit stereo", "music.flac", "-c:a flac"},
  };

  std::printf("%-24s %10s %10s %8s\n", "input", "sonorell s", "ffmpeg s", "ratio");
  int slow = 0;
  for (const Case& c : cases) {
    const std::string path = dir + "/" + std::to_string(minutes) + "min-" + c.file;
    // A chord over soft pink noise: tonal enough for the encoders to work as with music,
    // noisy enough that FLAC cannot shrink it to nothing.
    const std::string source =
        "-f lavfi -i \"sine=f=220:d=" + std::to_string(minutes * 60) +
        "\" -f lavfi -i \"anoisesrc=c=pink:a=0.05:d=" + std::to_string(minutes * 60) +
        "\" -filter_complex \"[0][1]amix=inputs=2,aformat=channel_layouts="
        "stereo\" -ar 44100 ";
    if (!std::filesystem::exists(path) &&
        !Run("ffmpeg -nostdin -v error -y " + source + c.encode + " " + path)) {
      std::printf("%-24s could not be generated (is ffmpeg installed?)\n", c.name);
      return 1;
    }
    long long frames = 0;
    const double ours = BestOf3([&] { return DecodeWhole(path, frames); });
    const double ffmpeg =
        BestOf3([&] { return Run("ffmpeg -nostdin -v error -i " + path + " -f null -"); });
    if (ours < 0 || ffmpeg < 0) {
      std::printf("%-24s failed to decode\n", c.name);
      return 1;
    }
    // Ratio of our time to ffmpeg's: below 1.2 is the aim.
    const double ratio = ours / ffmpeg;
    std::printf("%-24s %10.3f %10.3f %7.2fx  (%lld frames)\n", c.name, ours, ffmpeg, ratio, frames);
    bench::PrintResult(std::to_string(minutes) + " min " + c.name + " decoded vs ffmpeg", ours,
                       ffmpeg, 1.2, 0);
    slow += ratio > 1.2;
  }
  std::printf("%d of %zu inputs decoded more than 1.2x slower than ffmpeg\n", slow,
              std::size(cases));
  return 0;
}
