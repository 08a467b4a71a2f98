#pragma once

#include <clocale>
#include <string>

namespace sonorell::testing {

// Switches the program's locale for one test and puts the old one back: tag texts are
// locale text, so what they mean depends on it.
class LocaleGuard {
 public:
  explicit LocaleGuard(const char* name) {
    const char* old = std::setlocale(LC_ALL, nullptr);
    old_ = old ? old : "C";
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleGuard() { std::setlocale(LC_ALL, old_.c_str()); }
  LocaleGuard(const LocaleGuard&) = delete;
  LocaleGuard& operator=(const LocaleGuard&) = delete;
  bool ok() const { return ok_; }

 private:
  std::string old_;
  bool ok_ = false;
};

}  // namespace sonorell::testing
