#pragma once

#include <cstdint>
#include <vector>

namespace sonorell {

// Gives one encoded frame of a fixed-block-size FLAC stream another frame number: the
// header's coded number is replaced (its length may change), and the header's CRC-8 and
// the frame's CRC-16 are computed again. False when the bytes are no such frame.
bool RenumberFlacFrame(std::vector<uint8_t>& frame, uint64_t number);

}  // namespace sonorell
