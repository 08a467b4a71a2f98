#include "platform/desktop/desktop_request.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

#include "platform/desktop/file_uri.h"
#include "platform/files/spawn_program.h"

namespace platform {
namespace {

constexpr const char* kOpener = "xdg-open";

// Starts one helper: input and output on /dev/null, errors shared with us, in a session of
// its own, so that what it opens outlives us and no signal typed at our terminal reaches it.
// -1 when it cannot be started.
pid_t StartHelper(const std::vector<std::string>& argv) {
  SpawnActions actions;
  SpawnAttributes attributes;
  if (!actions.ok() || !attributes.ok() ||
      ::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) !=
          0 ||
      ::posix_spawn_file_actions_addopen(actions.get(), STDOUT_FILENO, "/dev/null", O_WRONLY, 0) !=
          0 ||
      !CloseInheritedDescriptors(actions) || !SetUsualSignals(attributes, POSIX_SPAWN_SETSID)) {
    return -1;
  }
  return SpawnProgram(argv, actions, attributes);
}

}  // namespace

DesktopRequest DesktopRequest::Open(const std::string& pathOrAddress) {
  return DesktopRequest({{kOpener, pathOrAddress}});
}

DesktopRequest DesktopRequest::ShowInFileBrowser(const std::string& path) {
  const auto slash = path.rfind('/');
  const std::string folder =
      slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
  // Commas are escaped by FileUri, so dbus-send cannot split the address into two items.
  return DesktopRequest({{"dbus-send", "--session", "--print-reply", "--reply-timeout=3000",
                          "--dest=org.freedesktop.FileManager1", "--type=method_call",
                          "/org/freedesktop/FileManager1", "org.freedesktop.FileManager1.ShowItems",
                          "array:string:" + FileUri(path), "string:"},
                         {kOpener, folder}});
}

DesktopRequest::DesktopRequest(std::vector<std::vector<std::string>> ways)
    : ways_(std::move(ways)) {
  StartNextWay();
}

DesktopRequest::DesktopRequest(DesktopRequest&& other) noexcept
    : ways_(std::move(other.ways_)),
      next_(other.next_),
      pid_(std::exchange(other.pid_, -1)),
      handle_(std::move(other.handle_)),
      outcome_(other.outcome_) {}

DesktopRequest& DesktopRequest::operator=(DesktopRequest&& other) noexcept {
  if (this != &other) {
    Forget();
    ways_ = std::move(other.ways_);
    next_ = other.next_;
    pid_ = std::exchange(other.pid_, -1);
    handle_ = std::move(other.handle_);
    outcome_ = other.outcome_;
  }
  return *this;
}

DesktopRequest::~DesktopRequest() {
  Forget();
}

void DesktopRequest::Forget() {
  // A helper that has ended is collected; one still running is left to end on its own.
  if (pid_ > 0) ::waitpid(pid_, nullptr, WNOHANG);
  pid_ = -1;
  handle_.Close();
}

void DesktopRequest::StartNextWay() {
  while (next_ < ways_.size()) {
    const pid_t pid = StartHelper(ways_[next_++]);
    if (pid < 0) continue;
    // Called directly: Debian 12's <sys/pidfd.h> declares pidfd_open without C linkage.
    const int handle = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    pid_ = pid;
    if (handle < 0) {
      // A kernel without process handles: the helper started, its answer cannot be awaited.
      outcome_ = true;
      return;
    }
    handle_ = UniqueFd(handle);
    return;
  }
  outcome_ = false;
}

std::optional<bool> DesktopRequest::Advance() {
  if (outcome_ || pid_ < 0) return outcome_;
  int status = 0;
  pid_t ended = -1;
  do {
    ended = ::waitpid(pid_, &status, WNOHANG);
  } while (ended < 0 && errno == EINTR);
  if (ended == 0) return std::nullopt;
  // Someone else collected it (SIGCHLD ignored): it ran, how it ended is unknown.
  const bool succeeded = ended < 0 || (WIFEXITED(status) && WEXITSTATUS(status) == 0);
  pid_ = -1;
  handle_.Close();
  if (succeeded) {
    outcome_ = true;
  } else {
    StartNextWay();
  }
  return outcome_;
}

}  // namespace platform
