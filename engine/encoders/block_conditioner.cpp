#include "engine/encoders/block_conditioner.h"

#include <cstring>

#include "engine/dsp/gain.h"
#include "engine/dsp/sample_width.h"
#include "engine/sources/audio_source.h"

namespace sonorell {

bool BlockConditioner::Open(const ConditioningPlan& plan, PcmSink& sink) {
  plan_ = plan;
  sink_ = &sink;
  if (plan_.convert) {
    PcmFormat in = plan_.source;
    if (plan_.pickedChannel != 0) in.channels = 1;
    if (!converter_.Open(in, plan_.output)) return false;
    capacity_ = SampleConverter::OutputCapacity(in.rate, plan_.output.rate, BlockFrames);
    convertedLeft_.assign(static_cast<size_t>(capacity_), 0);
    if (plan_.output.channels == 2) convertedRight_.assign(static_cast<size_t>(capacity_), 0);
  } else if (plan_.gain) {
    // Gain works in place; the source's buffers are not ours to change.
    passLeft_.assign(BlockFrames, 0);
    if (plan_.output.channels == 2) passRight_.assign(BlockFrames, 0);
  }
  return true;
}

bool BlockConditioner::Deliver(void* left, void* right, int frames) {
  if (frames < 0) return false;  // the converter could not take the block
  if (frames == 0) return true;
  if (plan_.gain) {
    AmplifyBlock(left, right, frames, plan_.output.channels, plan_.gainFactor, plan_.output.bits);
  }
  return sink_->WritePcm(left, plan_.output.channels == 2 ? right : nullptr, frames);
}

bool BlockConditioner::Consume(const void* left, const void* right, int frames) {
  // A picked channel travels alone; the right one takes the left's place.
  const void* first = plan_.pickedChannel == 2 ? right : left;
  const void* second = plan_.pickedChannel != 0 ? nullptr : right;
  if (first == nullptr) return false;

  if (plan_.convert) {
    const int n = converter_.Process(first, second, frames, convertedLeft_.data(),
                                     convertedRight_.empty() ? nullptr : convertedRight_.data());
    return Deliver(convertedLeft_.data(),
                   convertedRight_.empty() ? nullptr : convertedRight_.data(), n);
  }
  if (!plan_.gain) {
    return sink_->WritePcm(first, plan_.output.channels == 2 ? second : nullptr, frames);
  }
  const size_t bytes = BlockBytes(frames, plan_.output.bits);
  std::memcpy(passLeft_.data(), first, bytes);
  if (plan_.output.channels == 2 && second) std::memcpy(passRight_.data(), second, bytes);
  return Deliver(passLeft_.data(), passRight_.empty() ? nullptr : passRight_.data(), frames);
}

bool BlockConditioner::Reformat(const PcmFormat& source) {
  if (sink_ == nullptr || !Finish()) return false;
  const ConditioningPlan next = ReplanForSource(plan_, source);
  if (!CheckRatesConvertible(source.rate, next.output.rate,
                             std::to_string(next.output.rate) + " Hz")) {
    return false;
  }
  return Open(next, *sink_);
}

bool BlockConditioner::Finish() {
  if (!plan_.convert) return true;
  for (int guard = 0; guard < 1024; ++guard) {
    const int n =
        converter_.Flush(convertedLeft_.data(),
                         convertedRight_.empty() ? nullptr : convertedRight_.data(), capacity_);
    if (n == 0) return true;
    if (!Deliver(convertedLeft_.data(), convertedRight_.empty() ? nullptr : convertedRight_.data(),
                 n)) {
      return false;
    }
  }
  return true;
}

}  // namespace sonorell
