#pragma once

#include <array>
#include <optional>
#include <vector>

#include "engine/dsp/k_weighting.h"
#include "engine/dsp/loudness_histogram.h"
#include "engine/dsp/sample_converter.h"
#include "engine/dsp/side_worker.h"
#include "engine/encoders/pcm_sink.h"

namespace sonorell {

// Measures the loudness of the conditioned PCM on its way into the writer (so after gain and
// channel mixing, at the output's rate): the EBU R128 blocks of the K-weighted samples, and
// the sample peak. The samples are gathered into batches of half a second, and each batch is
// measured on a helper thread while the writer encodes the next, so the measure costs a file
// next to no time of its own and wakes the helper only twice a second.
class LoudnessMeter : public PcmSink {
 public:
  explicit LoudnessMeter(PcmSink& next) : next_(next) {}
  // False for more than two channels, or a rate too low for the weighting (3364 Hz or less).
  bool Open(const PcmFormat& format);
  bool WritePcm(const void* left, const void* right, int frames) override;

  // What was measured, once every sample given has been.
  const LoudnessHistogram& Blocks();
  // The largest sample magnitude over all channels, 1.0 being full scale.
  double Peak();

 private:
  // Planar samples as the writer was given them.
  struct Batch {
    std::array<std::vector<uint8_t>, 2> planes;
    int frames = 0;
  };
  void Append(const void* left, const void* right, int frames);
  void MeasureGathered();
  void WaitForBatch();
  void Measure(const Batch& batch);
  template <typename Sample>
  void Feed(const Sample* left, const Sample* right, size_t frames);

  PcmSink& next_;
  PcmFormat format_;
  std::optional<KWeighting> weighting_;
  int batchFrames_ = 0;
  Batch gathering_;
  Batch measuring_;
  bool busy_ = false;
  // Used on the helper thread only: the samples of widths other than 16 bits, as floats.
  std::array<std::vector<float>, 2> planes_;
  size_t blockFrames_ = 0;    // 100 ms, rounded to the nearest frame
  size_t framesToBlock_ = 0;  // until the next 100 ms ends
  // The squares since the last 100 ms ended, and the peak since the start.
  KWeighting::Sums sums_;
  // The energies of the last four 100 ms stretches: a 400 ms block is their mean, so each
  // sample is summed once rather than in each of the four blocks that hold it.
  std::array<double, 4> stretches_{};
  size_t stretchCount_ = 0;
  LoudnessHistogram blocks_;
  // Without a spin: a batch's measure is short beside its encoding, so the caller rarely
  // waits, and a spinning thread would take a core from a file split across all of them.
  SideWorker side_{std::chrono::microseconds(0)};
};

}  // namespace sonorell
