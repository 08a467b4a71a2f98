#pragma once

// Measuring whole programs for the benchmarks: wall time and peak memory of a child process
// run without a shell, with its own HOME so no user options colour the result; the memory
// and processor time of a running process tree as /proc tells them.

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <sstream>
#include <stop_token>
#include <string>
#include <thread>
#include <utility>
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

// Several jobs on the same input, taken in turns for the given rounds so that each sees the
// machine in the same states; the best wall time of each. prepare (not timed) runs before
// every job, to clear outputs. A job that fails (false) ends the whole measurement: every
// time is then -1.
inline std::vector<double> BestInTurns(int rounds, const std::function<void()>& prepare,
                                       const std::vector<std::function<bool()>>& jobs) {
  std::vector<double> best(jobs.size(), 1e300);
  for (int round = 0; round < rounds; ++round) {
    for (size_t j = 0; j < jobs.size(); ++j) {
      if (prepare) prepare();
      const auto start = Clock::now();
      if (!jobs[j]()) return std::vector<double>(jobs.size(), -1);
      best[j] = std::min(best[j], Seconds(start));
    }
  }
  return best;
}

// ---- A running process tree, as /proc tells it ----

// The fields of /proc/<pid>/stat after the program name (the first is the state, field 3);
// empty when the process is gone.
inline std::vector<std::string> StatFields(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text;
  std::getline(in, text);
  const size_t nameEnd = text.rfind(')');
  if (nameEnd == std::string::npos) return {};
  std::istringstream rest(text.substr(nameEnd + 1));
  std::vector<std::string> fields;
  for (std::string f; rest >> f;) fields.push_back(f);
  return fields;
}

// The children of a process: from every thread's list of children, or where the kernel keeps
// no such list, from every process's parent.
inline std::vector<pid_t> ChildrenOf(pid_t parent) {
  namespace fs = std::filesystem;
  static const bool childLists =
      fs::exists("/proc/self/task/" + std::to_string(getpid()) + "/children");
  std::vector<pid_t> children;
  std::error_code ec;
  if (childLists) {
    for (const auto& task :
         fs::directory_iterator("/proc/" + std::to_string(parent) + "/task", ec)) {
      std::ifstream in(task.path() / "children");
      for (long pid = 0; in >> pid;) children.push_back(static_cast<pid_t>(pid));
    }
    return children;
  }
  for (const auto& entry : fs::directory_iterator("/proc", ec)) {
    const std::string name = entry.path().filename().string();
    if (name.find_first_not_of("0123456789") != std::string::npos) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(name));
    const std::vector<std::string> f = StatFields(pid);
    if (f.size() > 1 && std::atol(f[1].c_str()) == parent) children.push_back(pid);
  }
  return children;
}

// Every process below root, children first.
inline std::vector<pid_t> DescendantsOf(pid_t root) {
  std::vector<pid_t> all = ChildrenOf(root);
  for (size_t i = 0; i < all.size(); ++i) {
    const std::vector<pid_t> more = ChildrenOf(all[i]);
    all.insert(all.end(), more.begin(), more.end());
  }
  return all;
}

// The proportional set size of a process in KiB: what it maps, each page shared with other
// processes divided among them, so the shared libraries of a batch count once; 0 when the
// process is gone.
inline long PssKb(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/smaps_rollup");
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("Pss:", 0) == 0) return std::atol(line.c_str() + 4);
  }
  return 0;
}

// Processor time (user and system) of one process so far, without its children.
inline double OwnCpuSeconds(pid_t pid) {
  static const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  const std::vector<std::string> f = StatFields(pid);
  // utime and stime are fields 14 and 15.
  if (f.size() < 13) return 0;
  return (std::atof(f[11].c_str()) + std::atof(f[12].c_str())) / ticks;
}

// Processor time (user and system) of a process tree so far: the root's own and that of the
// children it has waited for, and the same of every live process below it. The difference of
// two readings is what the tree did in between.
inline double TreeCpuSeconds(pid_t root) {
  static const double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  std::vector<pid_t> tree = DescendantsOf(root);
  tree.push_back(root);
  double seconds = 0;
  for (const pid_t pid : tree) {
    const std::vector<std::string> f = StatFields(pid);
    // utime, stime, cutime and cstime are fields 14 to 17.
    if (f.size() < 15) continue;
    for (size_t i = 11; i <= 14; ++i) seconds += std::atof(f[i].c_str()) / ticks;
  }
  return seconds;
}

// The name a process runs under (its first 15 bytes, as the kernel keeps it).
inline std::string ProcessName(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
  std::string name;
  std::getline(in, name);
  return name;
}

// The largest proportional set size any one process below root reached (a batch's worker,
// or only those named name when it is not empty): every such process sampled every 20 ms, on
// a thread of its own, from construction until destruction.
class WorkerPssPeak {
 public:
  WorkerPssPeak(pid_t root, std::string name)
      : name_(std::move(name)),
        thread_([this, root](std::stop_token stop) { Sample(root, stop); }) {}
  WorkerPssPeak(const WorkerPssPeak&) = delete;
  WorkerPssPeak& operator=(const WorkerPssPeak&) = delete;

  long Kb() const { return peakKb_.load(); }

 private:
  void Sample(pid_t root, std::stop_token stop) {
    std::mutex m;
    std::condition_variable_any wake;
    std::unique_lock lock(m);
    while (!stop.stop_requested()) {
      for (const pid_t pid : DescendantsOf(root)) {
        if (!name_.empty() && ProcessName(pid) != name_) continue;
        const long kb = PssKb(pid);
        if (kb > peakKb_.load()) peakKb_.store(kb);
      }
      wake.wait_for(lock, stop, std::chrono::milliseconds(20), [] { return false; });
    }
  }

  const std::string name_;
  std::atomic<long> peakKb_{0};
  std::jthread thread_;  // last: stopped and joined before the rest goes
};

struct Measured {
  double seconds = -1;  // -1: the program failed
  long peakKb = 0;
  double cpuSeconds = 0;  // user and system time of the whole tree, which a busy machine
                          // stretches less than the wall time
  long workerPssKb = 0;   // watched: the largest PSS one process below it reached
};

// What RunMeasured watches beside the time and the peak of the largest process: the PSS of
// every process below the program (only of those named workerName, when it is not empty).
struct Watch {
  bool workerPss = false;
  std::string workerName;
};

// Runs a program and measures it with wait4's resource usage.
inline Measured RunMeasured(std::vector<std::string> args, const std::string& home,
                            const Watch& watch = {}) {
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const auto start = Clock::now();
  std::fflush(stdout);
  const pid_t pid = fork();
  if (pid == 0) {
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
    if (std::freopen("/dev/null", "w", stdout) == nullptr) _exit(126);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  std::optional<WorkerPssPeak> workers;
  if (watch.workerPss) workers.emplace(pid, watch.workerName);
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const double seconds = Seconds(start);
  Measured m;
  if (WIFEXITED(status) && WEXITSTATUS(status) == 0) {
    m.seconds = seconds;
    m.peakKb = usage.ru_maxrss;
    m.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (workers) m.workerPssKb = workers->Kb();
  }
  return m;
}

// A WAV file of pink noise, 44.1 kHz stereo 16-bit, made by sox: every band busy, so no
// encoder coasts on silence, and every file its own.
inline bool MakePinkNoiseWav(const std::string& path, int seconds, const std::string& home) {
  return RunMeasured({"sox", "-q", "-n", "-r", "44100", "-c", "2", "-b", "16", path, "synth",
                      std::to_string(seconds), "pinknoise", "vol", "0.5"},
                     home)
             .seconds >= 0;
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
// the same state; best of three each (-1 for both when a run failed), and the largest peak.
// prepare runs before every run (to clear outputs).
inline void BestOf3InTurns(const std::vector<std::string>& ours,
                           const std::vector<std::string>& peer, const std::string& home,
                           const std::function<void()>& prepare, Measured& oursBest,
                           Measured& peerBest) {
  oursBest = Measured();
  peerBest = Measured();
  const auto run = [&home](const std::vector<std::string>& args, Measured& best) {
    const Measured m = RunMeasured(args, home);
    best.peakKb = std::max(best.peakKb, m.peakKb);
    return m.seconds >= 0;
  };
  const std::vector<double> times = BestInTurns(
      3, prepare, {[&] { return run(ours, oursBest); }, [&] { return run(peer, peerBest); }});
  oursBest.seconds = times[0];
  peerBest.seconds = times[1];
}

// A ratio to stay within as the table shows it: two decimals, three where the third counts
// (1.10, 1.05, 0.556); "-" for none (0, or a value too large to be one).
inline std::string TargetText(double target) {
  if (target <= 0 || target >= 1e6) return "-";
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", target);
  std::string t = text;
  if (t.back() == '0') t.pop_back();
  return t;
}

// What the peak-memory column holds for a row: the peak of the largest process as the kernel
// accounts it to a waiting parent, or the largest proportional set size one worker reached.
enum class Peak { kLargestProcess, kPerWorkerPss };

// One line per measured job for bench/run's table, after the job's own readable line:
// RESULT, job, our seconds, the peer's seconds, ratio (ours / peer: below 1 we are faster), the
// ratio to stay within ("-": none), our peak memory in MiB ("-": not measured), and for a
// per-worker peak its note; tab-separated.
inline void PrintResult(const std::string& job, double ours, double peer, double target,
                        long peakKb, Peak peak = Peak::kLargestProcess) {
  std::printf("RESULT\t%s\t%.3f\t%.3f\t%.3f\t%s\t", job.c_str(), ours, peer,
              peer > 0 ? ours / peer : 0.0, TargetText(target).c_str());
  if (peakKb > 0)
    std::printf("%.1f", static_cast<double>(peakKb) / 1024.0);
  else
    std::printf("-");
  std::printf(peak == Peak::kPerWorkerPss ? "\tper-worker PSS\n" : "\n");
}

// The same line for a job that could not be measured, with the reason in the ratio's place.
inline void PrintFailedResult(const std::string& job, const std::string& why, double target) {
  std::printf("RESULT\t%s\t-\t-\tfailed: %s\t%s\t-\n", job.c_str(), why.c_str(),
              TargetText(target).c_str());
}

// MP3 files in a folder; a run counts only when every file came out.
inline int CountMp3(const std::string& folder) {
  int n = 0;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    if (entry.path().extension() == ".mp3" && entry.file_size(ec) > 0) ++n;
  }
  return n;
}

// Empties a folder (making it when missing).
inline void ClearFolder(const std::string& folder) {
  std::error_code ec;
  std::filesystem::remove_all(folder, ec);
  std::filesystem::create_directories(folder, ec);
}

}  // namespace bench
