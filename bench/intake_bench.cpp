// Adding a folder tree of many small files to the list, against ffprobe run on the same
// files one after the other, in one run.
// Usage: sonorell_bench_intake [files]   (generates a tree of small files with ffmpeg)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/jobs/decoding_libraries.h"
#include "engine/jobs/file_intake.h"

namespace {

namespace fs = std::filesystem;

// A progress window nobody looks at; counts its updates so the bench shows they happen.
struct CountingProgress : sonorell::IntakeProgress {
  void SetLine(const std::string&) override { ++updates; }
  void SetBarRange(int) override {}
  void StepBar() override {}
  void PumpMessages() override {}
  bool CancelRequested() const override { return false; }
  int updates = 0;
};

struct SilentHost : sonorell::IntakeHost {
  void SetMainWindowEnabled(bool) override {}
  void RowAdded(int) override {}
  void ShowWarning(const std::string&) override {}
};

}  // namespace

int main(int argc, char** argv) {
  const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
  const fs::path dir = fs::temp_directory_path() / "sonorell-bench-intake";
  std::error_code ec;
  fs::remove_all(dir, ec);
  fs::create_directories(dir, ec);
  const std::string kinds[] = {"wav", "flac", "mp3", "ogg"};
  for (const std::string& k : kinds) {
    if (!bench::Run("ffmpeg -nostdin -v error -y -f lavfi -i sine=d=0.5 -ac 2 " +
                    (dir / ("seed." + k)).string())) {
      std::fprintf(stderr, "ffmpeg could not write the %s seed\n", k.c_str());
      return 1;
    }
  }
  std::vector<std::string> files;
  for (int i = 0; i < count; ++i) {
    const fs::path folder =
        dir / ("album" + std::to_string(i / 100)) / ("disc" + std::to_string(i % 3));
    fs::create_directories(folder, ec);
    const std::string& k = kinds[static_cast<size_t>(i) % 4];
    const fs::path file = folder / ("track" + std::to_string(i) + "." + k);
    fs::copy_file(dir / ("seed." + k), file, ec);
    files.push_back(file.string());
  }
  for (const std::string& k : kinds) fs::remove(dir / ("seed." + k), ec);
  std::string error;
  if (!sonorell::StartDecodingLibraries(error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    return 1;
  }

  int rows = 0;
  int updates = 0;
  const double ours = bench::BestOf3([&] {
    sonorell::FileList list;
    CountingProgress progress;
    SilentHost host;
    const std::vector<std::string> paths =
        sonorell::CollectDroppedPaths({dir.string()}, false, {}, &progress);
    sonorell::LoadFileList(list, paths, progress, host);
    rows = list.Count();
    updates = progress.updates;
    return rows > 0;
  });
  const std::string list = (dir / "files.txt").string();
  {
    FILE* f = std::fopen(list.c_str(), "w");
    if (f == nullptr) return 1;
    for (const std::string& p : files) std::fprintf(f, "%s\n", p.c_str());
    std::fclose(f);
  }
  // One run: ffprobe starts a process per file and takes minutes for the whole tree.
  const auto peerStart = std::chrono::steady_clock::now();
  const bool peerRan = [&] {
    return bench::Run(
        "while IFS= read -r f; do ffprobe -v error -show_entries format=duration "
        "-of csv=p=0 \"$f\" >/dev/null; done < '" +
        list + "'");
  }();
  const double peer = peerRan ? bench::Seconds(peerStart) : -1;
  std::printf("%-44s %10s %10s %7s\n", "job", "sonorell s", "ffprobe s", "ratio");
  std::printf("%-44s %10.3f %10.3f %6.2fx\n",
              (std::to_string(count) + " small files added from a folder tree").c_str(), ours, peer,
              ours / peer);
  bench::PrintResult(std::to_string(count) + " small files added vs ffprobe each", ours, peer, 2.0,
                     0);
  std::printf("rows added: %d of %d; progress window updated %d times\n", rows, count, updates);
  std::printf("target: at most 2x the time of ffprobe one file after the other: %s\n",
              ours <= 2 * peer && rows == count ? "met" : "NOT met");
  fs::remove_all(dir, ec);
  sonorell::StopDecodingLibraries();
  return 0;
}
