#pragma once

#include <ebur128.h>

#include <memory>
#include <vector>

#include "engine/dsp/loudness_histogram.h"
#include "engine/dsp/sample_converter.h"
#include "engine/dsp/side_worker.h"
#include "engine/encoders/pcm_sink.h"

namespace sonorell {

// Measures the loudness of the conditioned PCM on its way into the writer (so after gain and
// channel mixing, at the output's rate): the EBU R128 blocks, through libebur128, and the
// sample peak. Each block is measured on a helper thread while the writer encodes it, so the
// measure costs a file next to no time of its own.
class LoudnessMeter : public PcmSink {
 public:
  explicit LoudnessMeter(PcmSink& next) : next_(next) {}
  // False when libebur128 takes no measure of this format.
  bool Open(const PcmFormat& format);
  bool WritePcm(const void* left, const void* right, int frames) override;

  // What was measured; the block measured last is waited for.
  const LoudnessHistogram& Blocks();
  // The largest sample magnitude over all channels, 1.0 being full scale.
  double Peak();

 private:
  struct StateFree {
    void operator()(ebur128_state* state) const;
  };
  void Measure(const void* left, const void* right, int frames);
  void WaitForBlock();

  PcmSink& next_;
  PcmFormat format_;
  std::unique_ptr<ebur128_state, StateFree> state_;
  std::vector<float> interleaved_;
  std::vector<float> channel_;
  size_t blockFrames_ = 0;    // 100 ms, counted as libebur128 counts it
  size_t framesToBlock_ = 0;  // until the next block ends
  LoudnessHistogram blocks_;
  // The block being measured beside the writer, copied out of the caller's buffers.
  std::vector<uint8_t> staged_[2];
  // Without a spin: a block's measure is short beside its encoding, so the caller rarely
  // waits, and a spinning thread would take a core from a file split across all of them.
  SideWorker side_{std::chrono::microseconds(0)};
  bool measuring_ = false;
};

}  // namespace sonorell
