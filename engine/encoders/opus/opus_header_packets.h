#pragma once

#include <optional>

#include "engine/encoders/opus/ogg_opus_encoder.h"

namespace sonorell {

// An Ogg Opus stream begins with two header packets: the identification header (OpusHead)
// and the comment header (OpusTags).
inline constexpr size_t kOpusHeaderPackets = 2;

// Whether packets begin with an OpusHead and an OpusTags packet that can be read.
bool IsOpusHeaderPair(const OpusPackets& packets);

// The samples at 48 kHz a decoder drops at the stream's start, as the OpusHead packet
// says; nothing when it is no OpusHead packet.
std::optional<int> OpusPreSkip(const std::vector<uint8_t>& head);

}  // namespace sonorell
