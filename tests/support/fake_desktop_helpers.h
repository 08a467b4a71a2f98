#pragma once

#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// Stand-ins for the desktop's helper programs (xdg-open, dbus-send) in a folder put first on
// PATH for the life of the object. Each records how it was called, waits, when held, until
// the test lets it go, and ends with the status the test chose. The scripts name every
// program they run by its full path, so they work whatever PATH holds.
class FakeDesktopHelpers {
 public:
  FakeDesktopHelpers() : path_("PATH", (folder_.path() + ":" + OldPath()).c_str()) {}

  // A helper called name that ends with status; held, it first waits for Release().
  void Install(const std::string& name, int status, bool held = false) {
    // Written beside and renamed into place: a shell still reading the old script reads on.
    const std::string script = folder_ / name;
    WriteFileBytes(script + ".new",
                   "#!/bin/sh\n"
                   "{ printf '%s' '" +
                       name +
                       "'; for a in \"$@\"; do printf '|%s' \"$a\"; "
                       "done; printf '\\n'; } >> '" +
                       folder_ / "calls" + "'\n" +
                       // A held helper also gives up once the folder is gone.
                       (held ? "while [ ! -e '" + folder_ / "released" + "' ] && [ -d '" +
                                   folder_.path() + "' ]; do /bin/sleep 0.02; done\n"
                             : std::string()) +
                       "exit " + std::to_string(status) + "\n");
    ::chmod((script + ".new").c_str(), 0755);
    std::filesystem::rename(script + ".new", script);
  }
  // Lets every held helper go on.
  void Release() { WriteFileBytes(folder_ / "released", ""); }
  // One line per call: the helper's name and its arguments, separated by "|".
  std::vector<std::string> Calls() const {
    std::vector<std::string> lines;
    std::istringstream in(ReadFileBytes(folder_ / "calls"));
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
  }

 private:
  static std::string OldPath() {
    const char* path = std::getenv("PATH");
    return path ? path : "/usr/bin:/bin";
  }

  TempFolder folder_;
  ScopedEnv path_;
};

}  // namespace sonorell::testing
