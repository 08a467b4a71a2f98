#pragma once

// Measuring whole programs for the benchmarks: wall time and peak memory of a child process
// run without a shell, with its own HOME so no user options colour the result.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

inline double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

// A shell command; true when it succeeded.
inline bool Run(const std::string& command) {
  const int status = std::system(command.c_str());
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

// Best time of three runs of f (false from f: -1), so a busy moment of the machine does not
// decide the ratio.
template <typename F>
double BestOf3(F&& f) {
  double best = 1e300;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    if (!f()) return -1;
    best = std::min(best, Seconds(start));
  }
  return best;
}

struct Measured {
  double seconds = -1;  // -1: the program failed
  long peakKb = 0;
  double cpuSeconds = 0;  // user and system time of the whole tree, which a busy machine
                          // stretches less than the wall time
};

// Runs a program and measures it with wait4's resource usage.
inline Measured RunMeasured(std::vector<std::string> args, const std::string& home) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  Measured m;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
  }
  return m;
}

// The fastest of three runs (and the largest peak), so a busy moment does not decide.
inline Measured BestOf3(const std::vector<std::string>& args, const std::string& home) {
  Measured best;
  for (int i = 0; i < 3; ++i) {
    const Measured m = RunMeasured(args, home);
    if (m.seconds < 0) return m;
    if (best.seconds < 0 || m.seconds < best.seconds) best.seconds = m.seconds;
    best.peakKb = std::max(best.peakKb, m.peakKb);
  }
  return best;
}

// Two programs on the same job, their runs taken in turns so that both see the machine in
// the same state; best of three each. prepare runs before every run (to clear outputs).
template <typename Prepare>
inline void BestOf3InTurns(const std::vector<std::string>& ours,
                           const std::vector<std::string>& peer, const std::string& home,
                           Prepare prepare, Measured& oursBest, Measured& peerBest) {
  oursBest = Measured();
  peerBest = Measured();
  for (int i = 0; i < 3; ++i) {
    for (int which = 0; which < 2; ++which) {
      prepare();
      const Measured m = RunMeasured(which == 0 ? ours : peer, home);
      Measured& best = which == 0 ? oursBest : peerBest;
      if (m.seconds < 0) {
        best.seconds = -1;
        return;
      }
      if (best.seconds < 0 || m.seconds < best.seconds) best.seconds = m.seconds;
      best.peakKb = std::max(best.peakKb, m.peakKb);
    }
  }
}

// One line per measured job for bench/run's table, after the job's own readable line:
// RESULT, job, our seconds, the peer's seconds, ratio (ours / peer: below 1 we are faster), the
// ratio to stay within ("-": none), our peak memory in MiB; tab-separated.
inline void PrintResult(const std::string& job, double ours, double peer, double target,
                        long peakKb) {
  std::printf("RESULT\t%s\t%.3f\t%.3f\t%.2f\t", job.c_str(), ours, peer,
              peer > 0 ? ours / peer : 0.0);
  if (target > 0 && target < 1e6)
    std::printf("%.2f\t", target);
  else
    std::printf("-\t");
  if (peakKb > 0)
    std::printf("%.1f\n", static_cast<double>(peakKb) / 1024.0);
  else
    std::printf("-\n");
}

// The same line for a job that could not be measured, with the reason in the ratio's place.
inline void PrintFailedResult(const std::string& job, const std::string& why, double target) {
  std::printf("RESULT\t%s\t-\t-\tfailed: %s\t", job.c_str(), why.c_str());
  if (target > 0 && target < 1e6)
    std::printf("%.2f\t-\n", target);
  else
    std::printf("-\t-\n");
}

}  // namespace bench
