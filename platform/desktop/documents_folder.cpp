#include "platform/desktop/documents_folder.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace platform {
namespace {

std::string EnvOrEmpty(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

// Reads XDG_DOCUMENTS_DIR="$HOME/..." from user-dirs.dirs; shell quoting is limited to
// the forms xdg-user-dirs writes: a quoted absolute path or one starting with $HOME.
std::string FromUserDirs(const std::string& home) {
  std::string configHome = EnvOrEmpty("XDG_CONFIG_HOME");
  // A relative value is invalid by the XDG rules and ignored.
  if (configHome.empty() || configHome.front() != '/') {
    if (home.empty()) return {};
    configHome = home + "/.config";
  }
  std::ifstream in(configHome + "/user-dirs.dirs");
  std::string line;
  const std::string key = "XDG_DOCUMENTS_DIR=";
  while (std::getline(in, line)) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
      value = value.substr(1, value.size() - 2);
    }
    if (value.rfind("$HOME", 0) == 0) {
      if (home.empty()) return {};
      value = home + value.substr(5);
    }
    if (value.empty() || value.front() != '/') return {};
    // xdg-user-dirs points the documents entry at $HOME itself to mean "none".
    while (value.size() > 1 && value.back() == '/') value.pop_back();
    return value == home ? std::string() : value;
  }
  return {};
}

bool UsableFolder(const std::string& path, bool create) {
  std::error_code ec;
  if (std::filesystem::is_directory(path, ec)) return true;
  if (!create || std::filesystem::exists(path, ec)) return false;
  return std::filesystem::create_directories(path, ec) && !ec;
}

}  // namespace

std::optional<std::string> UserDocumentsFolder(bool create) {
  std::string home = EnvOrEmpty("HOME");
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  if (const std::string fromDirs = FromUserDirs(home); !fromDirs.empty()) {
    if (UsableFolder(fromDirs, create)) return fromDirs;
  }
  if (home.empty()) return std::nullopt;
  if (const std::string docs = home + "/Documents"; UsableFolder(docs, create)) return docs;
  if (UsableFolder(home, false)) return home;
  return std::nullopt;
}

}  // namespace platform
