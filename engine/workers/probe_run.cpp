#include "engine/workers/probe_run.h"

#include <algorithm>
#include <csignal>

#include "engine/jobs/file_intake.h"
#include "engine/workers/file_worker.h"
#include "engine/workers/worker_pool.h"
#include "platform/files/write_all.h"

namespace sonorell {
namespace {

// Paths per worker: enough that forking costs nothing beside the probes, few enough that
// every worker gets work until near the end.
constexpr size_t kMaxShare = 64;

int ProbeShare(const std::vector<std::string>& paths, const std::vector<size_t>& share,
               int toParent) {
  std::signal(SIGPIPE, SIG_IGN);
  for (const size_t index : share) {
    const std::string& path = paths[index];
    ApplyTestFault("probe", path);
    ProbeReport report;
    report.index = index;
    if (std::optional<SourceFile> file = ProbeSourceFile(path, report.note)) {
      report.opened = true;
      report.file = std::move(*file);
    }
    const std::string line = ProbedLine(report) + "\n";
    if (!platform::WriteAll(toParent, line.data(), line.size())) return 1;
  }
  return 0;
}

std::vector<std::vector<size_t>> Shares(const std::vector<size_t>& indexes, int parallel) {
  const size_t workers = static_cast<size_t>(std::max(1, parallel));
  const size_t size = std::clamp<size_t>(indexes.size() / (workers * 4), 1, kMaxShare);
  std::vector<std::vector<size_t>> shares;
  for (size_t i = 0; i < indexes.size(); i += size) {
    shares.emplace_back(
        indexes.begin() + static_cast<ptrdiff_t>(i),
        indexes.begin() + static_cast<ptrdiff_t>(std::min(i + size, indexes.size())));
  }
  return shares;
}

}  // namespace

bool RunProbes(const std::vector<std::string>& paths, const ProbeControl& control,
               const std::function<void(const ProbeReport&)>& onReport) {
  std::vector<size_t> pending(paths.size());
  for (size_t i = 0; i < paths.size(); ++i) pending[i] = i;
  std::vector<bool> reported(paths.size(), false);
  bool cancelled = false;
  const auto report = [&](const ProbeReport& r) {
    if (r.index >= paths.size() || reported[r.index]) return;
    reported[r.index] = true;
    if (onReport) onReport(r);
  };

  // Each round gives the pending paths out in shares; a share whose worker died comes back
  // without the path it was probing, which is the one that killed it.
  while (!pending.empty() && !cancelled) {
    const std::vector<std::vector<size_t>> shares = Shares(pending, control.parallel);
    pending.clear();
    std::vector<WorkerJob> jobs;
    for (const std::vector<size_t>& share : shares) {
      WorkerJob job;
      job.body = [&paths, &share](int toParent, int) { return ProbeShare(paths, share, toParent); };
      jobs.push_back(std::move(job));
    }
    WorkerPoolCallbacks callbacks;
    callbacks.line = [&](size_t, const std::string& line) {
      if (const std::optional<ProbeReport> r = ParseProbedLine(line)) report(*r);
    };
    callbacks.finished = [&](size_t j, const WorkerOutcome& w) {
      if (w.kind == WorkerOutcome::Kind::kCancelled ||
          (w.kind == WorkerOutcome::Kind::kNotStarted && w.exitStatus != 127)) {
        return;
      }
      // A worker that died took the path it was probing with it; the paths after that one
      // were never tried and go to the next round.
      const bool died =
          w.kind == WorkerOutcome::Kind::kCrashed || w.kind == WorkerOutcome::Kind::kTimedOut;
      bool culpritFound = false;
      for (const size_t index : shares[j]) {
        if (reported[index]) continue;
        if (died && culpritFound) {
          pending.push_back(index);
          continue;
        }
        culpritFound = true;
        ProbeReport failed;
        failed.index = index;
        report(failed);
      }
    };
    callbacks.cancelRequested = LatchedCancel(control.cancelRequested, cancelled);
    WorkerPoolOptions options;
    options.parallel = control.parallel;
    options.silenceLimit = control.silenceLimit;
    options.cancelGrace = std::chrono::milliseconds(500);
    RunWorkerPool(jobs, options, callbacks);
    std::sort(pending.begin(), pending.end());
  }
  return cancelled;
}

}  // namespace sonorell
