#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <string>

#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell::testing {

// True when the command's output (or any text) holds part.
inline bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

struct CliResult {
  int status = -1;
  std::string out;  // standard output and standard error together
};

// Runs the batch command with its own option store under profile; environment holds extra
// NAME=value words for its environment.
inline CliResult RunCli(const TempFolder& profile, const std::string& args,
                        const std::string& environment = "") {
  const std::string cmd = environment + " HOME=" + ShellQuote(profile.path()) +
                          " XDG_CONFIG_HOME=" + ShellQuote(profile / "config") + " " +
                          ShellQuote(SONORELL_CLI_PATH) + " " + args + " 2>&1";
  CliResult r;
  FILE* pipe = ::popen(cmd.c_str(), "r");
  if (!pipe) return r;
  std::array<char, 4096> buf{};
  size_t n;
  while ((n = std::fread(buf.data(), 1, buf.size(), pipe)) > 0) r.out.append(buf.data(), n);
  const int raw = ::pclose(pipe);
  r.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  return r;
}

}  // namespace sonorell::testing
