#include "engine/encoders/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "engine/dsp/float_samples.h"
#include "engine/dsp/interleave.h"
#include "engine/dsp/sample_width.h"

namespace sonorell {
namespace {

void AddFrames(ebur128_state* state, const int16_t* interleaved, size_t frames) {
  ebur128_add_frames_short(state, interleaved, frames);
}
void AddFrames(ebur128_state* state, const float* interleaved, size_t frames) {
  ebur128_add_frames_float(state, interleaved, frames);
}

template <typename Sample>
double LargestMagnitude(const Sample* samples, int count) {
  double largest = 0.0;
  for (int i = 0; i < count; ++i)
    largest = std::max(largest, std::fabs(static_cast<double>(samples[i])));
  return largest;
}

}  // namespace

void LoudnessMeter::StateFree::operator()(ebur128_state* state) const {
  ebur128_destroy(&state);
}

bool LoudnessMeter::Open(const PcmFormat& format) {
  if (format.rate <= 0 || (format.channels != 1 && format.channels != 2)) return false;
  format_ = format;
  // Momentary mode keeps the last 400 ms; the peak is taken here, from the samples as given.
  state_.reset(ebur128_init(static_cast<unsigned>(format.channels),
                            static_cast<unsigned long>(format.rate), EBUR128_MODE_M));
  if (!state_) return false;
  blockFrames_ = (static_cast<size_t>(format.rate) + 5) / 10;
  framesToBlock_ = blockFrames_;
  batchFrames_ = std::max(format.rate / 2, 1);
  return true;
}

bool LoudnessMeter::WritePcm(const void* left, const void* right, int frames) {
  if (state_ && frames > 0) {
    Append(left, right, frames);
    if (gathering_.frames >= batchFrames_) MeasureGathered();
  }
  return next_.WritePcm(left, right, frames);
}

void LoudnessMeter::Append(const void* left, const void* right, int frames) {
  const size_t bytes = BlockBytes(frames, format_.bits);
  const void* planes[2] = {left, right};
  for (int c = 0; c < format_.channels; ++c) {
    const auto* samples = static_cast<const uint8_t*>(planes[c]);
    gathering_.planes[c].insert(gathering_.planes[c].end(), samples, samples + bytes);
  }
  gathering_.frames += frames;
}

// The gathered batch goes to the helper, once it has finished the one before.
void LoudnessMeter::MeasureGathered() {
  WaitForBatch();
  if (gathering_.frames == 0) return;
  std::swap(gathering_, measuring_);
  gathering_.frames = 0;
  for (std::vector<uint8_t>& plane : gathering_.planes) plane.clear();
  busy_ = true;
  side_.Start([this] {
    Measure(measuring_);
    return true;
  });
}

void LoudnessMeter::WaitForBatch() {
  if (busy_) side_.Wait();
  busy_ = false;
}

const LoudnessHistogram& LoudnessMeter::Blocks() {
  MeasureGathered();
  WaitForBatch();
  return blocks_;
}

double LoudnessMeter::Peak() {
  Blocks();
  return peak_;
}

void LoudnessMeter::Measure(const Batch& batch) {
  const int channels = format_.channels;
  const size_t samples = static_cast<size_t>(batch.frames) * static_cast<size_t>(channels);
  if (format_.bits == 16) {
    // libebur128 reads 16-bit samples as they are.
    for (int c = 0; c < channels; ++c) {
      const auto* plane = reinterpret_cast<const int16_t*>(batch.planes[c].data());
      peak_ = std::max(peak_, LargestMagnitude(plane, batch.frames) / 32768.0);
    }
    shorts_.resize(samples);
    InterleaveBlock(batch.planes[0].data(), batch.planes[1].data(), batch.frames, channels,
                    sizeof(int16_t), shorts_.data());
    Feed(shorts_.data(), static_cast<size_t>(batch.frames));
    return;
  }
  // Other widths go to it as floats.
  for (int c = 0; c < channels; ++c) {
    std::vector<float>& plane = planes_[c];
    plane.resize(static_cast<size_t>(batch.frames));
    if (format_.bits == 8) {
      Convert8ToFloat(batch.planes[c].data(), plane.data(), batch.frames);
    } else {
      ConvertWideToFloat(reinterpret_cast<const int32_t*>(batch.planes[c].data()), format_.bits,
                         plane.data(), batch.frames);
    }
    peak_ = std::max(peak_, LargestMagnitude(plane.data(), batch.frames));
  }
  floats_.resize(samples);
  InterleaveBlock(planes_[0].data(), planes_[1].data(), batch.frames, channels, sizeof(float),
                  floats_.data());
  Feed(floats_.data(), static_cast<size_t>(batch.frames));
}

// Fed up to the end of each 100 ms, so that every stretch is read as it completes; a block
// ends with every stretch from the fourth on.
template <typename Sample>
void LoudnessMeter::Feed(const Sample* interleaved, size_t frames) {
  const size_t channels = static_cast<size_t>(format_.channels);
  size_t done = 0;
  while (done < frames) {
    const size_t piece = std::min(frames - done, framesToBlock_);
    AddFrames(state_.get(), interleaved + done * channels, piece);
    done += piece;
    framesToBlock_ -= piece;
    if (framesToBlock_ > 0) continue;
    framesToBlock_ = blockFrames_;
    double lufs = 0.0;
    if (ebur128_loudness_window(state_.get(), 100, &lufs) != EBUR128_SUCCESS) continue;
    stretches_[stretchCount_++ % stretches_.size()] = EnergyOfLufs(lufs);
    if (stretchCount_ < stretches_.size()) continue;
    const double mean =
        std::accumulate(stretches_.begin(), stretches_.end(), 0.0) / stretches_.size();
    blocks_.Add(LufsOfEnergy(mean));
  }
}

}  // namespace sonorell
