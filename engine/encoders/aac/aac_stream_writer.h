#pragma once

#include "engine/encoders/aac/aac_frame_encoder.h"
#include "engine/encoders/aac/aac_frame_sink.h"
#include "engine/encoders/pcm_sink.h"

namespace sonorell {

// A single-pass AAC writer: one encoder whose frames go straight into the output's frame
// sink as it makes them.
class AacStreamWriter : public FormatWriter {
 public:
  platform::faacEncConfiguration& Configuration() { return encoder_.Configuration(); }

  // 16-bit planar blocks in the opened rate and channel count.
  bool WritePcm(const void* left, const void* right, int frames) override;
  // Drains the encoder and completes the sink; false when a frame could not be encoded or
  // written, or the file not completed.
  bool Finish() override;

 protected:
  // sink: the output the frames go to; it outlives the writer's encoding.
  explicit AacStreamWriter(AacFrameSink& sink) : sink_(sink) {}
  // False when the encoder cannot take the rate or channel count.
  bool OpenEncoder(int rate, int channels, bool adts) {
    return encoder_.Open(rate, channels, adts);
  }
  // Hands the configuration to the encoder; false when it refuses it.
  bool StartEncoder();
  const AacFrameEncoder& Encoder() const { return encoder_; }

 private:
  AacFrameSink& sink_;
  AacFrameEncoder encoder_;
};

}  // namespace sonorell
