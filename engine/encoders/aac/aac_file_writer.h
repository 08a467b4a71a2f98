#pragma once

#include "engine/encoders/aac/aac_stream_writer.h"
#include "engine/encoders/aac/adts_file_sink.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// Raw AAC: one ADTS frame after another, as the encoder makes them, nothing else.
class AacFileWriter : public AacStreamWriter {
 public:
  explicit AacFileWriter(StagedOutput& out) : AacStreamWriter(sink_), sink_(out) {}

  // False when the encoder cannot take the rate or channel count.
  bool Open(int rate, int channels) { return OpenEncoder(rate, channels, /*adts=*/true); }
  // False when the encoder refuses the configuration.
  bool Start() { return StartEncoder(); }

 private:
  AdtsFileSink sink_;
};

}  // namespace sonorell
