#include "cli/target_prediction.h"

#include <sys/stat.h>

#include <string_view>
#include <vector>

#include "engine/jobs/target_path.h"
#include "engine/paths/path_rules.h"

namespace sonorell {
namespace {

// The source's folder as a sub-path of the output folder: empty parts and "." vanish,
// ".." steps back, so the mirrored tree never climbs out (as the run itself does it).
std::string MirroredSubPath(std::string_view sourcePath) {
  const std::string folder = FolderPart(sourcePath);
  std::vector<std::string_view> parts;
  std::string_view rest = folder;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
      continue;
    }
    parts.push_back(part);
  }
  std::string sub;
  for (const auto part : parts) {
    sub.append(part);
    sub.push_back('/');
  }
  return sub;
}

// The target path without its extension, and the folder it is in.
std::string TargetBase(const std::string& sourcePath, const Settings& settings,
                       std::string& folder) {
  if (settings.DestOutputFolderOpt != kOutputToCustomFolder) {
    folder = FolderPart(sourcePath);
    return StemOf(sourcePath);
  }
  folder = settings.DestSpecifiedFolder;
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  if (settings.CreateDirs != 0) folder += MirroredSubPath(sourcePath);
  return folder + StemOf(FileNamePart(sourcePath));
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat x {
  }, y{};
  return ::stat(a.c_str(), &x) == 0 && ::stat(b.c_str(), &y) == 0 && x.st_dev == y.st_dev &&
         x.st_ino == y.st_ino;
}

std::string WithoutTrailingSlash(std::string folder) {
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder;
}

}  // namespace

PredictedTarget PredictTarget(const std::string& sourcePath, const Settings& settings,
                              std::set<std::string>* claimed) {
  PredictedTarget t;
  const std::string extension = OutputExtension(settings.OutputFormat);
  const std::string base = TargetBase(sourcePath, settings, t.folder);
  t.folder = WithoutTrailingSlash(t.folder);
  const auto taken = [&](const std::string& p) {
    return FileExists(p) || (claimed && claimed->count(p) != 0);
  };
  std::string candidate = base + extension;
  if (taken(candidate)) {
    if (settings.TargetExistsOpt == kTargetExistsOverwrite) {
      if (SameFile(candidate, sourcePath)) {
        t.status =
            "Target file name is same as original file that can't be overwritten. Please output "
            "files to a custom folder.";
        return t;
      }
    } else if (settings.TargetExistsOpt == kTargetExistsSkip) {
      t.status = "Target exists and skipped";
      return t;
    } else {
      candidate.clear();
      for (int n = 1; n <= kMaxRenameNumber && candidate.empty(); ++n) {
        const std::string numbered = base + "_" + std::to_string(n) + extension;
        if (!taken(numbered)) candidate = numbered;
      }
      if (candidate.empty()) {
        t.status = "Failed to create file \"" + base + extension + "\"";
        return t;
      }
    }
  }
  t.path = candidate;
  if (claimed) claimed->insert(candidate);
  return t;
}

std::string TargetKey(const std::string& sourcePath, const Settings& settings) {
  std::string folder;
  return AsciiLower(TargetBase(sourcePath, settings, folder));
}

}  // namespace sonorell
