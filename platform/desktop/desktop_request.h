#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/files/unique_fd.h"

namespace platform {

// One thing asked of the desktop (open a file, folder or address; show a file selected in
// the file browser), carried out by the desktop's helper programs, xdg-open and dbus-send,
// without ever waiting for them. The caller watches WaitHandle(), which becomes readable when
// the helper running now ends (poll(2), or an event loop's socket notifier), and calls
// Advance() then. When a helper fails, the next way of doing the same thing is started.
class DesktopRequest {
 public:
  // Opens a file, folder or address with the desktop's opener.
  static DesktopRequest Open(const std::string& pathOrAddress);
  // Shows a file selected in the file browser (the freedesktop FileManager1 ShowItems call);
  // where no file manager answers within 3 s, the file's folder is opened instead.
  static DesktopRequest ShowInFileBrowser(const std::string& path);

  // Each way is one program with its arguments, tried in order until one succeeds.
  explicit DesktopRequest(std::vector<std::vector<std::string>> ways);
  DesktopRequest(DesktopRequest&& other) noexcept;
  DesktopRequest& operator=(DesktopRequest&& other) noexcept;
  DesktopRequest(const DesktopRequest&) = delete;
  DesktopRequest& operator=(const DesktopRequest&) = delete;
  // A helper still running is left to end on its own.
  ~DesktopRequest();

  // Readable when the running helper ends; -1 once the outcome is known.
  int WaitHandle() const { return handle_.get(); }
  // Takes the answer of a helper that has ended, and starts the next way when it failed.
  // The outcome: true when a helper did what was asked, false when every way failed or
  // none could be started; nullopt while a helper still runs.
  std::optional<bool> Advance();

 private:
  // Starts the next way that can be started; the outcome is false when none is left.
  void StartNextWay();
  void Forget();

  std::vector<std::vector<std::string>> ways_;
  size_t next_ = 0;
  pid_t pid_ = -1;
  UniqueFd handle_;  // a pidfd of the running helper
  std::optional<bool> outcome_;
};

}  // namespace platform
