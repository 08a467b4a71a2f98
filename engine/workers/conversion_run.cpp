#include "engine/workers/conversion_run.h"

#include <optional>
#include <set>
#include <vector>

#include "engine/encoders/part_files.h"
#include "engine/encoders/wma/build_profile_list.h"
#include "engine/jobs/conversion_job.h"
#include "engine/jobs/output_formats.h"
#include "engine/workers/album_gains.h"
#include "engine/workers/file_worker.h"
#include "engine/workers/worker_pool.h"
#include "engine/workers/worker_protocol.h"
#include "platform/wmf/wm_runtime.h"

namespace sonorell {
namespace {

std::string WorkerFailure(const WorkerOutcome& o, std::chrono::seconds silenceLimit) {
  switch (o.kind) {
    case WorkerOutcome::Kind::kCrashed:
      return std::string(kStatusConversionFailure) + " (worker crashed: signal " +
             std::to_string(o.signal) + ")";
    case WorkerOutcome::Kind::kTimedOut:
      return std::string(kStatusConversionFailure) + " (timed out after " +
             std::to_string(silenceLimit.count()) + " s)";
    case WorkerOutcome::Kind::kCancelled:
      return kStatusCancelled;
    case WorkerOutcome::Kind::kNotStarted:
      return o.exitStatus == 127
                 ? std::string(kStatusConversionFailure) + " (the worker could not be started)"
                 : std::string(kStatusNotConverted);
    case WorkerOutcome::Kind::kExited:
      break;
  }
  return std::string(kStatusConversionFailure) + " (worker ended without a result)";
}

}  // namespace

void PrepareRunLibraries(const Settings& settings) {
  if (settings.OutputFormat != kOutputWma || !platform::LoadWmRuntime()) return;
  WmaProfileList& list = SharedWmaProfileList();
  if (list.Empty()) BuildProfileList(list);
}

bool RunConversions(const RunPlan& plan, const RunControl& control, const RunEvents& events) {
  const auto finish = [&](size_t i, const FileOutcome& o) {
    if (events.finished) events.finished(i, o);
  };
  std::vector<WorkerJob> jobs;
  std::vector<size_t> fileOfJob;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    const PlannedFile& p = plan.files[i];
    if (!p.refusal.empty()) {
      FileOutcome o;
      o.source = p.file.SourcePath;
      o.status = p.refusal;
      finish(i, o);
      continue;
    }
    WorkerJob job;
    job.body = [&plan, i](int toParent, int cores) {
      return ConvertPlannedFile(plan, i, toParent, cores);
    };
    job.exclusiveKey = p.target;
    job.partFolders = p.partFolders;
    jobs.push_back(std::move(job));
    fileOfJob.push_back(i);
  }
  if (jobs.empty()) return control.cancelRequested && control.cancelRequested();
  PrepareRunLibraries(plan.settings);
  // What a killed run of this machine left in these folders goes before the files are
  // written again.
  std::set<std::string> partFolders;
  for (const WorkerJob& job : jobs)
    partFolders.insert(job.partFolders.begin(), job.partFolders.end());
  RemoveStaleParts({partFolders.begin(), partFolders.end()});

  std::vector<std::optional<WorkerResult>> results(jobs.size());
  std::vector<AlbumTrack> albumTracks;
  WorkerPoolCallbacks callbacks;
  callbacks.started = [&](size_t j, int) {
    if (events.started) events.started(fileOfJob[j]);
  };
  callbacks.line = [&](size_t j, const std::string& line) {
    if (const std::optional<int> percent = ParseProgressLine(line)) {
      if (events.percent) events.percent(fileOfJob[j], *percent);
    } else if (std::optional<WorkerResult> r = ParseResultLine(line)) {
      results[j] = std::move(r);
    }
  };
  callbacks.finished = [&](size_t j, const WorkerOutcome& w) {
    const size_t i = fileOfJob[j];
    FileOutcome o;
    o.source = plan.files[i].file.SourcePath;
    o.secondsTaken = w.seconds;
    const std::optional<WorkerResult>& r = results[j];
    // A worker that reported before it was stopped has told the whole story (a file it
    // finished just as Cancel came is converted and stays).
    if (r &&
        (w.kind == WorkerOutcome::Kind::kExited || w.kind == WorkerOutcome::Kind::kCancelled)) {
      o.converted = r->converted;
      o.status = r->status;
      o.target = r->converted ? r->target : std::string();
      o.durationSeconds = r->sourceSeconds;
      if (o.converted && !r->loudness.Empty()) {
        albumTracks.push_back({i, o.source, o.target, r->loudness, r->peak});
      }
    } else {
      o.status = WorkerFailure(w, control.silenceLimit);
      if (r) o.durationSeconds = r->sourceSeconds;
    }
    finish(i, o);
  };
  bool cancelled = false;
  callbacks.cancelRequested = LatchedCancel(control.cancelRequested, cancelled);

  WorkerPoolOptions options;
  options.parallel = control.parallel;
  options.silenceLimit = control.silenceLimit;
  options.cancelGrace = control.cancelGrace;
  options.niceIncrement = control.niceIncrement;
  RunWorkerPool(jobs, options, callbacks);
  if (!cancelled && ReplayGainMode(plan.settings, plan.settings.OutputFormat) == 2) {
    for (const AlbumGainFailure& f :
         WriteAlbumGains(albumTracks, GainTagWriterFor(plan.settings.OutputFormat))) {
      if (events.noted) events.noted(f.index, "the album gain could not be written: " + f.note);
    }
  }
  return cancelled;
}

}  // namespace sonorell
