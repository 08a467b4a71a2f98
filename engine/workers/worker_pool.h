#pragma once

#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace sonorell {

// One piece of work (a file's conversion, a handful of probes) as a child process of its
// own, so a decoder that crashes or hangs on a hostile file takes nothing else with it.
struct WorkerJob {
  // The child's command line; argv[0] is the program to run. Used when body is empty.
  std::vector<std::string> argv;
  // Jobs with the same non-empty key never run at the same time and start in list order
  // (two sources that would write the same target name must see each other's output).
  std::string exclusiveKey;
  // Folders where the child may leave temporary parts (see part_files.h) when it is
  // killed; its parts there are removed after it ends.
  std::vector<std::string> partFolders;
  // Or the work itself: the pool forks and the child runs body with the write end of its
  // pipe to us, then ends with the status body returns. The child inherits everything this
  // process has set up (libraries, settings, the run's plan) at no cost, so only a
  // single-threaded process may use it; the pool refuses to fork a process with threads.
  // cores: how many of the pool's places the job may keep busy: 1 while other jobs wait,
  // and a share of the free places once fewer jobs than places are left.
  std::function<int(int toParent, int cores)> body;
};

struct WorkerOutcome {
  enum class Kind {
    kExited,     // ended by itself; exitStatus holds its status
    kCrashed,    // ended by a signal it did not ask for; signal holds it
    kTimedOut,   // said nothing for the silence limit and was killed
    kCancelled,  // stopped because the batch was cancelled
    kNotStarted  // the batch was cancelled before its turn, or it could not be started
  };
  Kind kind = Kind::kNotStarted;
  int exitStatus = 0;
  int signal = 0;
  double seconds = 0;
};

struct WorkerPoolOptions {
  int parallel = 1;  // children at once, at least 1
  // A child that writes nothing for this long is taken for hung and killed; one that keeps
  // reporting runs as long as it needs. 0 = no limit.
  std::chrono::milliseconds silenceLimit{0};
  std::chrono::milliseconds cancelGrace{3000};  // after Cancel, before children are killed
  // Added to the children's nice value, so the desktop stays usable during a long run.
  int niceIncrement = 0;
};

// What the pool tells its caller, always on the caller's thread.
struct WorkerPoolCallbacks {
  // A job started (index into the job list) with the child's process id.
  std::function<void(size_t index, int pid)> started;
  // One line the child wrote on its standard output (without the line break).
  std::function<void(size_t index, const std::string& line)> line;
  // A job ended; every job gets exactly one call, in the order they end.
  std::function<void(size_t index, const WorkerOutcome& outcome)> finished;
  // Asked between events; true stops the batch: running children get SIGINT (their own
  // Cancel), then SIGKILL after the grace time; jobs not started end as kNotStarted.
  std::function<bool()> cancelRequested;
};

// A Cancel that stays seen once asked and answered yes; seen tells the caller afterwards.
std::function<bool()> LatchedCancel(std::function<bool()> ask, bool& seen);

// Runs every job, at most options.parallel at once, and returns when all have ended.
void RunWorkerPool(std::span<const WorkerJob> jobs, const WorkerPoolOptions& options,
                   const WorkerPoolCallbacks& callbacks);

}  // namespace sonorell
