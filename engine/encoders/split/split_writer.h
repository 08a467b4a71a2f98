#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "engine/dsp/sample_converter.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// The writer of a long file encoded on several cores: the conditioned audio, which arrives
// once and in order, is cut into chunks on the format's grid; each chunk (with its lead and
// tail) is encoded by a fresh encoder on one of the worker threads, and the encoded chunks
// are joined in order into the output as they finish. At most a few chunks are in flight,
// so memory stays bounded however long the file is.
class SplitWriter : public FormatWriter {
 public:
  // format: the writer's input (its width decides the cells). threads: encoders at once.
  SplitWriter(const PcmFormat& format, SplitFormat split, int threads);
  // Stops the threads; chunks not joined are dropped (the file fails or was cancelled).
  ~SplitWriter() override;
  SplitWriter(const SplitWriter&) = delete;
  SplitWriter& operator=(const SplitWriter&) = delete;

  bool WritePcm(const void* left, const void* right, int frames) override;
  // Encodes the last chunk, joins every chunk and completes the file.
  bool Finish() override;

 private:
  struct Job {
    ChunkSpan span;
    std::vector<uint8_t> left;
    std::vector<uint8_t> right;
    EncodedChunk result;
    bool done = false;
    bool ok = false;
  };

  void Work();
  void Encode(Job& job);
  // Hands the chunk under way, with its input up to inputEnd, to the threads.
  void Submit(int64_t inputEnd);
  // Joins the finished chunks at the front, in order; with wait, waits for the oldest.
  bool JoinReady(bool wait);
  ChunkSpan SpanOf(int index) const;

  const SplitGrid grid_;
  const int cellBytes_;
  const bool stereo_;
  const int threadCount_;
  ChunkEncoderFactory openEncoder_;
  std::unique_ptr<ChunkJoiner> joiner_;
  std::function<void(const void*, const void*, int)> watch_;

  std::mutex mutex_;
  std::condition_variable workReady_;
  std::condition_variable jobDone_;
  std::deque<Job*> queue_;                 // waiting for a thread
  std::deque<std::unique_ptr<Job>> jobs_;  // submitted and not yet joined, in order
  std::atomic<bool> stopping_{false};
  std::vector<std::thread> threads_;

  // The audio not yet handed on whole: frames from pendingStart_ to received_.
  std::vector<uint8_t> pendingLeft_;
  std::vector<uint8_t> pendingRight_;
  int64_t pendingStart_ = 0;
  int64_t received_ = 0;
  int nextIndex_ = 0;  // the chunk under way
  bool failed_ = false;
  bool finished_ = false;
};

}  // namespace sonorell
