#include "platform/desktop/program_folder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace platform {

std::string ProgramFolder() {
  std::error_code ec;
  const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec || !exe.has_parent_path()) return {};
  std::string folder = exe.parent_path().string();
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

namespace {

constexpr const char* kMainHelpPage = "sonorell.html";

std::string WithSlash(std::string folder) {
  if (!folder.empty() && folder.back() != '/') folder += '/';
  return folder;
}

}  // namespace

std::string ShippedFilesFolder() {
  const std::string program = ProgramFolder();
  if (program.empty()) return {};
  std::error_code ec;
  if (std::filesystem::exists(program + kMainHelpPage, ec)) return program;
  const std::filesystem::path installed =
      std::filesystem::path(program).parent_path().parent_path() / "share" / "sonorell";
  if (std::filesystem::exists(installed / kMainHelpPage, ec)) {
    return WithSlash(installed.lexically_normal().string());
  }
  return program;
}

std::string UserDataFolder() {
  // Relative values are to be ignored, as the base directory rules say.
  const char* data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && data[0] == '/') return WithSlash(data) + "sonorell/";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return WithSlash(home) + ".local/share/sonorell/";
  return {};
}

}  // namespace platform
