#include "cli/batch_runner.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <optional>
#include <string>

#include "cli/batch_progress.h"
#include "cli/worker_pool.h"
#include "cli/worker_protocol.h"
#include "engine/jobs/conversion_job.h"
#include "engine/jobs/target_path.h"
#include "engine/paths/path_rules.h"

namespace sonorell {
namespace {

constexpr const char* kNotConverted = "Not converted";

// Sources with the same key must not convert at once, so that the second sees what the
// first wrote: the same target name (folder and stem, in any letter case), and under the
// rename rule also a stem numbered as that rule numbers ("song_2" beside "song"), since
// "song" may be renamed to exactly that target while "song_2" converts.
std::string TargetKey(const std::string& sourcePath, const Settings& settings) {
  std::string base = AsciiLower(PlaceTarget(sourcePath, settings).base);
  if (settings.TargetExistsOpt != kTargetExistsOverwrite &&
      settings.TargetExistsOpt != kTargetExistsSkip) {
    const size_t underscore = base.rfind('_');
    const size_t slash = base.rfind('/');
    const bool afterSlash = slash == std::string::npos || underscore > slash;
    if (underscore != std::string::npos && afterSlash && underscore + 1 < base.size() &&
        base[underscore + 1] != '0' &&
        base.find_first_not_of("0123456789", underscore + 1) == std::string::npos) {
      base.resize(underscore);
    }
  }
  return base;
}

// The folders a worker may stage its output in: the target's, and the documents folder
// the engine falls back to when that one cannot be made.
std::vector<std::string> PartFolders(const std::string& sourcePath, const Settings& settings) {
  std::vector<std::string> folders{PlaceTarget(sourcePath, settings).folder};
  if (const std::optional<TargetPlace> fallback = PlaceFallbackTarget(sourcePath, settings)) {
    folders.push_back(fallback->folder);
  }
  for (std::string& folder : folders) {
    if (folder.empty()) folder = "./";
  }
  return folders;
}

std::string WorkerFailure(const WorkerOutcome& o, int timeoutSeconds) {
  switch (o.kind) {
    case WorkerOutcome::Kind::kCrashed:
      return std::string(kStatusConversionFailure) + " (worker crashed: signal " +
             std::to_string(o.signal) + ")";
    case WorkerOutcome::Kind::kTimedOut:
      return std::string(kStatusConversionFailure) + " (timed out after " +
             std::to_string(timeoutSeconds) + " s)";
    case WorkerOutcome::Kind::kCancelled:
      return kStatusCancelled;
    case WorkerOutcome::Kind::kNotStarted:
      return o.exitStatus == 127
                 ? std::string(kStatusConversionFailure) + " (the worker could not be started)"
                 : std::string(kNotConverted);
    case WorkerOutcome::Kind::kExited:
      break;
  }
  return std::string(kStatusConversionFailure) + " (worker ended without a result)";
}

}  // namespace

std::vector<FileOutcome> RunBatch(const std::vector<BatchEntry>& entries, const ConvertFlags& flags,
                                  const Settings& settings, bool& cancelled) {
  std::vector<WorkerJob> jobs;
  std::vector<FileOutcome> outcomes;
  for (const BatchEntry& e : entries) {
    WorkerJob job;
    job.argv = {"/proc/self/exe", "convert", "--worker"};
    job.argv.insert(job.argv.end(), flags.workerFlags.begin(), flags.workerFlags.end());
    job.argv.insert(job.argv.end(), {"--file-number", std::to_string(e.fileNumber)});
    job.argv.push_back("--");
    job.argv.push_back(e.file.SourcePath);
    job.exclusiveKey = TargetKey(e.file.SourcePath, settings);
    job.partFolders = PartFolders(e.file.SourcePath, settings);
    jobs.push_back(std::move(job));
    FileOutcome o;
    o.source = e.file.SourcePath;
    o.status = kNotConverted;
    outcomes.push_back(std::move(o));
  }
  std::vector<std::optional<WorkerResult>> results(entries.size());

  BatchProgress progress(entries.size());
  WorkerPoolCallbacks callbacks;
  callbacks.started = [&](size_t i, int) {
    progress.Started(i, FileNamePart(entries[i].file.SourcePath));
  };
  callbacks.line = [&](size_t i, const std::string& line) {
    if (const std::optional<int> percent = ParseProgressLine(line)) {
      progress.Percent(i, *percent);
    } else if (std::optional<WorkerResult> r = ParseResultLine(line)) {
      results[i] = std::move(r);
    }
  };
  callbacks.finished = [&](size_t i, const WorkerOutcome& w) {
    FileOutcome& o = outcomes[i];
    o.secondsTaken = w.seconds;
    const std::optional<WorkerResult>& r = results[i];
    // A worker that reported before it was stopped has told the whole story (a file it
    // finished just as Cancel came is converted and stays).
    if (r &&
        (w.kind == WorkerOutcome::Kind::kExited || w.kind == WorkerOutcome::Kind::kCancelled)) {
      o.converted = r->converted;
      o.status = r->status;
      o.target = r->converted ? r->target : std::string();
      o.durationSeconds = r->sourceSeconds;
    } else {
      o.converted = false;
      o.status = WorkerFailure(w, flags.timeoutSeconds);
      o.target.clear();
      if (r) o.durationSeconds = r->sourceSeconds;
    }
    if (w.kind != WorkerOutcome::Kind::kNotStarted) progress.Finished(i, o.durationSeconds);
    progress.ClearLine();
    std::printf("%s -> %s: %s\n", o.source.c_str(), o.target.empty() ? "(none)" : o.target.c_str(),
                o.status.c_str());
    std::fflush(stdout);
  };
  callbacks.cancelRequested = [&progress] { return progress.CancelRequested(); };

  WorkerPoolOptions options;
  options.parallel = flags.jobs;
  options.timeout = std::chrono::seconds(flags.timeoutSeconds);
  // A reader that goes away (`| head`) must not end the batch with its workers still
  // running and their partial files left behind.
  const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
  RunWorkerPool(jobs, options, callbacks);
  std::signal(SIGPIPE, previousPipe);
  progress.ClearLine();
  cancelled = progress.CancelRequested();
  return outcomes;
}

}  // namespace sonorell
