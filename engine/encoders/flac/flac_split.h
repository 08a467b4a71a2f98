#pragma once

#include <memory>

#include "engine/encoders/flac/flac_writer.h"
#include "engine/encoders/split/chunk_codec.h"

namespace sonorell {

// A long FLAC file encoded on several cores. FLAC frames depend on nothing before them, so
// the chunks are whole blocks that need no overlap: each chunk's frames are renumbered into
// the stream's order and appended to the writer, which has laid out the metadata as for a
// single pass; STREAMINFO (with the MD5 signature of the whole audio, taken as it arrives)
// and the seek table are written at the end.
SplitFormat FlacSplitFormat(std::unique_ptr<FlacWriter> writer, const PcmFormat& format, int level);

}  // namespace sonorell
