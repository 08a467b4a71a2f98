// Adding a folder tree of many small files to the list, in one run: the window's way (the
// probes in worker processes forked from this one, as many at once as the machine has cores)
// against intake probing one file after the other in this process, as the window did before;
// best of three each, taken in turns. And against ffprobe run on the same files one after the
// other (timed on a sample of them).
// Usage: sonorell_bench_intake [files]   (generates a tree of small files with ffmpeg)
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "engine/jobs/decoding_libraries.h"
#include "engine/jobs/file_intake.h"
#include "engine/jobs/input_types.h"
#include "engine/workers/probe_run.h"
#include "settings/files_at_once.h"

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

// What one way of adding the folder gave.
struct Added {
  int rows = 0;
  int updates = 0;
};

// The folder added as the window adds it (CMainDlg::LoadPathsInWorkers): the search here, the
// probes in workers, their answers handed to the list through a PathProbe. The window's list
// fills while its helper probes; here the probes come first, which costs at most the listing.
Added AddInWorkers(const std::string& folder, int parallel) {
  sonorell::FileList list;
  CountingProgress progress;
  SilentHost host;
  const std::vector<std::string> paths =
      sonorell::CollectDroppedPaths({folder}, false, {}, &progress);
  // The list starts empty, so every path is probed.
  std::vector<std::optional<sonorell::ProbeReport>> reports(paths.size());
  sonorell::ProbeControl control;
  control.parallel = parallel;
  sonorell::RunProbes(paths, control, [&](const sonorell::ProbeReport& r) {
    if (r.index < reports.size()) reports[r.index] = r;
  });
  const sonorell::PathProbe probe = [&](size_t i,
                                        std::string& note) -> std::optional<sonorell::SourceFile> {
    const std::optional<sonorell::ProbeReport>& r = reports[i];
    if (!r || !r->opened) {
      if (r && !r->note.empty()) note = r->note;
      return std::nullopt;
    }
    sonorell::SourceFile file = r->file;
    file.SourcePath = paths[i];
    file.InputType = sonorell::InputTypeForPath(paths[i]);
    return file;
  };
  sonorell::LoadFileList(list, paths, progress, host, {}, probe);
  return {list.Count(), progress.updates};
}

// The folder added with every file probed in this process, one after the other.
Added AddInProcess(const std::string& folder) {
  sonorell::FileList list;
  CountingProgress progress;
  SilentHost host;
  const std::vector<std::string> paths =
      sonorell::CollectDroppedPaths({folder}, false, {}, &progress);
  sonorell::LoadFileList(list, paths, progress, host);
  return {list.Count(), progress.updates};
}

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

  // As many probes at once as the window starts with: one per core. Each way's processor time
  // is that of this process and of the workers it waited for.
  const int parallel = sonorell::DefaultFilesAtOnce();
  Added inWorkers;
  Added inProcess;
  const auto timed = [](Added& added, double& cpu, const auto& add) {
    const double before = bench::TreeCpuSeconds(getpid());
    added = add();
    const double used = bench::TreeCpuSeconds(getpid()) - before;
    cpu = cpu == 0 ? used : std::min(cpu, used);
    return added.rows > 0;
  };
  double workersCpu = 0;
  double inProcessCpu = 0;
  const std::vector<double> times = bench::BestInTurns(
      3, {},
      {[&] {
         return timed(inWorkers, workersCpu, [&] { return AddInWorkers(dir.string(), parallel); });
       },
       [&] { return timed(inProcess, inProcessCpu, [&] { return AddInProcess(dir.string()); }); }});
  const double ours = times[0];
  const double before = times[1];

  // ffprobe starts a process per file, which would take minutes for the whole tree: it runs
  // on an even sample of the files (one in ten of 2000), once, and its time is scaled up.
  const size_t step = std::max<size_t>(1, files.size() / 200);
  const std::string list = (dir / "files.txt").string();
  size_t sampled = 0;
  {
    FILE* f = std::fopen(list.c_str(), "w");
    if (f == nullptr) return 1;
    for (size_t i = 0; i < files.size(); i += step, ++sampled) {
      std::fprintf(f, "%s\n", files[i].c_str());
    }
    std::fclose(f);
  }
  const auto peerStart = bench::Clock::now();
  const bool peerRan = bench::Run(
      "while IFS= read -r f; do ffprobe -v error -show_entries format=duration "
      "-of csv=p=0 \"$f\" >/dev/null; done < '" +
      list + "'");
  const double peer = peerRan ? bench::Seconds(peerStart) * static_cast<double>(files.size()) /
                                    static_cast<double>(sampled)
                              : -1;

  const std::string job = std::to_string(count) + " small files added from a folder tree";
  std::printf("%-64s %10s %14s\n", job.c_str(), "seconds", "processor s");
  std::printf(
      "%-64s %10.3f %14.3f\n",
      ("  probes in " + std::to_string(parallel) + " workers at once (the window now)").c_str(),
      ours, workersCpu);
  std::printf("%-64s %10.3f %14.3f\n", "  probed one by one in this process (before)", before,
              inProcessCpu);
  std::printf("%-64s %10.3f\n",
              ("  ffprobe on each file, one after the other (" + std::to_string(sampled) +
               " timed, scaled)")
                  .c_str(),
              peer);
  std::printf(
      "rows added: %d (workers), %d (in this process) of %d; progress window updated %d "
      "times\n",
      inWorkers.rows, inProcess.rows, count, inWorkers.updates);
  const bool allRows = inWorkers.rows == count && inProcess.rows == count;
  std::printf("target: no slower than in this process: %.3fx, %s\n", ours / before,
              ours <= before && allRows ? "met" : "NOT met");
  std::printf("target: at most 2x the time of ffprobe one file after the other: %.3fx, %s\n",
              ours / peer, ours <= 2 * peer && allRows ? "met" : "NOT met");
  const bool failed = ours < 0 || !allRows;
  if (failed) {
    bench::PrintFailedResult(job + ", workers vs in-process", "not every file was listed", 1.0);
  } else {
    bench::PrintResult(job + ", workers vs in-process", ours, before, 1.0, 0);
    bench::PrintResult(std::to_string(count) + " small files added in workers vs ffprobe each",
                       ours, peer, 2.0, 0);
  }
  fs::remove_all(dir, ec);
  sonorell::StopDecodingLibraries();
  return failed ? 1 : 0;
}
