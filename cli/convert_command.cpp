#include "cli/convert_command.h"

#include <unistd.h>

#include <cstdio>
#include <optional>
#include <set>
#include <string>

#include "cli/batch_inputs.h"
#include "cli/batch_runner.h"
#include "cli/convert_flags.h"
#include "cli/plainly_not_audio.h"
#include "cli/run_report.h"
#include "engine/jobs/target_path.h"
#include "platform/desktop/documents_folder.h"

namespace sonorell {
namespace {

int UsageError(const std::string& message) {
  std::fprintf(stderr, "sonorell-cli: %s\n%s", message.c_str(), ConvertUsage());
  return kExitUsage;
}

// Each source and where it would go, without creating anything.
void PrintDryRun(const std::vector<BatchEntry>& batch, const Settings& settings) {
  std::set<std::string> claimed;
  for (const BatchEntry& e : batch) {
    const PredictedTarget t = PredictTargetPath(e.file.SourcePath, settings, &claimed);
    if (t.path.empty()) {
      std::printf("%s -> (none): %s\n", e.file.SourcePath.c_str(), t.status.c_str());
    } else {
      std::printf("%s -> %s\n", e.file.SourcePath.c_str(), t.path.c_str());
    }
  }
}

}  // namespace

int RunConvertCommand(const std::vector<std::string>& args) {
  ConvertFlags flags;
  if (std::string error; !ParseConvertFlags(args, flags, error)) return UsageError(error);
  if (flags.help) {
    std::printf("%s", ConvertUsage());
    return kExitConverted;
  }
  // The built-in defaults name the documents folder and create it on the way; a dry run
  // must leave the disk as it found it, so an empty folder made just now goes again.
  const std::optional<std::string> documents = platform::UserDocumentsFolder(false);
  const bool documentsExisted = documents && FolderExists(*documents);
  Settings settings;
  const bool settingsOk = [&] {
    std::string error;
    if (BuildRunSettings(flags, settings, error)) return true;
    UsageError(error);
    return false;
  }();
  if (flags.dryRun) {
    // Without the folder the lookup falls back to the home folder; with it, it names it.
    const std::optional<std::string> made = platform::UserDocumentsFolder(false);
    if (made && (!documentsExisted || made != documents)) ::rmdir(made->c_str());
  }
  if (!settingsOk) return kExitUsage;

  BatchInputs inputs = CollectBatchInputs(flags.paths, settings);
  for (const std::string& missing : inputs.missing) {
    std::fprintf(stderr, "sonorell-cli: %s: no such file or folder\n", missing.c_str());
  }
  // Before the list is numbered and sliced, so that every slice sees the same numbers;
  // each slice reports its own share of what was left out.
  std::vector<std::string> notAudio;
  const std::vector<std::string> allNotAudio = TakeOutPlainlyNotAudio(inputs, flags.jobs);
  for (size_t i = 0; i < allNotAudio.size(); ++i) {
    if (!flags.shard || InShard(*flags.shard, i, allNotAudio.size())) {
      notAudio.push_back(allNotAudio[i]);
    }
  }
  const auto printNotAudio = [&notAudio] {
    if (notAudio.empty()) return;
    std::printf("%zu file(s) skipped as not audio\n", notAudio.size());
  };
  std::vector<BatchEntry> batch;
  for (size_t i = 0; i < inputs.files.size(); ++i) {
    if (flags.shard && !InShard(*flags.shard, i, inputs.files.size())) continue;
    batch.push_back({inputs.files[i], static_cast<int>(i) + 1});
  }
  if (flags.dryRun) {
    PrintDryRun(batch, settings);
    printNotAudio();
    return inputs.missing.empty() ? kExitConverted : kExitSomeFailed;
  }
  if (inputs.files.empty()) std::fprintf(stderr, "sonorell-cli: nothing to convert\n");

  bool cancelled = false;
  std::vector<FileOutcome> outcomes;
  if (!batch.empty()) outcomes = RunBatch(batch, flags, settings, cancelled);
  // A file the skip rule left because its output is already there is done, not failed:
  // that is how a rerun of a slice resumes.
  size_t converted = 0;
  size_t failed = 0;
  for (const FileOutcome& o : outcomes) {
    converted += o.converted ? 1 : 0;
    failed += !o.converted && !IsSkipped(o) ? 1 : 0;
  }
  printNotAudio();
  std::printf("%zu of %zu file(s) converted%s\n", converted, outcomes.size(),
              cancelled ? " (cancelled)" : "");
  std::fflush(stdout);

  if (!flags.reportPath.empty()) {
    for (const std::string& path : notAudio) {
      FileOutcome o;
      o.source = path;
      o.status = kStatusNotAudio;
      outcomes.push_back(o);
    }
    // Paths that named nothing are outcomes too: a script reading the report sees them.
    for (const std::string& missing : inputs.missing) {
      FileOutcome o;
      o.source = missing;
      o.status = "No such file or folder";
      outcomes.push_back(o);
    }
    if (std::string error; !WriteReport(flags.reportPath, outcomes, error)) {
      std::fprintf(stderr, "sonorell-cli: %s\n", error.c_str());
      return kExitSomeFailed;
    }
  }
  const bool allDone = inputs.missing.empty() && !inputs.files.empty() && failed == 0;
  return allDone && !cancelled ? kExitConverted : kExitSomeFailed;
}

}  // namespace sonorell
