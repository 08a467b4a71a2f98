#pragma once

#include <signal.h>
#include <spawn.h>
#include <sys/types.h>
#include <unistd.h>

#include <string>
#include <vector>

extern char** environ;

// Starting another program with posix_spawn, which is safe in a process with threads (no
// fork of ours runs code in the child).
namespace platform {

// Owns one of posix_spawn's initialised attribute objects.
template <typename T, int (*Init)(T*), int (*Destroy)(T*)>
class SpawnObject {
 public:
  SpawnObject() { ok_ = Init(&object_) == 0; }
  ~SpawnObject() {
    if (ok_) Destroy(&object_);
  }
  SpawnObject(const SpawnObject&) = delete;
  SpawnObject& operator=(const SpawnObject&) = delete;
  bool ok() const { return ok_; }
  T* get() { return &object_; }

 private:
  T object_{};
  bool ok_ = false;
};

using SpawnActions = SpawnObject<posix_spawn_file_actions_t, ::posix_spawn_file_actions_init,
                                 ::posix_spawn_file_actions_destroy>;
using SpawnAttributes =
    SpawnObject<posix_spawnattr_t, ::posix_spawnattr_init, ::posix_spawnattr_destroy>;

// Closes every descriptor above standard error in the child: one that someone opened without
// close-on-exec must neither keep a pipe of ours alive nor reach the program started.
inline bool CloseInheritedDescriptors(SpawnActions& actions) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  return ::posix_spawn_file_actions_addclosefrom_np(actions.get(), STDERR_FILENO + 1) == 0;
#else
  (void)actions;
  return true;
#endif
}

// The child starts with the usual signal behaviour whatever we ignore or block; moreFlags
// adds further POSIX_SPAWN_* flags.
inline bool SetUsualSignals(SpawnAttributes& attributes, short moreFlags = 0) {
  sigset_t defaults;
  ::sigemptyset(&defaults);
  for (const int sig : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD}) ::sigaddset(&defaults, sig);
  sigset_t unblocked;
  ::sigemptyset(&unblocked);
  return ::posix_spawnattr_setsigdefault(attributes.get(), &defaults) == 0 &&
         ::posix_spawnattr_setsigmask(attributes.get(), &unblocked) == 0 &&
         ::posix_spawnattr_setflags(
             attributes.get(),
             static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | moreFlags)) == 0;
}

// Starts argv[0], looked up on PATH, with argv and our environment; no shell parses any
// argument. The process id, or -1 when it cannot be started.
inline pid_t SpawnProgram(const std::vector<std::string>& argv, SpawnActions& actions,
                          SpawnAttributes& attributes) {
  if (argv.empty() || argv.front().empty()) return -1;
  std::vector<char*> args;
  args.reserve(argv.size() + 1);
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  if (::posix_spawnp(&pid, args[0], actions.get(), attributes.get(), args.data(), environ) != 0) {
    return -1;
  }
  return pid;
}

}  // namespace platform
