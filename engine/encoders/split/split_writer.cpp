#include "engine/encoders/split/split_writer.h"

#include <algorithm>
#include <cstring>

#include "engine/dsp/sample_width.h"

namespace sonorell {
namespace {

// Frames per call into a chunk's encoder: the size of the blocks a single-pass encoder gets.
constexpr int64_t kPieceFrames = 4096;

}  // namespace

SplitWriter::SplitWriter(const PcmFormat& format, SplitFormat split, int threads)
    : grid_(split.grid),
      cellBytes_(SampleBytes(format.bits)),
      stereo_(format.channels == 2),
      threadCount_(std::max(1, threads)),
      openEncoder_(std::move(split.openEncoder)),
      joiner_(std::move(split.joiner)),
      watch_(std::move(split.watch)) {}

SplitWriter::~SplitWriter() {
  {
    const std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  workReady_.notify_all();
  for (std::thread& t : threads_) t.join();
}

ChunkSpan SplitWriter::SpanOf(int index) const {
  ChunkSpan span;
  span.index = index;
  span.keepStart = index * grid_.chunkFrames;
  span.keepEnd = span.keepStart + grid_.chunkFrames;
  span.inputStart = std::max<int64_t>(0, span.keepStart - grid_.leadFrames);
  span.inputEnd = span.keepEnd + grid_.tailFrames;
  return span;
}

void SplitWriter::Encode(Job& job) {
  std::unique_ptr<ChunkEncoder> encoder = openEncoder_ ? openEncoder_(job.span) : nullptr;
  bool ok = encoder != nullptr;
  const int64_t frames = job.span.inputEnd - job.span.inputStart;
  for (int64_t done = 0; ok && done < frames; done += kPieceFrames) {
    if (stopping_) {
      ok = false;
      break;
    }
    const auto n = static_cast<int>(std::min(kPieceFrames, frames - done));
    const size_t at = static_cast<size_t>(done) * static_cast<size_t>(cellBytes_);
    ok = encoder->Write(job.left.data() + at, stereo_ ? job.right.data() + at : nullptr, n);
  }
  // The input goes as soon as it is encoded; only the encoded chunk waits for its turn.
  std::vector<uint8_t>().swap(job.left);
  std::vector<uint8_t>().swap(job.right);
  if (ok) {
    job.result.span = job.span;
    ok = encoder->Finish(job.result);
  }
  encoder.reset();
  {
    const std::lock_guard lock(mutex_);
    job.done = true;
    job.ok = ok;
  }
  jobDone_.notify_all();
}

void SplitWriter::Work() {
  for (;;) {
    Job* job = nullptr;
    {
      std::unique_lock lock(mutex_);
      workReady_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
      if (stopping_) return;
      job = queue_.front();
      queue_.pop_front();
    }
    Encode(*job);
  }
}

void SplitWriter::Submit(int64_t inputEnd) {
  auto job = std::make_unique<Job>();
  job->span = SpanOf(nextIndex_);
  job->span.inputEnd = std::min(job->span.inputEnd, inputEnd);
  const auto from = static_cast<size_t>(job->span.inputStart - pendingStart_) * cellBytes_;
  const auto to = static_cast<size_t>(job->span.inputEnd - pendingStart_) * cellBytes_;
  // When nothing of this chunk's input is needed again (no overlap), it moves to the job
  // whole, and only what came after it stays.
  const bool moved = from == 0 && SpanOf(nextIndex_ + 1).inputStart >= job->span.inputEnd;
  const auto take = [&](std::vector<uint8_t>& pending, std::vector<uint8_t>& input) {
    if (moved) {
      std::vector<uint8_t> rest(pending.begin() + static_cast<ptrdiff_t>(to), pending.end());
      input = std::move(pending);
      input.resize(to);
      pending = std::move(rest);
    } else {
      input.assign(pending.begin() + static_cast<ptrdiff_t>(from),
                   pending.begin() + static_cast<ptrdiff_t>(to));
    }
  };
  take(pendingLeft_, job->left);
  if (stereo_) take(pendingRight_, job->right);
  if (moved) pendingStart_ = job->span.inputEnd;
  ++nextIndex_;
  // What the next chunk's input does not reach is no longer needed.
  const int64_t keepFrom = std::min(received_, SpanOf(nextIndex_).inputStart);
  const auto drop = static_cast<ptrdiff_t>((keepFrom - pendingStart_) * cellBytes_);
  if (drop > 0) {
    pendingLeft_.erase(pendingLeft_.begin(), pendingLeft_.begin() + drop);
    if (stereo_) pendingRight_.erase(pendingRight_.begin(), pendingRight_.begin() + drop);
    pendingStart_ = keepFrom;
  }
  if (threads_.empty()) {
    for (int i = 0; i < threadCount_; ++i) threads_.emplace_back([this] { Work(); });
  }
  {
    const std::lock_guard lock(mutex_);
    queue_.push_back(job.get());
    jobs_.push_back(std::move(job));
  }
  workReady_.notify_one();
}

bool SplitWriter::JoinReady(bool wait) {
  for (;;) {
    std::unique_ptr<Job> job;
    {
      std::unique_lock lock(mutex_);
      if (jobs_.empty()) return true;
      if (wait) jobDone_.wait(lock, [&] { return jobs_.front()->done; });
      if (!jobs_.front()->done) return true;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    wait = false;
    if (!job->ok || !joiner_->Join(std::move(job->result))) {
      failed_ = true;
      return false;
    }
  }
}

bool SplitWriter::WritePcm(const void* left, const void* right, int frames) {
  if (failed_ || finished_ || !joiner_ || left == nullptr || (stereo_ && right == nullptr)) {
    return false;
  }
  if (frames <= 0) return true;
  if (watch_) watch_(left, right, frames);
  const size_t bytes = static_cast<size_t>(frames) * static_cast<size_t>(cellBytes_);
  const auto* l = static_cast<const uint8_t*>(left);
  pendingLeft_.insert(pendingLeft_.end(), l, l + bytes);
  if (stereo_) {
    const auto* r = static_cast<const uint8_t*>(right);
    pendingRight_.insert(pendingRight_.end(), r, r + bytes);
  }
  received_ += frames;
  while (received_ >= SpanOf(nextIndex_).inputEnd) {
    Submit(SpanOf(nextIndex_).inputEnd);
    // Enough in flight to keep every thread busy while the next chunk's audio arrives.
    while (jobs_.size() > static_cast<size_t>(threadCount_) + 1) {
      if (!JoinReady(/*wait=*/true)) return false;
    }
  }
  return JoinReady(/*wait=*/false);
}

bool SplitWriter::Finish() {
  if (failed_ || finished_ || !joiner_) return false;
  finished_ = true;
  // The chunk under way, unless the file ended exactly where it would have begun (the
  // first one always goes, so an empty file still becomes a complete stream).
  if (nextIndex_ == 0 || received_ > SpanOf(nextIndex_).keepStart) Submit(received_);
  while (!jobs_.empty()) {
    if (!JoinReady(/*wait=*/true)) return false;
  }
  return joiner_->Finish(received_);
}

}  // namespace sonorell
