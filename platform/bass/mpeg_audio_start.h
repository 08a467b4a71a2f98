#pragma once

// Where the MPEG audio frames of a file begin, for the file position a stream reports.
#include <cstdint>
#include <optional>
#include <string>

namespace platform::bass {

// The offset of the first MPEG audio frame header: right after the ID3v2 tags at the start
// of the file when a frame sync is there (the frame that carries a VBR header counts, as
// it is a frame of the same stream). nullopt otherwise, and when the tags claim to run to
// or past fileSize (a negative size, one not known, bounds nothing).
std::optional<int64_t> MpegAudioStart(const std::string& path, int64_t fileSize);

}  // namespace platform::bass
