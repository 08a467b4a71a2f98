#pragma once

#include <chrono>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace sonorell {

// One file's conversion as a child process of its own, so a decoder that crashes or hangs
// on a hostile file takes nothing else with it.
struct WorkerJob {
  // The child's command line; argv[0] is the program to run.
  std::vector<std::string> argv;
  // Jobs with the same non-empty key never run at the same time and start in list order
  // (two sources that would write the same target name must see each other's output).
  std::string exclusiveKey;
  // Folders where the child may leave temporary parts (".sonorell-<pid>-*") when it is
  // killed; they are removed after it ends.
  std::vector<std::string> partFolders;
};

struct WorkerOutcome {
  enum class Kind {
    kExited,     // ended by itself; exitStatus holds its status
    kCrashed,    // ended by a signal it did not ask for; signal holds it
    kTimedOut,   // ran past the time limit and was killed
    kCancelled,  // stopped because the batch was cancelled
    kNotStarted  // the batch was cancelled before its turn, or it could not be started
  };
  Kind kind = Kind::kNotStarted;
  int exitStatus = 0;
  int signal = 0;
  double seconds = 0;
};

struct WorkerPoolOptions {
  int parallel = 1;                             // children at once, at least 1
  std::chrono::milliseconds timeout{0};         // per job; 0 = none
  std::chrono::milliseconds cancelGrace{3000};  // after Cancel, before children are killed
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

// Runs every job, at most options.parallel at once, and returns when all have ended.
void RunWorkerPool(std::span<const WorkerJob> jobs, const WorkerPoolOptions& options,
                   const WorkerPoolCallbacks& callbacks);

}  // namespace sonorell
