#pragma once

// Raw ID3 blocks as they lie in a file, for callers that copy them verbatim into a new file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::bass {

inline constexpr size_t kId3v1Bytes = 128;
inline constexpr size_t kId3v2HeaderBytes = 10;

// The last 128 bytes of the file when they start with "TAG".
std::optional<std::vector<uint8_t>> ReadId3v1Block(const std::string& path);

// Bytes of an ID3v2 tag that a 10-byte header declares: the header, the synch-safe body
// size from bytes 6 to 9 and, for a version 4 tag with the footer flag, the 10-byte footer.
// 0 when the bytes are not an ID3v2 header.
uint64_t Id3v2DeclaredBytes(const uint8_t* header);

// The whole ID3v2 tag at the start of the file, header included. A tag that declares more
// bytes than the file holds is refused rather than cut.
std::optional<std::vector<uint8_t>> ReadId3v2Block(const std::string& path);

}  // namespace platform::bass
