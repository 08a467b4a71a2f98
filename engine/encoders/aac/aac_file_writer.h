#pragma once

#include "engine/encoders/aac/aac_frame_encoder.h"
#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// Raw AAC: one ADTS frame after another, as the encoder makes them, nothing else.
class AacFileWriter : public FormatWriter {
 public:
  explicit AacFileWriter(StagedOutput& out) : out_(out) {}

  // False when the encoder cannot take the rate or channel count.
  bool Open(int rate, int channels) { return encoder_.Open(rate, channels, /*adts=*/true); }
  platform::faacEncConfiguration& Configuration() { return encoder_.Configuration(); }
  // False when the encoder refuses the configuration.
  bool Start();

  // 16-bit planar blocks in the opened rate and channel count.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // Drains the encoder; false when a frame could not be encoded or written.
  bool Finish() override;

 private:
  StagedOutput& out_;
  AacFrameEncoder encoder_;
};

}  // namespace sonorell
