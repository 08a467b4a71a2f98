#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "platform/ffmpeg/mpeg_audio_header.h"

namespace sonorell {

// What the joins of MP3 output encoded in pieces read from a layer III frame.
struct Layer3SideInfo {
  platform::ffmpeg::MpegAudioHeader header;
  // Bytes of main data the frame takes from the frames before it (the bit reservoir),
  // counted back from its header over their main-data parts.
  int mainDataBegin = 0;
  // Bytes of its own main data (scale factors and Huffman code of every granule and
  // channel), from where it begins.
  int mainDataBytes = 0;
  int granules = 0;  // 2 for MPEG-1, 1 for MPEG-2 and 2.5
  int channels = 0;
  // Per granule and channel: the block type (0 long, 1 start, 2 short, 3 stop), and 4 for
  // short blocks over long low bands (mixed).
  std::array<std::array<int, 2>, 2> window{};

  // The windows of the last granule, which overlap into the next frame.
  std::array<int, 2> LastWindows() const { return window[static_cast<size_t>(granules - 1)]; }
  // Bytes of the main-data part of its slot.
  int AreaBytes() const { return static_cast<int>(header.FrameBytes() - header.MainDataOffset()); }
  // The largest main_data_begin the field holds.
  int MaxMainDataBegin() const { return header.mpeg1 ? 511 : 255; }
};

// The frame's header and side information; nullopt for anything but a whole layer III
// frame (frame.size() is its FrameBytes).
std::optional<Layer3SideInfo> ReadLayer3SideInfo(std::span<const uint8_t> frame);

// Rewrites the main_data_begin field (and the CRC, when the frame carries one).
void SetMainDataBegin(std::vector<uint8_t>& frame, int mainDataBegin);

// Sets the padding bit of an unpadded frame, one byte longer (zero) at the end of its slot,
// and its CRC. False when it is padded already.
bool PadFrame(std::vector<uint8_t>& frame);

// Raises the frame's bit rate index by steps, its slot longer by zero bytes at the end, and
// its CRC. False (the frame unchanged) when no such bit rate exists.
bool RaiseFrameBitrate(std::vector<uint8_t>& frame, int steps);

}  // namespace sonorell
