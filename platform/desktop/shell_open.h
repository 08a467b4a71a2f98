#pragma once

#include <string>

namespace platform {

// Opens a file, folder or web address with the desktop's opener (xdg-open), without
// waiting for it. False when the opener cannot be started.
bool OpenWithDesktop(const std::string& pathOrAddress);

// Shows a file selected in the desktop's file browser (the freedesktop FileManager1
// ShowItems call); where no file manager answers it, the file's folder is opened instead.
bool ShowInFileBrowser(const std::string& path);

// file:// address of an absolute path, every byte outside the unreserved set escaped.
std::string FileUri(const std::string& absolutePath);

}  // namespace platform
