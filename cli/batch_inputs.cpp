#include "cli/batch_inputs.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>
#include <utility>

#include "engine/jobs/folder_search.h"
#include "engine/jobs/input_types.h"

namespace sonorell {
namespace fs = std::filesystem;

BatchInputs CollectBatchInputs(const std::vector<std::string>& paths, const Settings& settings) {
  BatchInputs inputs;
  std::set<std::pair<dev_t, ino_t>> seen;
  std::set<std::string> seenPaths;
  for (const std::string& given : paths) {
    std::error_code ec;
    const std::string absolute = fs::absolute(given, ec).lexically_normal().string();
    std::vector<std::string> found;
    const bool folder = fs::is_directory(absolute, ec);
    if (folder) {
      CollectFolderFiles(found, absolute, settings.EnableExtFilter != 0, settings.ExtensionFilter);
    } else if (fs::exists(absolute, ec)) {
      found.push_back(absolute);
      inputs.walked.erase(absolute);  // named, even when a folder named before holds it
    } else {
      inputs.missing.push_back(given);
    }
    for (const std::string& path : found) {
      // The same file through another name (a hard link, a link to a folder) once only.
      struct stat st {};
      if (::stat(path.c_str(), &st) == 0 && !seen.insert({st.st_dev, st.st_ino}).second) continue;
      if (!seenPaths.insert(path).second) continue;
      if (folder) inputs.walked.insert(path);
      SourceFile file;
      file.SourcePath = path;
      file.InputType = InputTypeForPath(path);
      inputs.files.push_back(std::move(file));
    }
  }
  std::stable_sort(
      inputs.files.begin(), inputs.files.end(),
      [](const SourceFile& x, const SourceFile& y) { return x.SourcePath < y.SourcePath; });
  return inputs;
}

}  // namespace sonorell
