#pragma once

#include <functional>
#include <string>
#include <vector>

namespace sonorell {

// The target of a symbolic link, following at most 8 links, each relative target taken
// from the folder of the link that names it; empty when the chain is longer, broken or
// not a link at all.
std::string ResolveLink(const std::string& path);

// True when a file passes the extension filter of folder searches and drops. With the
// filter on, a symbolic link whose own name does not pass is followed and its target
// tested instead; path then names the target.
bool PassesExtensionFilter(std::string& path, bool filterOn,
                           const std::vector<std::string>& extensionFilter);

// Appends the regular files of a folder tree that pass the filter (never FIFOs, devices
// or sockets, which would block or mean nothing): the folder itself first, then depth
// first each sub-folder followed by its own sub-folders. Symbolic links to folders are not
// entered, so a link loop cannot make the search endless. cancelled, when given, is asked
// between folders; true stops the search with what was found.
void CollectFolderFiles(std::vector<std::string>& paths, const std::string& folder, bool filterOn,
                        const std::vector<std::string>& extensionFilter,
                        const std::function<bool()>& cancelled = {});

}  // namespace sonorell
