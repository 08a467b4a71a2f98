#pragma once

#include <functional>
#include <memory>
#include <optional>

#include "engine/dsp/sample_converter.h"
#include "engine/encoders/aac/aac_chunk_encoder.h"
#include "engine/encoders/aac/aac_encoding_options.h"
#include "engine/encoders/aac/aac_frame_sink.h"
#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// Makes the output's frame sink once the encoder is known to take the options; probe is a
// started encoder of them (its AudioSpecificConfig for MP4 tracks). Null when the output
// cannot be made.
using AacSinkOpener = std::function<std::unique_ptr<AacFrameSink>(const AacChunkEncoder& probe)>;

// The grid, chunk encoders and join for an AAC output of format on several cores (frames
// with ADTS headers when adts), joined into the sink openSink makes. Nullopt when the
// encoder refuses the format or options (before the output is touched) or openSink fails:
// the single-pass writer then tries and says why.
std::optional<SplitFormat> AacSplitFormat(const PcmFormat& format,
                                          const AacEncodingOptions& options, bool adts,
                                          const AacSinkOpener& openSink);

}  // namespace sonorell
