#include "engine/encoders/aac/aac_frame_window.h"

#include "engine/encoders/bit_cursor.h"

#include <algorithm>

namespace sonorell {
namespace {

// The syntax elements of a raw_data_block that may come before the first channel element.
constexpr unsigned kSingleChannel = 0;
constexpr unsigned kChannelPair = 1;
constexpr unsigned kDataStream = 4;
constexpr unsigned kFill = 6;

// An ADTS header is 7 bytes, 9 with its CRC (protection_absent 0).
constexpr size_t kAdtsHeaderBytes = 7;
constexpr size_t kAdtsCrcBytes = 2;

// Skips a fill element after its id: count bytes, with an escape for 15 and more.
bool SkipFill(BitCursor& bits) {
  const std::optional<unsigned> count = bits.Read(4);
  if (!count) return false;
  size_t bytes = *count;
  if (bytes == 15) {
    const std::optional<unsigned> escape = bits.Read(8);
    if (!escape) return false;
    bytes += *escape - 1;
  }
  return bits.Skip(bytes * 8);
}

// Skips a data stream element after its id: tag, alignment flag, count bytes (with an
// escape for 255), aligned to a byte when the flag says so.
bool SkipDataStream(BitCursor& bits) {
  const std::optional<unsigned> tag = bits.Read(4);
  const std::optional<unsigned> align = bits.Read(1);
  const std::optional<unsigned> count = bits.Read(8);
  if (!tag || !align || !count) return false;
  size_t bytes = *count;
  if (bytes == 255) {
    const std::optional<unsigned> escape = bits.Read(8);
    if (!escape) return false;
    bytes += *escape;
  }
  if (*align != 0) bits.Align();
  return bits.Skip(bytes * 8);
}

// ics_info's first fields: the reserved bit, window_sequence and window_shape.
bool ReadIcsWindow(BitCursor& bits, AacFrameWindow& window) {
  const std::optional<unsigned> reserved = bits.Read(1);
  const std::optional<unsigned> sequence = bits.Read(2);
  const std::optional<unsigned> shape = bits.Read(1);
  if (!reserved || !sequence || !shape) return false;
  window.sequence = static_cast<int>(*sequence);
  window.shape = static_cast<int>(*shape);
  return true;
}

}  // namespace

std::optional<AacFrameWindow> FrameWindow(const uint8_t* frame, size_t size, bool adts) {
  if (frame == nullptr) return std::nullopt;
  if (adts) {
    if (size < kAdtsHeaderBytes || frame[0] != 0xFF || (frame[1] & 0xF0) != 0xF0) {
      return std::nullopt;
    }
    const size_t header = kAdtsHeaderBytes + ((frame[1] & 1) == 0 ? kAdtsCrcBytes : 0);
    if (size < header) return std::nullopt;
    frame += header;
    size -= header;
  }
  BitCursor bits(frame, size);
  for (;;) {
    const std::optional<unsigned> id = bits.Read(3);
    if (!id) return std::nullopt;
    if (*id == kFill) {
      if (!SkipFill(bits)) return std::nullopt;
      continue;
    }
    if (*id == kDataStream) {
      if (!SkipDataStream(bits)) return std::nullopt;
      continue;
    }
    if (*id != kSingleChannel && *id != kChannelPair) return std::nullopt;
    AacFrameWindow window;
    window.element = static_cast<int>(*id);
    const std::optional<unsigned> tag = bits.Read(4);
    if (!tag) return std::nullopt;
    window.tag = static_cast<int>(*tag);
    if (*id == kChannelPair) {
      const std::optional<unsigned> common = bits.Read(1);
      if (!common) return std::nullopt;
      window.commonWindow = *common != 0;
    }
    // Without a shared window, the (first) channel's stream starts with its global gain.
    if (!window.commonWindow && !bits.Skip(8)) return std::nullopt;
    if (!ReadIcsWindow(bits, window)) return std::nullopt;
    return window;
  }
}

}  // namespace sonorell
