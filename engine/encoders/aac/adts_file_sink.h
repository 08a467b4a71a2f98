#pragma once

#include "engine/encoders/aac/aac_frame_sink.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// Raw AAC: the frames, each with its ADTS header, one after another and nothing else.
class AdtsFileSink : public AacFrameSink {
 public:
  explicit AdtsFileSink(StagedOutput& out) : out_(out) {}

  bool WriteFrame(const uint8_t* bytes, size_t size, uint64_t inputKnown) override;
  bool Close(uint64_t inputSamples) override;

 private:
  StagedOutput& out_;
};

}  // namespace sonorell
