#pragma once

#include <optional>
#include <string>

namespace platform {

// The user's documents folder: XDG_DOCUMENTS_DIR from user-dirs.dirs, else $HOME/Documents,
// else $HOME. With create set, a missing folder is created. The result has no final "/".
// Empty when no folder can be determined (no HOME, nothing creatable).
std::optional<std::string> UserDocumentsFolder(bool create);

}  // namespace platform
