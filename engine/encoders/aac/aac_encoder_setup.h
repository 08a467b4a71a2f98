#pragma once

#include "engine/dsp/sample_converter.h"
#include "engine/encoders/aac/aac_encoding_options.h"

namespace sonorell {

enum class AacSetUp { kStarted, kUnsupportedFormat, kRefusedOptions };

// Opens, configures and starts an AAC encoder (a writer's, or a chunk's on a worker thread)
// as every AAC output does: the rate and channels of its input, the options applied between
// Open and Start. Says which step failed, for the failure note; notes nothing itself.
template <typename Encoder, typename... OpenArgs>
AacSetUp SetUpAacEncoder(Encoder& encoder, const PcmFormat& format,
                         const AacEncodingOptions& options, OpenArgs... openArgs) {
  if (!encoder.Open(format.rate, format.channels, openArgs...)) {
    return AacSetUp::kUnsupportedFormat;
  }
  ApplyAacOptions(options, format.channels, encoder.Configuration());
  return encoder.Start() ? AacSetUp::kStarted : AacSetUp::kRefusedOptions;
}

}  // namespace sonorell
