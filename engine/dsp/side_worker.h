#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace sonorell {

// One helper thread that runs a job beside the caller and hands back its result. A stereo
// file's right channel is filtered on it while the caller filters the left one; the two
// filters share nothing, so the output is the same as filtering them one after the other.
// Jobs come once per block, a few tens of microseconds apart, so both sides spin briefly
// before they sleep: waking a sleeping thread would cost more than the job saves. A worker
// beside threads that need every core (a file split across them) spins for no time at all.
class SideWorker {
 public:
  static constexpr std::chrono::microseconds kSpin{300};
  explicit SideWorker(std::chrono::microseconds spin = kSpin) : spin_(spin) {}
  SideWorker(const SideWorker&) = delete;
  SideWorker& operator=(const SideWorker&) = delete;
  ~SideWorker();

  // Starts job on the helper thread; one job at a time, Wait before the next.
  void Start(std::function<bool()> job);
  // The result of the started job, once it has finished.
  bool Wait();

 private:
  void Loop();
  template <typename Ready>
  void SpinUntil(Ready ready) const;

  const std::chrono::microseconds spin_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::function<bool()> job_;
  std::atomic<bool> busy_{false};
  bool result_ = false;
  bool quit_ = false;
  std::thread thread_;
};

}  // namespace sonorell
