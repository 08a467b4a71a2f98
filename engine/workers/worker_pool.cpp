#include "engine/workers/worker_pool.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <set>
#include <string_view>
#include <utility>

#include "engine/encoders/part_files.h"
#include "engine/workers/line_splitter.h"
#include "platform/files/spawn_program.h"
#include "platform/files/unique_fd.h"

namespace sonorell {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// Longest sleep between looks at Cancel and the time limits.
constexpr milliseconds kMaxWait{100};
// A worker speaks short protocol lines, but for a result line with loudness blocks: at most
// one count per 1/100 LU from -70 to +30 LUFS, some 250 KB. Anything longer is noise from a
// library and dropped.
constexpr size_t kMaxLineBytes = 1024 * 1024;
// How a forked child ends when its parent is already gone before it starts.
constexpr int kChildLostParent = 125;
// Reads per wake-up, so one chatty child cannot starve the others or the time limits.
constexpr int kReadsPerWake = 16;

using platform::SpawnActions;
using platform::SpawnAttributes;
using platform::UniqueFd;

struct Spawned {
  pid_t pid = -1;
  UniqueFd output;  // read end of the child's standard output, non-blocking
};

// Keeps a pipe end away from descriptors 0-2, so placing it on the child's standard output
// can never collide with the one it replaces.
UniqueFd AboveStandardStreams(UniqueFd fd) {
  if (!fd.valid() || fd.get() > STDERR_FILENO) return fd;
  return UniqueFd(::fcntl(fd.get(), F_DUPFD_CLOEXEC, STDERR_FILENO + 1));
}

// The pipe a child speaks through: both ends clear of descriptors 0-2, ours non-blocking.
struct ChildPipe {
  UniqueFd readEnd;
  UniqueFd writeEnd;
};

std::optional<ChildPipe> OpenChildPipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  ChildPipe pipe{AboveStandardStreams(UniqueFd(fds[0])), AboveStandardStreams(UniqueFd(fds[1]))};
  if (!pipe.readEnd.valid() || !pipe.writeEnd.valid()) return std::nullopt;
  const int flags = ::fcntl(pipe.readEnd.get(), F_GETFL);
  if (flags < 0 || ::fcntl(pipe.readEnd.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
    return std::nullopt;
  }
  return pipe;
}

// Starts argv without a shell: standard input from /dev/null, standard output into a pipe,
// standard error shared with us. The child stays in our process group so a Ctrl+C typed at
// the terminal reaches it as well.
std::optional<Spawned> Spawn(const std::vector<std::string>& argv) {
  std::optional<ChildPipe> pipe = OpenChildPipe();
  if (!pipe) return std::nullopt;
  UniqueFd& readEnd = pipe->readEnd;
  UniqueFd& writeEnd = pipe->writeEnd;

  SpawnActions actions;
  if (!actions.ok()) return std::nullopt;
  if (::posix_spawn_file_actions_addopen(actions.get(), STDIN_FILENO, "/dev/null", O_RDONLY, 0) !=
          0 ||
      ::posix_spawn_file_actions_adddup2(actions.get(), writeEnd.get(), STDOUT_FILENO) != 0) {
    return std::nullopt;
  }
  // Descriptors someone opened without close-on-exec must not keep other pipes alive.
  if (!platform::CloseInheritedDescriptors(actions)) return std::nullopt;

  // The child starts with the usual signal behaviour whatever we ignore or block, so that
  // Cancel (SIGINT) reaches it and it dies when we vanish (SIGPIPE).
  SpawnAttributes attributes;
  if (!attributes.ok() || !platform::SetUsualSignals(attributes)) return std::nullopt;
  const pid_t pid = platform::SpawnProgram(argv, actions, attributes);
  if (pid < 0) return std::nullopt;
  return Spawned{pid, std::move(readEnd)};
}

// True when this process runs one thread only: a forked child gets a copy of just the
// calling thread, and a lock another thread held would stay locked in it for ever.
bool SingleThreaded() {
  std::error_code ec;
  size_t threads = 0;
  for (std::filesystem::directory_iterator it("/proc/self/task", ec), end; !ec && it != end;
       it.increment(ec)) {
    ++threads;
  }
  return !ec && threads == 1;
}

// Forks a child that runs body with the write end of a pipe to us. In the child, standard
// input reads nothing, standard output goes where standard error goes (a library that
// prints must not reach any pipe of ours), signals behave as usual, and it ends with
// _exit: what this process set up is torn down by nobody but the kernel.
std::optional<Spawned> Fork(const std::function<int(int, int)>& body, int cores,
                            int niceIncrement) {
  std::optional<ChildPipe> pipe = OpenChildPipe();
  if (!pipe) return std::nullopt;
  UniqueFd& readEnd = pipe->readEnd;
  UniqueFd& writeEnd = pipe->writeEnd;
  // Whatever waits in our buffers is ours to write, not the child's as well.
  std::fflush(nullptr);
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid < 0) return std::nullopt;
  if (pid == 0) {
    // A worker whose parent was killed has nobody left to report to: it ends with it
    // instead of converting on where nobody counts it (a batch task a scheduler cancelled).
    // What it leaves half written is removed by the next run on this machine.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (::getppid() != parent) ::_exit(kChildLostParent);
    ::close(readEnd.get());
    for (const int sig : {SIGINT, SIGQUIT, SIGTERM, SIGPIPE, SIGCHLD}) ::signal(sig, SIG_DFL);
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    const int devNull = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (devNull >= 0) ::dup2(devNull, STDIN_FILENO);
    ::dup2(STDERR_FILENO, STDOUT_FILENO);
    if (niceIncrement > 0) {
      errno = 0;
      const int now = ::getpriority(PRIO_PROCESS, 0);
      if (errno == 0) ::setpriority(PRIO_PROCESS, 0, std::min(19, now + niceIncrement));
    }
    const int status = body(writeEnd.get(), cores);
    std::fflush(nullptr);
    ::_exit(status);
  }
  return Spawned{pid, std::move(readEnd)};
}

enum class StopReason { kNone, kTimeout, kCancel };

struct RunningJob {
  size_t index = 0;
  pid_t pid = -1;
  UniqueFd output;
  Clock::time_point start;
  Clock::time_point lastHeard;  // the last time it wrote anything
  Clock::time_point outputClosedAt;
  LineSplitter lines{kMaxLineBytes};
  StopReason stop = StopReason::kNone;
  bool killed = false;  // SIGKILL sent
  int cores = 1;        // the places it was given
};

void Emit(RunningJob& job, const WorkerPoolCallbacks& callbacks, const std::string& line) {
  if (callbacks.line) callbacks.line(job.index, line);
}

void CloseOutput(RunningJob& job, const WorkerPoolCallbacks& callbacks) {
  if (!job.output.valid()) return;
  job.output.Close();
  job.outputClosedAt = Clock::now();
  // A last line without its line break still counts.
  job.lines.Finish([&](const std::string& line) { Emit(job, callbacks, line); });
}

// Reads what the child has written so far, at most `reads` times.
void Drain(RunningJob& job, const WorkerPoolCallbacks& callbacks, int reads) {
  char buffer[64 * 1024];
  while (job.output.valid() && reads-- > 0) {
    const ssize_t n = ::read(job.output.get(), buffer, sizeof buffer);
    if (n > 0) {
      job.lastHeard = Clock::now();
      job.lines.Feed(std::string_view(buffer, static_cast<size_t>(n)),
                     [&](const std::string& line) { Emit(job, callbacks, line); });
    } else if (n < 0 && errno == EINTR) {
      ++reads;
    } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return;
    } else {
      CloseOutput(job, callbacks);  // end of output, or a broken pipe
    }
  }
}

void SendSignal(RunningJob& job, int sig) {
  if (sig == SIGKILL) {
    if (job.killed) return;
    job.killed = true;
  }
  ::kill(job.pid, sig);
}

// Whatever happens to the loop, no child is left running or unreaped.
class RunningSet {
 public:
  RunningSet() = default;
  ~RunningSet() {
    for (RunningJob& job : jobs_) {
      SendSignal(job, SIGKILL);
      int status = 0;
      while (::waitpid(job.pid, &status, 0) < 0 && errno == EINTR) {
      }
    }
  }
  RunningSet(const RunningSet&) = delete;
  RunningSet& operator=(const RunningSet&) = delete;

  std::vector<RunningJob>& jobs() { return jobs_; }

 private:
  std::vector<RunningJob> jobs_;
};

WorkerOutcome OutcomeOf(const RunningJob& job, int status, bool reaped) {
  WorkerOutcome outcome;
  outcome.seconds = std::chrono::duration<double>(Clock::now() - job.start).count();
  if (!reaped) {
    // Someone else collected the child (SIGCHLD ignored): how it ended is unknown.
    outcome.exitStatus = -1;
  } else if (WIFEXITED(status)) {
    outcome.exitStatus = WEXITSTATUS(status);
  } else if (WIFSIGNALED(status)) {
    outcome.signal = WTERMSIG(status);
  }
  // A child we stopped counts as stopped however it went, even when it handled Cancel and
  // ended by itself; its last lines still tell what it finished.
  switch (job.stop) {
    case StopReason::kTimeout:
      outcome.kind = WorkerOutcome::Kind::kTimedOut;
      break;
    case StopReason::kCancel:
      outcome.kind = WorkerOutcome::Kind::kCancelled;
      break;
    case StopReason::kNone:
      outcome.kind = reaped && WIFSIGNALED(status) ? WorkerOutcome::Kind::kCrashed
                                                   : WorkerOutcome::Kind::kExited;
      break;
  }
  return outcome;
}

bool IsCleanExit(int status, bool reaped) {
  return reaped && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

std::function<bool()> LatchedCancel(std::function<bool()> ask, bool& seen) {
  return [ask = std::move(ask), &seen] {
    seen = seen || (ask && ask());
    return seen;
  };
}

void RunWorkerPool(std::span<const WorkerJob> jobs, const WorkerPoolOptions& options,
                   const WorkerPoolCallbacks& callbacks) {
  const size_t parallel = static_cast<size_t>(std::max(1, options.parallel));
  const milliseconds timeout = options.silenceLimit;
  // Forking is only safe without other threads; a job that would need it fails instead.
  const bool mayFork = SingleThreaded();
  const milliseconds grace = std::max(milliseconds{0}, options.cancelGrace);

  auto finish = [&](size_t index, const WorkerOutcome& outcome) {
    if (callbacks.finished) callbacks.finished(index, outcome);
  };

  std::vector<size_t> waiting(jobs.size());
  for (size_t i = 0; i < jobs.size(); ++i) waiting[i] = i;
  std::set<std::string> busyKeys;
  RunningSet runningSet;
  std::vector<RunningJob>& running = runningSet.jobs();
  bool cancelling = false;
  Clock::time_point cancelAt;
  bool mayStart = true;  // something changed that could let a waiting job start

  auto beginCancel = [&] {
    cancelling = true;
    cancelAt = Clock::now();
    for (RunningJob& job : running) {
      if (job.stop != StopReason::kNone) continue;
      job.stop = StopReason::kCancel;
      SendSignal(job, SIGINT);
    }
    for (const size_t index : waiting) finish(index, WorkerOutcome{});
    waiting.clear();
  };
  auto askCancel = [&] {
    if (!cancelling && callbacks.cancelRequested && callbacks.cancelRequested()) beginCancel();
  };

  auto startWaiting = [&] {
    std::vector<size_t> stillWaiting;
    size_t i = 0;
    for (; i < waiting.size() && running.size() < parallel; ++i) {
      const size_t index = waiting[i];
      const WorkerJob& job = jobs[index];
      if (!job.exclusiveKey.empty() && busyKeys.contains(job.exclusiveKey)) {
        stillWaiting.push_back(index);
        continue;
      }
      const Clock::time_point start = Clock::now();
      // The last jobs share the places the others leave free.
      int inUse = 0;
      for (const RunningJob& r : running) inUse += r.cores;
      const auto after = static_cast<int>(waiting.size() - i - 1);
      const int cores = std::max(1, (static_cast<int>(parallel) - inUse) / (1 + after));
      std::optional<Spawned> spawned;
      if (!job.body) {
        spawned = Spawn(job.argv);
      } else if (mayFork) {
        spawned = Fork(job.body, cores, options.niceIncrement);
      }
      if (!spawned) {
        WorkerOutcome outcome;
        outcome.kind = WorkerOutcome::Kind::kNotStarted;
        outcome.exitStatus = 127;
        finish(index, outcome);
        continue;
      }
      if (!job.exclusiveKey.empty()) busyKeys.insert(job.exclusiveKey);
      RunningJob child;
      child.index = index;
      child.pid = spawned->pid;
      child.output = std::move(spawned->output);
      child.start = start;
      child.lastHeard = start;
      child.cores = job.body ? cores : 1;
      running.push_back(std::move(child));
      if (callbacks.started) callbacks.started(index, spawned->pid);
    }
    stillWaiting.insert(stillWaiting.end(), waiting.begin() + static_cast<ptrdiff_t>(i),
                        waiting.end());
    waiting = std::move(stillWaiting);
  };

  while (!waiting.empty() || !running.empty()) {
    askCancel();
    if (!cancelling && mayStart) {
      startWaiting();
      mayStart = false;
    }
    if (running.empty()) {
      // Nothing could start (every job failed to spawn, or the keys are all taken, which
      // cannot happen with no child running): loop again to finish the rest.
      mayStart = true;
      continue;
    }

    // Sleep until output arrives, a time limit is due, or it is time to look at Cancel.
    const Clock::time_point now = Clock::now();
    milliseconds wait = kMaxWait;
    auto until = [&](Clock::time_point due) {
      const auto left = std::chrono::ceil<milliseconds>(due - now);
      wait = std::clamp(left, milliseconds{0}, wait);
    };
    std::vector<pollfd> fds;
    std::vector<size_t> fdJobs;
    for (size_t r = 0; r < running.size(); ++r) {
      const RunningJob& job = running[r];
      if (job.output.valid()) {
        fds.push_back(pollfd{job.output.get(), POLLIN, 0});
        fdJobs.push_back(r);
      } else {
        // Its output ended, so it is about to exit; look again soon, then less often.
        const auto since = std::chrono::duration_cast<milliseconds>(now - job.outputClosedAt);
        wait = std::min(wait, std::clamp(since, milliseconds{2}, kMaxWait));
      }
      if (timeout.count() > 0 && job.stop == StopReason::kNone) until(job.lastHeard + timeout);
    }
    if (cancelling) until(cancelAt + grace);
    const int ready = ::poll(fds.data(), fds.size(), static_cast<int>(wait.count()));
    if (ready > 0) {
      for (size_t f = 0; f < fds.size(); ++f) {
        if (fds[f].revents != 0) Drain(running[fdJobs[f]], callbacks, kReadsPerWake);
      }
    }
    if (ready < 0 && errno != EINTR) {
      // Not a signal but a failure (out of memory): still wait instead of spinning.
      ::poll(nullptr, 0, static_cast<int>(wait.count()));
    }

    askCancel();
    const Clock::time_point after = Clock::now();
    for (RunningJob& job : running) {
      if (timeout.count() > 0 && job.stop == StopReason::kNone &&
          after - job.lastHeard >= timeout) {
        job.stop = StopReason::kTimeout;
        SendSignal(job, SIGKILL);
      }
      if (cancelling && after - cancelAt >= grace) SendSignal(job, SIGKILL);
    }

    // Collect every child that has ended.
    for (size_t r = 0; r < running.size();) {
      RunningJob& job = running[r];
      int status = 0;
      pid_t got = -1;
      do {
        got = ::waitpid(job.pid, &status, WNOHANG);
      } while (got < 0 && errno == EINTR);
      if (got == 0) {
        ++r;
        continue;
      }
      const bool reaped = got == job.pid;
      if (reaped && WIFSIGNALED(status) && WTERMSIG(status) == SIGINT &&
          job.stop == StopReason::kNone) {
        // A Ctrl+C at the terminal reached the child before we saw the Cancel it means.
        askCancel();
      }
      // What it wrote before it ended is still in the pipe; a grandchild holding the pipe
      // open must not keep us waiting, so the rest is dropped.
      Drain(job, callbacks, 64);
      CloseOutput(job, callbacks);
      const WorkerOutcome outcome = OutcomeOf(job, status, reaped);
      if (!IsCleanExit(status, reaped)) RemovePartsOf(jobs[job.index].partFolders, job.pid);
      const std::string& key = jobs[job.index].exclusiveKey;
      if (!key.empty()) busyKeys.erase(key);
      const size_t index = job.index;
      running.erase(running.begin() + static_cast<ptrdiff_t>(r));
      mayStart = true;
      finish(index, outcome);
    }
  }
}

}  // namespace sonorell
