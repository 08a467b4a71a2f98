#include "engine/jobs/folder_search.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "engine/paths/path_rules.h"

namespace sonorell {
namespace fs = std::filesystem;
namespace {

bool InFilter(const std::string& path, const std::vector<std::string>& extensionFilter) {
  std::string extension = AsciiLower(ExtensionOf(FileNamePart(path)));
  if (!extension.empty()) extension.erase(0, 1);
  return std::find(extensionFilter.begin(), extensionFilter.end(), extension) !=
         extensionFilter.end();
}

constexpr int kMaxLinkHops = 8;

void GatherFolders(const fs::path& folder, std::vector<fs::path>& folders, int depth,
                   const std::function<bool()>& cancelled) {
  // Deeper than any real music collection; a guard against pathological trees.
  if (depth > 256 || (cancelled && cancelled())) return;
  folders.push_back(folder);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc) && !it->is_symlink(typeEc)) {
      GatherFolders(it->path(), folders, depth + 1, cancelled);
    }
  }
}

bool IsRegularFile(const std::string& path) {
  std::error_code ec;
  return fs::is_regular_file(path, ec);  // follows a link to its target
}

}  // namespace

bool PassesExtensionFilter(std::string& path, bool filterOn,
                           const std::vector<std::string>& extensionFilter) {
  if (!filterOn) return true;
  if (InFilter(path, extensionFilter)) return true;
  const std::string target = ResolveLink(path);
  if (target.empty() || !IsRegularFile(target) || !InFilter(target, extensionFilter)) return false;
  path = target;
  return true;
}

std::string ResolveLink(const std::string& path) {
  fs::path current(path);
  std::error_code ec;
  if (!fs::is_symlink(current, ec)) return {};
  for (int hop = 0; hop < kMaxLinkHops; ++hop) {
    const fs::path target = fs::read_symlink(current, ec);
    if (ec) return {};
    current = (target.is_absolute() ? target : current.parent_path() / target).lexically_normal();
    if (!fs::is_symlink(current, ec)) {
      return fs::exists(current, ec) ? current.string() : std::string();
    }
  }
  return {};
}

void CollectFolderFiles(std::vector<std::string>& paths, const std::string& folder, bool filterOn,
                        const std::vector<std::string>& extensionFilter,
                        const std::function<bool()>& cancelled) {
  std::vector<fs::path> folders;
  GatherFolders(fs::path(folder), folders, 0, cancelled);
  for (const fs::path& f : folders) {
    if (cancelled && cancelled()) return;
    std::error_code ec;
    for (fs::directory_iterator it(f, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code typeEc;
      if (it->is_directory(typeEc)) continue;
      std::string path = it->path().string();
      if (PassesExtensionFilter(path, filterOn, extensionFilter) && IsRegularFile(path)) {
        paths.push_back(path);
      }
    }
  }
}

}  // namespace sonorell
