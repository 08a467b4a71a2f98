#pragma once

#include <string>
#include <vector>

namespace sonorell {

// True when a file passes the extension filter of folder searches and drops. With the
// filter on, a symbolic link whose own name does not pass is followed and its target
// tested instead; path then names the target.
bool PassesExtensionFilter(std::string& path, bool filterOn,
                           const std::vector<std::string>& extensionFilter);

// Appends the files of a folder tree that pass the filter: the folder itself first, then
// depth first each sub-folder followed by its own sub-folders. Symbolic links to folders
// are not entered, so a link loop cannot make the search endless.
void CollectFolderFiles(std::vector<std::string>& paths, const std::string& folder, bool filterOn,
                        const std::vector<std::string>& extensionFilter);

}  // namespace sonorell
