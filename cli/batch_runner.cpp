#include "cli/batch_runner.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <memory>
#include <string>

#include "cli/batch_progress.h"
#include "engine/jobs/conversion_job.h"
#include "engine/paths/path_rules.h"
#include "engine/workers/conversion_run.h"
#include "engine/workers/run_plan.h"

namespace sonorell {
namespace {

// The run's preparations ask their questions here, once, before any worker starts; nobody
// is there to answer, so they go to standard error and are answered No.
class QuestionsToStandardError : public RunHost {
 public:
  void SetWaitCursor(bool) override {}
  void SetMainWindowEnabled(bool) override {}
  void SetRowStatus(int, const std::string&) override {}
  void EnsureRowVisible(int) override {}
  void SetStatusColumnWidth(int) override {}
  bool AskYesNo(const std::string& question) override {
    std::fprintf(stderr, "%s\n(answered No)\n", question.c_str());
    return false;
  }
  void OpenWithShell(const std::string&) override {}
  void SelectInFileBrowser(const std::string&) override {}
  std::unique_ptr<ConvertProgress> OpenConvertProgress() override { return nullptr; }
};

void PrintOutcome(const FileOutcome& o) {
  std::printf("%s -> %s: %s\n", o.source.c_str(), o.target.empty() ? "(none)" : o.target.c_str(),
              o.status.c_str());
  std::fflush(stdout);
}

}  // namespace

std::vector<FileOutcome> RunBatch(const std::vector<BatchEntry>& entries, const ConvertFlags& flags,
                                  const Settings& settings, bool& cancelled) {
  std::vector<FileOutcome> outcomes(entries.size());
  std::vector<RunEntry> runEntries;
  for (size_t i = 0; i < entries.size(); ++i) {
    outcomes[i].source = entries[i].file.SourcePath;
    outcomes[i].status = kStatusNotConverted;
    runEntries.push_back({entries[i].file, entries[i].fileNumber});
  }
  // The Windows Media runtime and the MIDI sound font are made ready here, so every worker
  // inherits them; a run they end converts nothing.
  std::vector<SourceFile*> prepared;
  for (RunEntry& e : runEntries) prepared.push_back(&e.file);
  RunState state;
  QuestionsToStandardError host;
  if (!PrepareRun(prepared, settings, state, host, DefaultRunServices())) {
    for (const FileOutcome& o : outcomes) PrintOutcome(o);
    cancelled = false;
    return outcomes;
  }
  const RunPlan plan = PlanRun(settings, runEntries, state.SoundFontReady, flags.verify);

  BatchProgress progress(entries.size());
  RunEvents events;
  events.started = [&](size_t i) { progress.Started(i, FileNamePart(entries[i].file.SourcePath)); };
  events.percent = [&](size_t i, int percent) { progress.Percent(i, percent); };
  events.finished = [&](size_t i, const FileOutcome& o) {
    outcomes[i] = o;
    if (o.status != kStatusNotConverted) progress.Finished(i, o.durationSeconds);
    progress.ClearLine();
    PrintOutcome(o);
  };
  events.noted = [&](size_t i, const std::string& note) {
    outcomes[i].status += " (" + note + ")";
    progress.ClearLine();
    PrintOutcome(outcomes[i]);
  };

  RunControl control;
  control.parallel = flags.jobs;
  control.silenceLimit = std::chrono::seconds(flags.timeoutSeconds);
  control.cancelRequested = [&progress] { return progress.CancelRequested(); };
  // A reader that goes away (`| head`) must not end the batch with its workers still
  // running and their partial files left behind.
  const auto previousPipe = std::signal(SIGPIPE, SIG_IGN);
  RunConversions(plan, control, events);
  std::signal(SIGPIPE, previousPipe);
  progress.ClearLine();
  cancelled = progress.CancelRequested();
  return outcomes;
}

}  // namespace sonorell
