#include "platform/desktop/shell_open.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

namespace platform {
namespace {

std::vector<char*> ArgvOf(std::vector<std::string>& args) {
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  return argv;
}

// Starts a program with no shell in between (names may hold any character), detached so
// that it outlives us and never becomes a zombie.
bool SpawnDetached(std::vector<std::string> args) {
  std::vector<char*> argv = ArgvOf(args);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::setsid();
    if (::fork() == 0) {
      ::execvp(argv[0], argv.data());
      ::_exit(127);
    }
    ::_exit(0);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Runs a short-lived helper and reports whether it succeeded within the time allowed.
bool RunAndWait(std::vector<std::string> args, std::chrono::milliseconds limit) {
  std::vector<char*> argv = ArgvOf(args);
  const pid_t child = ::fork();
  if (child < 0) return false;
  if (child == 0) {
    ::execvp(argv[0], argv.data());
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + limit;
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(child, &status, WNOHANG);
    if (done == child) return WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (done < 0 && errno != EINTR) return false;
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(child, SIGKILL);
      ::waitpid(child, &status, 0);
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
}

}  // namespace

std::string FileUri(const std::string& absolutePath) {
  std::string uri = "file://";
  for (const unsigned char c : absolutePath) {
    const bool plain = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '_' || c == '.' || c == '~' || c == '/';
    if (plain) {
      uri += static_cast<char>(c);
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", c);
      uri += escaped;
    }
  }
  return uri;
}

bool OpenWithDesktop(const std::string& pathOrAddress) {
  return SpawnDetached({"xdg-open", pathOrAddress});
}

bool ShowInFileBrowser(const std::string& path) {
  // Commas are escaped by FileUri, so dbus-send cannot split the address into two items.
  const bool shown = RunAndWait(
      {"dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.FileManager1",
       "--type=method_call", "/org/freedesktop/FileManager1",
       "org.freedesktop.FileManager1.ShowItems", "array:string:" + FileUri(path), "string:"},
      std::chrono::milliseconds(3000));
  if (shown) return true;
  const auto slash = path.rfind('/');
  return OpenWithDesktop(slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1));
}

}  // namespace platform
