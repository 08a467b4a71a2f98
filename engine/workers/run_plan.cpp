#include "engine/workers/run_plan.h"

#include <optional>

#include "engine/jobs/conversion_job.h"
#include "engine/jobs/target_path.h"

namespace sonorell {
namespace {

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

}  // namespace

RunPlan PlanRun(const Settings& settings, const std::vector<RunEntry>& entries, bool soundFontReady,
                bool verify) {
  RunPlan plan;
  plan.settings = settings;
  plan.verify = verify;
  std::set<std::string> claimed;
  for (const RunEntry& entry : entries) {
    PlannedFile p;
    p.file = entry.file;
    p.file.TargetPath.clear();
    p.fileNumber = entry.fileNumber;
    if (p.file.InputType == kInputMidi && !soundFontReady) {
      p.refusal = kStatusNeedsSoundFont;
    } else {
      const PredictedTarget t = PredictTargetPath(p.file.SourcePath, settings, &claimed);
      p.target = t.path;
      if (t.path.empty()) p.refusal = t.status;
      p.partFolders = PartFolders(p.file.SourcePath, settings);
    }
    plan.files.push_back(std::move(p));
  }
  return plan;
}

std::set<std::string> ClaimedByOthers(const RunPlan& plan, size_t index) {
  std::set<std::string> claimed;
  for (size_t i = 0; i < plan.files.size(); ++i) {
    if (i != index && !plan.files[i].target.empty()) claimed.insert(plan.files[i].target);
  }
  return claimed;
}

}  // namespace sonorell
