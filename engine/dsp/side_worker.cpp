#include "engine/dsp/side_worker.h"

#include <chrono>
#include <utility>

namespace sonorell {
// The spin is long enough to bridge the gap between two blocks, short enough not to matter
// when the file has ended.
template <typename Ready>
void SideWorker::SpinUntil(Ready ready) const {
  const auto until = std::chrono::steady_clock::now() + spin_;
  while (!ready() && std::chrono::steady_clock::now() < until) {
  }
}

SideWorker::~SideWorker() {
  if (!thread_.joinable()) return;
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  thread_.join();
}

void SideWorker::Start(std::function<bool()> job) {
  if (!thread_.joinable()) thread_ = std::thread([this] { Loop(); });
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    job_ = std::move(job);
    busy_.store(true, std::memory_order_release);
  }
  changed_.notify_all();
}

bool SideWorker::Wait() {
  SpinUntil([this] { return !busy_.load(std::memory_order_acquire); });
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !busy_.load(std::memory_order_acquire); });
  return result_;
}

void SideWorker::Loop() {
  for (;;) {
    SpinUntil([this] { return busy_.load(std::memory_order_acquire); });
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return quit_ || (busy_.load() && job_); });
    if (quit_) return;
    std::function<bool()> job = std::move(job_);
    job_ = nullptr;
    lock.unlock();
    bool result = false;
    try {
      result = job();
    } catch (...) {  // an exception must not leave this thread; the job simply failed
      result = false;
    }
    lock.lock();
    result_ = result;
    busy_.store(false, std::memory_order_release);
    lock.unlock();
    changed_.notify_all();
  }
}

}  // namespace sonorell
