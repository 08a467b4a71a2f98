#include "engine/workers/worker_pool.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "engine/encoders/part_files.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using Kind = WorkerOutcome::Kind;
using std::chrono::milliseconds;
using testing::TempFolder;

WorkerJob Shell(const std::string& script, std::string key = {}) {
  return WorkerJob{{"/bin/sh", "-c", script}, std::move(key), {}, {}};
}

struct Record {
  std::map<size_t, std::vector<std::string>> lines;
  std::map<size_t, WorkerOutcome> outcomes;
  std::map<size_t, int> pids;
  std::map<size_t, int> finishedPerJob;
  std::vector<size_t> startOrder;
  int finishedCalls = 0;
  int running = 0;
  int mostRunning = 0;
  bool allInOurGroup = true;
};

WorkerPoolCallbacks Recording(Record& r, std::function<bool()> cancel = nullptr) {
  WorkerPoolCallbacks c;
  c.started = [&r](size_t i, int pid) {
    r.pids[i] = pid;
    r.startOrder.push_back(i);
    r.mostRunning = std::max(r.mostRunning, ++r.running);
    // Same process group as us, so a Ctrl+C at the terminal reaches the children too.
    r.allInOurGroup = r.allInOurGroup && ::getpgid(pid) == ::getpgrp();
  };
  c.line = [&r](size_t i, const std::string& l) { r.lines[i].push_back(l); };
  c.finished = [&r](size_t i, const WorkerOutcome& o) {
    ++r.finishedCalls;
    ++r.finishedPerJob[i];
    if (r.pids.contains(i)) --r.running;
    r.outcomes[i] = o;
  };
  c.cancelRequested = std::move(cancel);
  return c;
}

// Every child the pool started has been collected: none is left running or as a zombie.
void ExpectAllReaped(const Record& r) {
  for (const auto& [index, pid] : r.pids) {
    int status = 0;
    EXPECT_EQ(::waitpid(pid, &status, WNOHANG), -1) << index;
    EXPECT_EQ(errno, ECHILD) << index;
  }
}

void ExpectEachFinishedOnce(const Record& r, size_t jobs) {
  EXPECT_EQ(r.finishedCalls, static_cast<int>(jobs));
  for (size_t i = 0; i < jobs; ++i) EXPECT_EQ(r.finishedPerJob.at(i), 1) << i;
}

TEST(WorkerPool, LinesArriveWholeWhateverTheChildsWrites) {
  const std::vector<WorkerJob> jobs{
      Shell("printf 'progress\\t1'; sleep 0.1; printf '0\\nresult\\tok\\n'; sleep 0.05; "
            "printf 'split '; sleep 0.05; printf 'in three'; sleep 0.05; printf ' pieces\\n'; "
            "printf 'tail'"),
      Shell("printf 'a\\nb\\r\\n\\nc\\n'"),
      // A runaway line (beyond the 1 MB a result line may take) is dropped, the lines around
      // it are not.
      Shell("echo before; head -c 2000000 /dev/zero | tr '\\000' x; echo; echo after")};
  Record r;
  RunWorkerPool(jobs, {2}, Recording(r));
  EXPECT_EQ(r.lines[0], (std::vector<std::string>{"progress\t10", "result\tok",
                                                  "split in three pieces", "tail"}));
  EXPECT_EQ(r.lines[1], (std::vector<std::string>{"a", "b", "", "c"}));
  EXPECT_EQ(r.lines[2], (std::vector<std::string>{"before", "after"}));
  EXPECT_EQ(r.outcomes[0].kind, Kind::kExited);
  EXPECT_EQ(r.outcomes[0].exitStatus, 0);
  EXPECT_GT(r.outcomes[0].seconds, 0.2);
  EXPECT_LT(r.outcomes[0].seconds, 5.0);
  EXPECT_TRUE(r.allInOurGroup);
  ExpectEachFinishedOnce(r, jobs.size());
  ExpectAllReaped(r);
}

// Children write their start and end times; the overlap never exceeds the limit, and jobs
// sharing a key never overlap and start in their order while others overtake them.
TEST(WorkerPool, KeepsToTheLimitAndToExclusiveKeys) {
  TempFolder log;
  std::vector<WorkerJob> jobs;
  for (int i = 0; i < 8; ++i) {
    const std::string file = log / ("job" + std::to_string(i));
    jobs.push_back(Shell("date +%s.%N > '" + file + "'; sleep 0.2; date +%s.%N >> '" + file + "'",
                         i % 2 == 0 ? "same" : ""));
  }
  Record r;
  RunWorkerPool(jobs, {3}, Recording(r));
  ExpectEachFinishedOnce(r, jobs.size());
  EXPECT_EQ(r.mostRunning, 3);
  std::vector<std::pair<double, double>> spans;
  for (int i = 0; i < 8; ++i) {
    std::istringstream in(testing::ReadFileBytes(log / ("job" + std::to_string(i))));
    double start = 0, end = 0;
    in >> start >> end;
    spans.emplace_back(start, end);
    EXPECT_EQ(r.outcomes[static_cast<size_t>(i)].kind, Kind::kExited);
  }
  for (const auto& [start, end] : spans) {
    const double mid = (start + end) / 2;
    const auto overlapping = std::count_if(spans.begin(), spans.end(), [mid](const auto& s) {
      return s.first <= mid && mid <= s.second;
    });
    EXPECT_LE(overlapping, 3);
  }
  for (int i = 2; i < 8; i += 2) {
    EXPECT_GE(spans[static_cast<size_t>(i)].first, spans[static_cast<size_t>(i - 2)].second) << i;
  }
  // Job 2 waits for job 0's key; jobs 1 and 3 take the free places meanwhile.
  ASSERT_GE(r.startOrder.size(), 3u);
  EXPECT_EQ(r.startOrder[0], 0u);
  EXPECT_EQ(r.startOrder[1], 1u);
  EXPECT_EQ(r.startOrder[2], 3u);
  std::vector<size_t> keyed;
  for (const size_t i : r.startOrder) {
    if (i % 2 == 0) keyed.push_back(i);
  }
  EXPECT_EQ(keyed, (std::vector<size_t>{0, 2, 4, 6}));
  ExpectAllReaped(r);
}

TEST(WorkerPool, ACrashOrAHangFailsOnlyItsJob) {
  const std::vector<WorkerJob> jobs{Shell("echo fine"),     Shell("kill -SEGV $$"),
                                    Shell("exec sleep 60"), Shell("sleep 5 2>/dev/null & wait"),
                                    Shell("exit 3"),        Shell("echo fine too")};
  Record r;
  WorkerPoolOptions options;
  options.parallel = 3;
  options.silenceLimit = milliseconds(500);
  const auto start = std::chrono::steady_clock::now();
  RunWorkerPool(jobs, options, Recording(r));
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(4));
  EXPECT_EQ(r.outcomes[0].kind, Kind::kExited);
  EXPECT_EQ(r.outcomes[1].kind, Kind::kCrashed);
  EXPECT_EQ(r.outcomes[1].signal, SIGSEGV);
  EXPECT_EQ(r.outcomes[2].kind, Kind::kTimedOut);
  EXPECT_GE(r.outcomes[2].seconds, 0.45);
  EXPECT_LT(r.outcomes[2].seconds, 2.0);
  // A child whose own child keeps the output open is still ended on time.
  EXPECT_EQ(r.outcomes[3].kind, Kind::kTimedOut);
  EXPECT_LT(r.outcomes[3].seconds, 2.0);
  EXPECT_EQ(r.outcomes[4].kind, Kind::kExited);
  EXPECT_EQ(r.outcomes[4].exitStatus, 3);
  EXPECT_EQ(r.outcomes[5].kind, Kind::kExited);
  EXPECT_EQ(r.lines[5], (std::vector<std::string>{"fine too"}));
  ExpectEachFinishedOnce(r, jobs.size());
  ExpectAllReaped(r);
}

TEST(WorkerPool, PartsOfAKilledChildAreRemovedAndNothingElse) {
  TempFolder out;
  TempFolder elsewhere;
  const std::string host = PartHostName();
  testing::WriteFileBytes(out / "keep.mp3", "x");
  testing::WriteFileBytes(out / PartFileName(host, 1, 1, 0), "another process's");
  testing::WriteFileBytes(elsewhere / "linked.wav", "must survive");
  // $2 is this machine's part name prefix, $3 that of another machine whose name begins with ours.
  const std::string leaveParts =
      "touch \"$0/$2-$$-0000abcd-0.part\" \"$0/$2-$$-0000abcd-1.part.a1B2c3\" "
      "\"$0/$3-$$-0000abcd-0.part\"; "
      "mkdir \"$0/$2-$$-0000abcd-2.part\"; ln -s \"$1\" \"$0/$2-$$-0000abcd-3.part\"; ";
  std::vector<WorkerJob> jobs{Shell(leaveParts + "kill -KILL $$"),              // crashed
                              Shell(leaveParts + "echo ready; exec sleep 60"),  // timed out
                              Shell(leaveParts + "exit 4"),                     // failed
                              Shell(leaveParts + "exit 0")};                    // clean: untouched
  for (WorkerJob& job : jobs) {
    job.argv.push_back(out.path());
    job.argv.push_back(elsewhere / "linked.wav");
    job.argv.push_back(".sonorell-" + host);
    job.argv.push_back(".sonorell-" + host + "-7");
    job.partFolders = {out.path()};
  }
  Record r;
  WorkerPoolOptions options;
  options.parallel = 4;
  options.silenceLimit = milliseconds(400);
  RunWorkerPool(jobs, options, Recording(r));
  EXPECT_EQ(r.outcomes[0].kind, Kind::kCrashed);
  EXPECT_EQ(r.outcomes[1].kind, Kind::kTimedOut);
  EXPECT_EQ(r.outcomes[2].kind, Kind::kExited);
  EXPECT_EQ(r.outcomes[3].kind, Kind::kExited);
  for (size_t i = 0; i < jobs.size(); ++i) {
    const std::string mine = out / PartFileName(host, r.pids[i], 0xabcd, 0);
    const std::string other = out / PartFileName(host + "-7", r.pids[i], 0xabcd, 0);
    const bool removed = i != 3;
    EXPECT_EQ(fs::exists(mine), !removed) << i;
    EXPECT_EQ(fs::exists(out / PartFileName(host, r.pids[i], 0xabcd, 1) + ".a1B2c3"), !removed)
        << i;
    // Another machine's part with the same process id stays, and so do a folder and a link.
    EXPECT_TRUE(fs::exists(other)) << i;
    EXPECT_TRUE(fs::is_directory(out / PartFileName(host, r.pids[i], 0xabcd, 2))) << i;
    EXPECT_TRUE(fs::is_symlink(out / PartFileName(host, r.pids[i], 0xabcd, 3))) << i;
  }
  EXPECT_EQ(testing::ReadFileBytes(elsewhere / "linked.wav"), "must survive");
  EXPECT_TRUE(fs::exists(out / "keep.mp3"));
  EXPECT_TRUE(fs::exists(out / PartFileName(host, 1, 1, 0)));
  ExpectAllReaped(r);
}

TEST(WorkerPool, CancelInterruptsRunningChildrenAndSkipsTheRest) {
  TempFolder log;
  std::vector<WorkerJob> jobs;
  for (int i = 0; i < 5; ++i) {
    jobs.push_back(Shell("trap 'echo interrupted > \"" + log / ("int" + std::to_string(i)) +
                         "\"; exit 1' INT; echo up; while :; do sleep 0.05; done"));
  }
  Record r;
  int ups = 0;
  WorkerPoolCallbacks callbacks = Recording(r, [&] { return ups >= 2; });
  const auto record = callbacks.line;
  callbacks.line = [&](size_t i, const std::string& l) {
    ups += l == "up";
    record(i, l);
  };
  WorkerPoolOptions options;
  options.parallel = 2;
  RunWorkerPool(jobs, options, callbacks);
  ExpectEachFinishedOnce(r, jobs.size());
  EXPECT_EQ(r.outcomes[0].kind, Kind::kCancelled);
  EXPECT_EQ(r.outcomes[1].kind, Kind::kCancelled);
  EXPECT_EQ(r.outcomes[0].exitStatus, 1);  // it handled the interrupt itself
  EXPECT_TRUE(fs::exists(log / "int0"));
  EXPECT_TRUE(fs::exists(log / "int1"));
  for (size_t i = 2; i < 5; ++i) {
    EXPECT_EQ(r.outcomes[i].kind, Kind::kNotStarted);
    EXPECT_FALSE(r.pids.contains(i));
    EXPECT_FALSE(fs::exists(log / ("int" + std::to_string(i))));
  }
  ExpectAllReaped(r);
}

TEST(WorkerPool, ACancelledChildThatIgnoresTheInterruptIsKilledAfterTheGrace) {
  const std::vector<WorkerJob> jobs{Shell("trap '' INT; echo up; exec sleep 60"),
                                    Shell("echo up; exec sleep 60")};
  Record r;
  int ups = 0;
  WorkerPoolCallbacks callbacks = Recording(r, [&] { return ups >= 2; });
  callbacks.line = [&](size_t, const std::string& l) { ups += l == "up"; };
  WorkerPoolOptions options;
  options.parallel = 2;
  options.cancelGrace = milliseconds(300);
  const auto start = std::chrono::steady_clock::now();
  RunWorkerPool(jobs, options, callbacks);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(r.outcomes[0].kind, Kind::kCancelled);
  EXPECT_EQ(r.outcomes[0].signal, SIGKILL);
  EXPECT_EQ(r.outcomes[1].kind, Kind::kCancelled);
  EXPECT_EQ(r.outcomes[1].signal, SIGINT);
  ExpectEachFinishedOnce(r, jobs.size());
  ExpectAllReaped(r);
}

TEST(WorkerPool, AProgramThatCannotStartIsReported) {
  const std::vector<WorkerJob> jobs{
      {{"/nonexistent/sonorell-worker"}, "", {}, {}}, {{}, "", {}, {}}, Shell("true")};
  Record r;
  RunWorkerPool(jobs, {1}, Recording(r));
  EXPECT_EQ(r.outcomes[0].kind, Kind::kNotStarted);
  EXPECT_EQ(r.outcomes[0].exitStatus, 127);
  EXPECT_FALSE(r.pids.contains(0));
  EXPECT_EQ(r.outcomes[1].kind, Kind::kNotStarted);
  EXPECT_EQ(r.outcomes[2].kind, Kind::kExited);
  ExpectEachFinishedOnce(r, jobs.size());
  ExpectAllReaped(r);
}

WorkerJob Forked(std::function<int(int)> body) {
  WorkerJob job;
  job.body = [body = std::move(body)](int toParent, int) { return body(toParent); };
  return job;
}

void Say(int fd, const std::string& line) {
  const std::string whole = line + "\n";
  ASSERT_EQ(::write(fd, whole.data(), whole.size()), static_cast<ssize_t>(whole.size()));
}

// A killed parent (a batch task a scheduler cancelled) takes its forked workers with it.
TEST(WorkerPool, ForkedWorkEndsWithAKilledParent) {
  if (std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()) > 1) {
    GTEST_SKIP() << "an earlier test of this process left a thread running";
  }
  TempFolder dir;
  const std::string pidFile = dir / "worker.pid";
  const pid_t parent = ::fork();
  ASSERT_GE(parent, 0);
  if (parent == 0) {
    const std::vector<WorkerJob> jobs{Forked([&](int) {
      testing::WriteFileBytes(pidFile + ".new", std::to_string(::getpid()));
      ::rename((pidFile + ".new").c_str(), pidFile.c_str());
      ::sleep(60);
      return 0;
    })};
    RunWorkerPool(jobs, {1}, {});
    ::_exit(0);
  }
  std::string worker;
  for (int i = 0; i < 1000 && worker.empty(); ++i) {
    ::usleep(10 * 1000);
    worker = testing::ReadFileBytes(pidFile);
  }
  ASSERT_FALSE(worker.empty());
  ::kill(parent, SIGKILL);
  ASSERT_EQ(::waitpid(parent, nullptr, 0), parent);
  // Gone, or a zombie waiting for whoever adopted it.
  const auto running = [&] {
    const std::string stat = testing::ReadFileBytes("/proc/" + worker + "/stat");
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] != 'Z';
  };
  for (int i = 0; i < 500 && running(); ++i) ::usleep(10 * 1000);
  EXPECT_FALSE(running()) << "worker " << worker << " outlived its parent";
}

// Forked work sees what this process set up, is judged by its silence and not by its
// length, crashes alone, runs nicer when asked, and cannot speak through standard output.
TEST(WorkerPool, ForkedWorkInheritsThisProcessAndIsWatchedBySilence) {
  if (std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()) > 1) {
    GTEST_SKIP() << "an earlier test of this process left a thread running";
  }
  const std::string preparedHere = "plan\tof the run";
  const int ourNice = ::getpriority(PRIO_PROCESS, 0);
  const std::vector<WorkerJob> jobs{Forked([&](int fd) {
                                      Say(fd, preparedHere);
                                      return 3;
                                    }),
                                    // Longer than the limit, but it keeps saying so.
                                    Forked([](int fd) {
                                      for (int i = 0; i < 12; ++i) {
                                        Say(fd, "alive");
                                        ::usleep(100 * 1000);
                                      }
                                      return 0;
                                    }),
                                    Forked([](int) {
                                      ::sleep(30);
                                      return 0;
                                    }),
                                    Forked([](int) {
                                      ::kill(::getpid(),
                                             SIGKILL);  // no sanitizer turns this into an exit
                                      return 0;
                                    }),
                                    Forked([](int fd) {
                                      std::printf("result\t1\tfake\n");
                                      std::fflush(stdout);
                                      Say(fd, std::to_string(::getpriority(PRIO_PROCESS, 0)));
                                      return 0;
                                    })};
  Record r;
  WorkerPoolOptions options;
  options.parallel = 5;
  options.silenceLimit = milliseconds(500);
  options.niceIncrement = 5;
  RunWorkerPool(jobs, options, Recording(r));
  EXPECT_EQ(r.lines[0], std::vector<std::string>{preparedHere});
  EXPECT_EQ(r.outcomes[0].kind, Kind::kExited);
  EXPECT_EQ(r.outcomes[0].exitStatus, 3);
  EXPECT_EQ(r.outcomes[1].kind, Kind::kExited);
  EXPECT_EQ(r.lines[1].size(), 12u);
  EXPECT_EQ(r.outcomes[2].kind, Kind::kTimedOut);
  EXPECT_LT(r.outcomes[2].seconds, 10);
  EXPECT_EQ(r.outcomes[3].kind, Kind::kCrashed);
  EXPECT_EQ(r.outcomes[3].signal, SIGKILL);
  EXPECT_EQ(r.lines[4], std::vector<std::string>{std::to_string(std::min(19, ourNice + 5))});
  ExpectEachFinishedOnce(r, jobs.size());
  ExpectAllReaped(r);
}

// While other jobs wait, each gets one place; the last jobs share the places left free.
TEST(WorkerPool, TheLastJobsShareThePlacesLeftFree) {
  if (std::distance(fs::directory_iterator("/proc/self/task"), fs::directory_iterator()) > 1) {
    GTEST_SKIP() << "an earlier test of this process left a thread running";
  }
  // The second job holds its place until the third has started (a marker file it waits
  // for), so the third always starts beside it; the others start together at once.
  TempFolder marks;
  const std::string started = marks / "third-started";
  const auto cores = [&](size_t jobCount, int parallel) {
    std::error_code ec;
    fs::remove(started, ec);
    std::vector<WorkerJob> jobs;
    for (size_t i = 0; i < jobCount; ++i) {
      WorkerJob job;
      job.body = [i, jobCount, &started](int fd, int given) {
        if (jobCount == 3 && i == 2) testing::WriteFileBytes(started, "");
        if (jobCount == 3 && i == 1) {
          for (int waited = 0; waited < 2000 && !fs::exists(started); ++waited) ::usleep(5000);
        }
        Say(fd, std::to_string(given));
        return 0;
      };
      jobs.push_back(std::move(job));
    }
    Record r;
    WorkerPoolOptions options;
    options.parallel = parallel;
    RunWorkerPool(jobs, options, Recording(r));
    std::string given;
    for (size_t i = 0; i < jobCount; ++i) given += r.lines[i].empty() ? "?" : r.lines[i][0];
    return given;
  };
  EXPECT_EQ(cores(1, 2), "2");
  EXPECT_EQ(cores(1, 1), "1");
  EXPECT_EQ(cores(2, 4), "22");
  EXPECT_EQ(cores(2, 3), "12");
  EXPECT_EQ(cores(3, 2), "111");
}

// A process with a second thread is never forked: the copy could inherit a lock that
// thread held. The work fails to start instead.
TEST(WorkerPool, ForkingIsRefusedWhileAnotherThreadRuns) {
  std::atomic<bool> stop{false};
  std::thread other([&] {
    while (!stop) std::this_thread::sleep_for(milliseconds(5));
  });
  Record r;
  RunWorkerPool(std::vector<WorkerJob>{Forked([](int) { return 0; })}, {1}, Recording(r));
  stop = true;
  other.join();
  EXPECT_EQ(r.outcomes[0].kind, Kind::kNotStarted);
  EXPECT_EQ(r.outcomes[0].exitStatus, 127);
  ExpectEachFinishedOnce(r, 1);
}

TEST(WorkerPool, NoJobsReturnsAtOnce) {
  Record r;
  RunWorkerPool({}, {4}, Recording(r));
  EXPECT_EQ(r.finishedCalls, 0);
}

}  // namespace
}  // namespace sonorell
