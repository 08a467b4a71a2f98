#include "engine/jobs/target_path.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <optional>
#include <set>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/encoders/staged_output.h"
#include "engine/jobs/output_formats.h"
#include "engine/paths/path_rules.h"
#include "platform/desktop/documents_folder.h"
#include "platform/files/unique_fd.h"

namespace sonorell {
namespace {

// Creates a new file at path without following a link or touching anything already there,
// then removes it again. Returns the errno of the failed creation, 0 on success.
int CreateAndRemove(const std::string& path) {
  {
    const platform::UniqueFd fd(
        ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (!fd.valid()) return errno;
  }
  ::unlink(path.c_str());
  return 0;
}

// Proves that the encoder will be able to stage its output beside target, which holds an old
// file it will later replace. The old file itself is never opened.
bool CanCreateFileBeside(const std::string& target) {
  StagedOutput probe;
  return probe.Open(target);  // the probe goes with the object
}

struct FileIdentity {
  dev_t device;
  ino_t inode;
  bool operator==(const FileIdentity&) const = default;
};

// The identities a path can stand for: the entry itself and, for a link, what it leads to.
std::vector<FileIdentity> IdentitiesOf(const std::string& path) {
  std::vector<FileIdentity> ids;
  struct stat info {};
  if (::lstat(path.c_str(), &info) == 0) ids.push_back({info.st_dev, info.st_ino});
  if (::stat(path.c_str(), &info) == 0) ids.push_back({info.st_dev, info.st_ino});
  return ids;
}

// True when the two paths reach the same file, through hard links or symbolic links alike.
bool IsSameFile(const std::string& a, const std::string& b) {
  const auto idsA = IdentitiesOf(a);
  const auto idsB = IdentitiesOf(b);
  for (const auto& idA : idsA) {
    for (const auto& idB : idsB) {
      if (idA == idB) return true;
    }
  }
  return false;
}

bool IsFolderEntry(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder part of a source path as a relative sub-path ending in "/": repeated "/" and
// "." collapse and ".." steps back, so the mirrored tree never climbs out of the output
// folder. Colons are ordinary name characters here and stay.
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

std::string FolderFailure(const std::string& folder) {
  return "Failed to create folder \"" + folder + "\"";
}

std::string FileFailure(const std::string& target) {
  return "Failed to create file \"" + target + "\"";
}

// Where one attempt puts its output.
struct Destination {
  int folderMode;
  std::string folder;
  bool mirror;
};

Destination ChosenDestination(const Settings& settings) {
  return {settings.DestOutputFolderOpt, settings.DestSpecifiedFolder, settings.CreateDirs != 0};
}

// The fallback keeps the mirrored tree when the user's own folder had one.
Destination DocumentsDestination(const std::string& documents, const Settings& settings) {
  return {kOutputToCustomFolder, documents,
          settings.DestOutputFolderOpt == kOutputToCustomFolder && settings.CreateDirs != 0};
}

TargetPlace PlaceIn(const std::string& sourcePath, const Destination& dest) {
  if (dest.folderMode != kOutputToCustomFolder) {
    return {FolderPart(sourcePath), StemOf(sourcePath)};
  }
  std::string folder = dest.folder;
  if (folder.empty() || folder.back() != '/') folder.push_back('/');
  if (dest.mirror) folder += MirroredSubPath(sourcePath);
  return {folder, folder + StemOf(FileNamePart(sourcePath))};
}

// A name is taken when anything is there on disk, or another file of the run claims it.
auto TakenIn(const std::set<std::string>* claimed) {
  return [claimed](const std::string& path) {
    return FileExists(path) || (claimed && claimed->contains(path));
  };
}

enum class Outcome {
  kResolved,
  kRefused,  // a decision of the user's policy: no fallback
  kFailed,   // something could not be created: the documents folder may help
};

template <typename Taken>
std::optional<std::string> FirstFreeNumbered(const std::string& base, const std::string& extension,
                                             int maxNumber, const Taken& taken) {
  for (int n = 1; n <= maxNumber; ++n) {
    std::string candidate = base + "_" + std::to_string(n) + extension;
    if (!taken(candidate)) return candidate;
  }
  return std::nullopt;
}

// The target-exists policy applied to base + extension. taken() tells whether a name is
// occupied (on disk, or also by earlier files of a planned run). On kResolved, candidate is
// the name to write and replaces tells whether an old file there will be replaced.
template <typename Taken>
Outcome ApplyExistsPolicy(const std::string& sourcePath, const std::string& base,
                          const std::string& extension, int existsPolicy, const Taken& taken,
                          std::string& candidate, bool& replaces, std::string& status) {
  candidate = base + extension;
  replaces = false;
  if (!taken(candidate)) return Outcome::kResolved;
  if (existsPolicy == kTargetExistsOverwrite) {
    // The encoder reads the source while it writes the target: replacing one with the
    // other would destroy the user's file.
    if (IsSameFile(candidate, sourcePath)) {
      status =
          "Target file name is same as original file that can't be overwritten. Please output "
          "files to a custom folder.";
      return Outcome::kRefused;
    }
    // A finished output cannot be renamed over a folder.
    if (IsFolderEntry(candidate)) {
      status = FileFailure(candidate);
      return Outcome::kFailed;
    }
    replaces = FileExists(candidate);
    return Outcome::kResolved;
  }
  if (existsPolicy == kTargetExistsSkip) {
    status = kStatusTargetSkipped;
    return Outcome::kRefused;
  }
  const std::optional<std::string> free =
      FirstFreeNumbered(base, extension, kMaxRenameNumber, taken);
  if (!free) {
    status = FileFailure(candidate);
    return Outcome::kFailed;
  }
  candidate = *free;
  return Outcome::kResolved;
}

Outcome TryDestination(const std::string& sourcePath, const Destination& dest, int existsPolicy,
                       const std::string& extension, const std::set<std::string>* claimed,
                       std::string& target, std::string& status) {
  const TargetPlace place = PlaceIn(sourcePath, dest);
  if (dest.folderMode == kOutputToCustomFolder) {
    if (dest.folder.empty() || (!FolderExists(dest.folder) && !CreateFolderChain(dest.folder))) {
      status = FolderFailure(dest.folder);
      return Outcome::kFailed;
    }
    if (dest.mirror && !FolderExists(place.folder) && !CreateFolderChain(place.folder)) {
      status = FolderFailure(place.folder);
      return Outcome::kFailed;
    }
  }

  std::string candidate;
  bool replacesExisting = false;
  const auto taken = TakenIn(claimed);
  const Outcome chosen = ApplyExistsPolicy(sourcePath, place.base, extension, existsPolicy, taken,
                                           candidate, replacesExisting, status);
  if (chosen != Outcome::kResolved) return chosen;

  const bool creatable =
      replacesExisting ? CanCreateFileBeside(candidate) : CreateAndRemove(candidate) == 0;
  if (!creatable) {
    status = FileFailure(candidate);
    return Outcome::kFailed;
  }
  target = candidate;
  return Outcome::kResolved;
}

}  // namespace

std::string OutputExtension(int outputFormatCode) {
  for (const OutputFormatRow& row : OutputFormatTable()) {
    if (row.code == outputFormatCode) return std::string(".") + row.extension;
  }
  return {};
}

bool FileExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::lstat(path.c_str(), &info) == 0;
}

bool FolderExists(const std::string& path) {
  struct stat info {};
  return !path.empty() && ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool CreateFolderChain(const std::string& path) {
  if (path.empty()) return false;
  std::string prefix = path.front() == '/' ? "/" : "";
  std::string_view rest = path;
  while (!rest.empty()) {
    const auto slash = rest.find('/');
    const std::string_view part = rest.substr(0, slash);
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    if (part.empty()) continue;
    if (!prefix.empty() && prefix.back() != '/') prefix.push_back('/');
    prefix.append(part);
    if (FolderExists(prefix)) continue;
    if (FileExists(prefix)) return false;  // a file or a dangling link is in the way
    if (::mkdir(prefix.c_str(), 0777) != 0 && !(errno == EEXIST && FolderExists(prefix))) {
      return false;
    }
  }
  return FolderExists(prefix);
}

std::optional<std::string> FreeNumberedPath(const std::string& base, const std::string& extension,
                                            int maxNumber) {
  return FirstFreeNumbered(base, extension, maxNumber, FileExists);
}

bool ResolveTargetPath(SourceFile& file, std::string& status, const Settings& settings,
                       const std::set<std::string>* claimed) {
  const std::string extension = OutputExtension(settings.OutputFormat);
  Destination dest = ChosenDestination(settings);
  bool fallbackUsed = false;
  std::string reason;
  for (;;) {
    std::string target;
    const Outcome outcome = TryDestination(file.SourcePath, dest, settings.TargetExistsOpt,
                                           extension, claimed, target, reason);
    if (outcome == Outcome::kResolved) {
      file.TargetPath = std::move(target);
      return true;
    }
    if (outcome == Outcome::kRefused || settings.OutputFiles2MyDocuments == 0 || fallbackUsed) {
      break;
    }
    fallbackUsed = true;
    const std::optional<std::string> documents = platform::UserDocumentsFolder(true);
    if (!documents) break;
    dest = DocumentsDestination(*documents, settings);
  }
  status = std::move(reason);
  return false;
}

TargetPlace PlaceTarget(const std::string& sourcePath, const Settings& settings) {
  return PlaceIn(sourcePath, ChosenDestination(settings));
}

std::optional<TargetPlace> PlaceFallbackTarget(const std::string& sourcePath,
                                               const Settings& settings) {
  if (settings.OutputFiles2MyDocuments == 0) return std::nullopt;
  const std::optional<std::string> documents = platform::UserDocumentsFolder(false);
  if (!documents) return std::nullopt;
  return PlaceIn(sourcePath, DocumentsDestination(*documents, settings));
}

PredictedTarget PredictTargetPath(const std::string& sourcePath, const Settings& settings,
                                  std::set<std::string>* claimed) {
  PredictedTarget t;
  const TargetPlace place = PlaceTarget(sourcePath, settings);
  t.folder = place.folder;
  const auto taken = TakenIn(claimed);
  std::string candidate;
  bool replaces = false;
  if (ApplyExistsPolicy(sourcePath, place.base, OutputExtension(settings.OutputFormat),
                        settings.TargetExistsOpt, taken, candidate, replaces,
                        t.status) != Outcome::kResolved) {
    return t;
  }
  t.path = candidate;
  if (claimed) claimed->insert(candidate);
  return t;
}

}  // namespace sonorell
