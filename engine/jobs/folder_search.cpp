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

void GatherFolders(const fs::path& folder, std::vector<fs::path>& folders, int depth) {
  // Deeper than any real music collection; a guard against pathological trees.
  if (depth > 256) return;
  folders.push_back(folder);
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeEc;
    if (it->is_directory(typeEc) && !it->is_symlink(typeEc)) {
      GatherFolders(it->path(), folders, depth + 1);
    }
  }
}

}  // namespace

bool PassesExtensionFilter(std::string& path, bool filterOn,
                           const std::vector<std::string>& extensionFilter) {
  if (!filterOn) return true;
  if (InFilter(path, extensionFilter)) return true;
  std::error_code ec;
  if (!fs::is_symlink(path, ec)) return false;
  const fs::path target = fs::canonical(path, ec);
  if (ec || !fs::is_regular_file(target, ec) || !InFilter(target.string(), extensionFilter)) {
    return false;
  }
  path = target.string();
  return true;
}

void CollectFolderFiles(std::vector<std::string>& paths, const std::string& folder, bool filterOn,
                        const std::vector<std::string>& extensionFilter) {
  std::vector<fs::path> folders;
  GatherFolders(fs::path(folder), folders, 0);
  for (const fs::path& f : folders) {
    std::error_code ec;
    for (fs::directory_iterator it(f, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code typeEc;
      if (it->is_directory(typeEc)) continue;
      std::string path = it->path().string();
      if (PassesExtensionFilter(path, filterOn, extensionFilter)) paths.push_back(path);
    }
  }
}

}  // namespace sonorell
