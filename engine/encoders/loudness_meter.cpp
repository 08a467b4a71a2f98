#include "engine/encoders/loudness_meter.h"

#include <algorithm>
#include <numeric>

#include "engine/dsp/float_samples.h"
#include "engine/dsp/sample_width.h"

namespace sonorell {
bool LoudnessMeter::Open(const PcmFormat& format) {
  if (!KWeighting::Defined(format.rate) || (format.channels != 1 && format.channels != 2)) {
    return false;
  }
  format_ = format;
  weighting_.emplace(format.rate);
  blockFrames_ = (static_cast<size_t>(format.rate) + 5) / 10;
  framesToBlock_ = blockFrames_;
  batchFrames_ = std::max(format.rate / 2, 1);
  return true;
}

bool LoudnessMeter::WritePcm(const void* left, const void* right, int frames) {
  if (weighting_ && frames > 0) {
    Append(left, right, frames);
    if (gathering_.frames >= batchFrames_) MeasureGathered();
  }
  return next_.WritePcm(left, right, frames);
}

void LoudnessMeter::Append(const void* left, const void* right, int frames) {
  const size_t bytes = BlockBytes(frames, format_.bits);
  const auto append = [bytes](std::vector<uint8_t>& plane, const void* samples) {
    const auto* from = static_cast<const uint8_t*>(samples);
    plane.insert(plane.end(), from, from + bytes);
  };
  append(gathering_.planes[0], left);
  if (format_.channels == 2) append(gathering_.planes[1], right);
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
  return std::max(sums_.peak[0], sums_.peak[1]);
}

void LoudnessMeter::Measure(const Batch& batch) {
  const auto frames = static_cast<size_t>(batch.frames);
  if (format_.bits == 16) {
    // Filtered as they are.
    Feed(reinterpret_cast<const int16_t*>(batch.planes[0].data()),
         reinterpret_cast<const int16_t*>(batch.planes[1].data()), frames);
    return;
  }
  // Other widths as floats.
  for (int c = 0; c < format_.channels; ++c) {
    std::vector<float>& plane = planes_[c];
    plane.resize(frames);
    const uint8_t* samples = batch.planes[c].data();
    if (format_.bits == 8) {
      Convert8ToFloat(samples, plane.data(), batch.frames);
    } else {
      ConvertWideToFloat(reinterpret_cast<const int32_t*>(samples), format_.bits, plane.data(),
                         batch.frames);
    }
  }
  Feed(planes_[0].data(), planes_[1].data(), frames);
}

// Filtered up to the end of each 100 ms, so that every stretch's energy is known as it
// completes; a block ends with every stretch from the fourth on.
template <typename Sample>
void LoudnessMeter::Feed(const Sample* left, const Sample* right, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    const size_t piece = std::min(frames - done, framesToBlock_);
    // The right plane is empty, and not read, for one channel.
    weighting_->Add(left + done, format_.channels == 2 ? right + done : nullptr, format_.channels,
                    piece, sums_);
    done += piece;
    framesToBlock_ -= piece;
    if (framesToBlock_ > 0) continue;
    framesToBlock_ = blockFrames_;
    // Every channel weighs 1: mono, left and right alike.
    stretches_[stretchCount_++ % stretches_.size()] =
        (sums_.squares[0] + sums_.squares[1]) / static_cast<double>(blockFrames_);
    sums_.squares = {};
    if (stretchCount_ < stretches_.size()) continue;
    const double mean =
        std::accumulate(stretches_.begin(), stretches_.end(), 0.0) / stretches_.size();
    blocks_.Add(LufsOfEnergy(mean));
  }
}

}  // namespace sonorell
