#pragma once

#include <cstdint>
#include <vector>

#include "engine/dsp/sample_converter.h"
#include "engine/encoders/block_pump.h"
#include "engine/encoders/conditioning_plan.h"
#include "engine/encoders/pcm_sink.h"

namespace sonorell {

// Takes the source's blocks through the plan — channel pick, converter, gain — and hands
// them to the writer. Buffers are sized once, at Open.
class BlockConditioner : public BlockConsumer {
 public:
  // False when the converter cannot be set up for the plan's formats.
  bool Open(const ConditioningPlan& plan, PcmSink& sink);
  bool Consume(const void* left, const void* right, int frames) override;
  // Finishes the blocks of the old format and takes the following ones through a plan for
  // the new one, to the same output. False when the rates are too far apart to convert.
  bool Reformat(const PcmFormat& source) override;
  // Emits what the resampler still holds at the end of the data.
  bool Finish();

 private:
  bool Deliver(void* left, void* right, int frames);

  ConditioningPlan plan_;
  PcmSink* sink_ = nullptr;
  SampleConverter converter_;
  int capacity_ = 0;  // frames per channel of the converted buffers
  // 32-bit cells hold a sample of any width.
  std::vector<int32_t> convertedLeft_;
  std::vector<int32_t> convertedRight_;
  std::vector<int32_t> passLeft_;  // unconverted blocks that still take gain
  std::vector<int32_t> passRight_;
};

}  // namespace sonorell
