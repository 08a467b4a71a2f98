#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// A Latin-1 locale made for a test in a folder of its own, since machines seldom have one
// installed: glibc looks for locales in the folder LOCPATH names before its own. ok() is
// false when localedef (or the locale sources of the "locales" package) is missing.
class Latin1Locale {
 public:
  static constexpr const char* kName = "en_US.ISO-8859-1";

  Latin1Locale() {
    const std::string made = folder_ / kName;
    // localedef warns (and may exit with 1) about details of the sources; what counts is
    // the locale it leaves.
    const std::string cmd =
        "localedef -i en_US -f ISO-8859-1 " + ShellQuote(made) + " > /dev/null 2>&1";
    [[maybe_unused]] const int status = std::system(cmd.c_str());
    std::error_code ec;
    ok_ = std::filesystem::exists(made + "/LC_CTYPE", ec);
  }

  bool ok() const { return ok_; }
  const std::string& folder() const { return folder_.path(); }
  // NAME=value words that run a command in this locale.
  std::string Environment() const {
    return "LOCPATH=" + ShellQuote(folder_.path()) + " LC_ALL=" + kName;
  }

 private:
  TempFolder folder_;
  bool ok_ = false;
};

// Lets setlocale in this process find the locales of a folder while it lives.
class LocalePathGuard {
 public:
  explicit LocalePathGuard(const std::string& folder) { ::setenv("LOCPATH", folder.c_str(), 1); }
  ~LocalePathGuard() { ::unsetenv("LOCPATH"); }
  LocalePathGuard(const LocalePathGuard&) = delete;
  LocalePathGuard& operator=(const LocalePathGuard&) = delete;
};

// This process in a Latin-1 locale made for it, while it lives; ok() is false (and the
// locale C) when none can be made.
class InLatin1Locale {
 public:
  InLatin1Locale() : path_(made_.folder()), locale_(made_.ok() ? Latin1Locale::kName : "C") {}
  bool ok() const { return made_.ok() && locale_.ok(); }

 private:
  Latin1Locale made_;
  LocalePathGuard path_;
  LocaleGuard locale_;
};

}  // namespace sonorell::testing
