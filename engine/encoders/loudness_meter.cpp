#include "engine/encoders/loudness_meter.h"

#include <algorithm>
#include <cstring>

#include "engine/dsp/float_samples.h"
#include "engine/dsp/sample_width.h"

namespace sonorell {

void LoudnessMeter::StateFree::operator()(ebur128_state* state) const {
  ebur128_destroy(&state);
}

bool LoudnessMeter::Open(const PcmFormat& format) {
  if (format.rate <= 0 || (format.channels != 1 && format.channels != 2)) return false;
  format_ = format;
  state_.reset(ebur128_init(static_cast<unsigned>(format.channels),
                            static_cast<unsigned long>(format.rate),
                            EBUR128_MODE_M | EBUR128_MODE_SAMPLE_PEAK));
  if (!state_) return false;
  // A block is 400 ms; one ends every 100 ms once the first is complete.
  blockFrames_ = (static_cast<size_t>(format.rate) + 5) / 10;
  framesToBlock_ = 4 * blockFrames_;
  return true;
}

bool LoudnessMeter::WritePcm(const void* left, const void* right, int frames) {
  if (state_ && frames > 0) {
    WaitForBlock();
    const size_t bytes = BlockBytes(frames, format_.bits);
    const void* planes[2] = {left, right};
    for (int c = 0; c < format_.channels; ++c) {
      std::vector<uint8_t>& copy = staged_[c];
      copy.resize(bytes);
      std::memcpy(copy.data(), planes[c], bytes);
    }
    measuring_ = true;
    side_.Start([this, frames] {
      Measure(staged_[0].data(), staged_[1].data(), frames);
      return true;
    });
  }
  return next_.WritePcm(left, right, frames);
}

void LoudnessMeter::WaitForBlock() {
  if (measuring_) side_.Wait();
  measuring_ = false;
}

const LoudnessHistogram& LoudnessMeter::Blocks() {
  WaitForBlock();
  return blocks_;
}

void LoudnessMeter::Measure(const void* left, const void* right, int frames) {
  const int channels = format_.channels;
  const size_t count = static_cast<size_t>(frames);
  interleaved_.resize(count * static_cast<size_t>(channels));
  channel_.resize(count);
  const void* planes[2] = {left, right};
  for (int c = 0; c < channels; ++c) {
    if (format_.bits == 8) {
      Convert8ToFloat(static_cast<const uint8_t*>(planes[c]), channel_.data(), frames);
    } else if (format_.bits == 16) {
      Convert16ToFloat(static_cast<const int16_t*>(planes[c]), channel_.data(), frames);
    } else {
      ConvertWideToFloat(static_cast<const int32_t*>(planes[c]), format_.bits, channel_.data(),
                         frames);
    }
    for (size_t i = 0; i < count; ++i) interleaved_[i * channels + c] = channel_[i];
  }
  // Fed up to each block's end, so that every block is read as it completes.
  size_t done = 0;
  while (done < count) {
    const size_t piece = std::min(count - done, framesToBlock_);
    ebur128_add_frames_float(state_.get(), interleaved_.data() + done * channels, piece);
    done += piece;
    framesToBlock_ -= piece;
    if (framesToBlock_ == 0) {
      double lufs = 0.0;
      if (ebur128_loudness_momentary(state_.get(), &lufs) == EBUR128_SUCCESS) blocks_.Add(lufs);
      framesToBlock_ = blockFrames_;
    }
  }
}

double LoudnessMeter::Peak() {
  WaitForBlock();
  double peak = 0.0;
  for (int c = 0; state_ && c < format_.channels; ++c) {
    double value = 0.0;
    if (ebur128_sample_peak(state_.get(), static_cast<unsigned>(c), &value) == EBUR128_SUCCESS)
      peak = std::max(peak, value);
  }
  return peak;
}

}  // namespace sonorell
