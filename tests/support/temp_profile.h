#pragma once

#include <signal.h>
#include <stdlib.h>
#include <sys/resource.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace sonorell::testing {

// Points HOME and XDG_CONFIG_HOME at a fresh folder for one test and puts them back after,
// so no test sees the real user's store or another test's leftovers.
class TempProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SaveEnv("HOME", savedHome_);
    SaveEnv("XDG_CONFIG_HOME", savedConfig_);
    std::string pattern =
        (std::filesystem::temp_directory_path() / "sonorell-profile-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ + "/home";
    config_ = root_ + "/config";
    std::filesystem::create_directories(home_);
    setenv("HOME", home_.c_str(), 1);
    setenv("XDG_CONFIG_HOME", config_.c_str(), 1);
  }

  void TearDown() override {
    RestoreEnv("HOME", savedHome_);
    RestoreEnv("XDG_CONFIG_HOME", savedConfig_);
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }

  std::string StoreFolder() const { return config_ + "/Quillmark/Sonorell"; }
  std::string OptionsFile() const { return StoreFolder() + "/Options.reg"; }

  static std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  static void WriteBytes(const std::string& path, const std::string& bytes) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  // Names in folder starting with prefix.
  static std::vector<std::string> FilesStartingWith(const std::string& folder,
                                                    const std::string& prefix) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
      const std::string name = entry.path().filename().string();
      if (name.rfind(prefix, 0) == 0) names.push_back(name);
    }
    return names;
  }

  std::string root_;
  std::string home_;
  std::string config_;

 private:
  static void SaveEnv(const char* name, std::optional<std::string>& slot) {
    const char* value = getenv(name);
    slot = value ? std::optional<std::string>(value) : std::nullopt;
  }
  static void RestoreEnv(const char* name, const std::optional<std::string>& slot) {
    if (slot) {
      setenv(name, slot->c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  std::optional<std::string> savedHome_;
  std::optional<std::string> savedConfig_;
};

// Makes every write past `bytes` of a file fail with EFBIG (as on a full disk) for the
// lifetime of the object; SIGXFSZ is ignored meanwhile so the process is not killed.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    savedHandler_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    signal(SIGXFSZ, savedHandler_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit saved_{};
  sighandler_t savedHandler_ = SIG_DFL;
};

}  // namespace sonorell::testing
