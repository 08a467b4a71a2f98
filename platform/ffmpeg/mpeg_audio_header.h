#pragma once

// The four-byte header of an MPEG audio frame (layers I, II and III of MPEG-1, MPEG-2 and
// MPEG-2.5), as the standard lays it out.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace platform::ffmpeg {

struct MpegAudioHeader {
  int layer = 3;        // 1, 2 or 3
  int kbps = 0;         // never 0: free-format frames are not parsed
  int rate = 0;         // Hz
  bool padded = false;  // the frame carries one extra slot
  bool crc = false;     // two CRC bytes follow the header
  int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
  bool mpeg1 = true;
  // Bytes of the whole frame, header included.
  size_t FrameBytes() const;
  // Layer III: bytes of the side information, which follows the header and its CRC.
  size_t SideInfoBytes() const;
  // Layer III: where the frame's part of the main data begins, counted from its header.
  size_t MainDataOffset() const { return 4 + (crc ? 2 : 0) + SideInfoBytes(); }
};

// The header at h (four bytes); nullopt for anything but a valid frame header of a stated
// bit rate.
std::optional<MpegAudioHeader> ParseMpegAudioHeader(const uint8_t* h);

// The byte count of the whole stream that a Xing or Info frame states (the encoder's count,
// that frame included), given the bytes of the stream's first frame; nullopt when the frame
// carries none.
std::optional<uint32_t> XingStreamBytes(std::span<const uint8_t> frame);

}  // namespace platform::ffmpeg
