#include "cli/plainly_not_audio.h"

#include <utility>

#include "engine/paths/path_rules.h"
#include "engine/workers/probe_run.h"

namespace sonorell {
namespace {

bool IsResourceFork(const std::string& path) {
  return FileNamePart(path).starts_with("._");
}

}  // namespace

std::vector<std::string> TakeOutPlainlyNotAudio(BatchInputs& inputs, int parallel) {
  std::vector<bool> notAudio(inputs.files.size(), false);
  std::vector<std::string> unlisted;  // walked files of extensions the type table lacks
  std::vector<size_t> unlistedAt;
  for (size_t i = 0; i < inputs.files.size(); ++i) {
    const SourceFile& file = inputs.files[i];
    if (!inputs.walked.contains(file.SourcePath)) continue;
    if (IsResourceFork(file.SourcePath)) {
      notAudio[i] = true;
    } else if (file.InputType == kInputOther) {
      unlisted.push_back(file.SourcePath);
      unlistedAt.push_back(i);
    }
  }
  if (!unlisted.empty()) {
    ProbeControl control;
    control.parallel = parallel;
    RunProbes(unlisted, control, [&](const ProbeReport& report) {
      if (!report.opened && report.index < unlistedAt.size())
        notAudio[unlistedAt[report.index]] = true;
    });
  }
  std::vector<std::string> skipped;
  std::vector<SourceFile> kept;
  kept.reserve(inputs.files.size());
  for (size_t i = 0; i < inputs.files.size(); ++i) {
    if (notAudio[i]) {
      skipped.push_back(inputs.files[i].SourcePath);
    } else {
      kept.push_back(std::move(inputs.files[i]));
    }
  }
  inputs.files = std::move(kept);
  return skipped;
}

}  // namespace sonorell
