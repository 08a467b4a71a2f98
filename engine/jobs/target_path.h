#pragma once

#include <optional>
#include <set>
#include <string>

#include "engine/jobs/source_file.h"
#include "settings/settings.h"

namespace sonorell {

// Highest number the automatic rename tries (song_1.mp3 ... song_100000.mp3) before the
// row fails; a folder full of numbered copies must not stall a run.
inline constexpr int kMaxRenameNumber = 100000;

// The Status text of a file the skip rule leaves because its target exists.
inline constexpr const char* kStatusTargetSkipped = "Target exists and skipped";

// The file extension, dot included, an output format writes; empty for an unknown code.
std::string OutputExtension(int outputFormatCode);

// True when anything is at the path: file, folder, or a symbolic link, even a dangling one.
bool FileExists(const std::string& path);

// True when the path is a folder (a symbolic link to a folder counts).
bool FolderExists(const std::string& path);

// Creates every missing folder of the path. True when the whole path is a folder at the end.
// A leading "/" is the root; repeated "/" are ignored. Fails when a part of the path exists
// but is not a folder, or a folder cannot be created.
bool CreateFolderChain(const std::string& path);

// The first of base + "_1" + extension, base + "_2" + extension, ... up to maxNumber that
// nothing occupies; empty when every one is taken.
std::optional<std::string> FreeNumberedPath(const std::string& base, const std::string& extension,
                                            int maxNumber);

// Chooses the output file for one source from the output folder, mirroring, existing-target
// and documents-folder options of settings. On success the path is stored in
// file.TargetPath, every folder on it exists and a file can be written there; an existing
// target is only left in place under the overwrite policy (the encoder replaces it once its
// output is complete). On failure status holds the reason shown in the row and
// file.TargetPath is unchanged. claimed holds the targets other files of the same run
// write: the rename rule steps over them as over files on disk, and the skip rule skips.
bool ResolveTargetPath(SourceFile& file, std::string& status, const Settings& settings,
                       const std::set<std::string>* claimed = nullptr);

// Where a source's output goes: its folder (ending in "/", or empty for a bare name beside
// the working folder) and the target path without its extension. Nothing is created.
struct TargetPlace {
  std::string folder;
  std::string base;
};
TargetPlace PlaceTarget(const std::string& sourcePath, const Settings& settings);

// Where the output goes instead when the chosen folder cannot be made and the settings
// fall back to the documents folder; nullopt without that fallback.
std::optional<TargetPlace> PlaceFallbackTarget(const std::string& sourcePath,
                                               const Settings& settings);

// The target ResolveTargetPath would choose, worked out without creating or probing
// anything, so a dry run leaves the disk as it was.
struct PredictedTarget {
  std::string folder;  // where the output (and its temporary parts) would be written
  std::string path;    // empty when the target-exists rule leaves the file
  std::string status;  // why there is no path
};
// claimed holds the targets earlier files of the same run would take: the rename rule steps
// over them as over files on disk, and the chosen path is added.
PredictedTarget PredictTargetPath(const std::string& sourcePath, const Settings& settings,
                                  std::set<std::string>* claimed = nullptr);

}  // namespace sonorell
