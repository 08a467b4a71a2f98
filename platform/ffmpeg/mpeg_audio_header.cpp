#include "platform/ffmpeg/mpeg_audio_header.h"

#include <algorithm>

namespace platform::ffmpeg {
namespace {

// kbit/s by version row (MPEG-1, then MPEG-2 and 2.5) and layer; index 0 is free format and
// 15 is invalid.
constexpr int kBitrates[2][3][16] = {
    {{0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
     {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
     {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0}},
    {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
     {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0}}};

// Hz by version (MPEG-2.5, reserved, MPEG-2, MPEG-1) and rate index.
constexpr int kRates[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

}  // namespace

size_t MpegAudioHeader::FrameBytes() const {
  const long bitsPerSecond = kbps * 1000L;
  if (layer == 1) return static_cast<size_t>((12 * bitsPerSecond / rate + (padded ? 1 : 0)) * 4);
  // Layer III of MPEG-2 and 2.5 has half as many samples per frame.
  const long factor = (layer == 3 && !mpeg1) ? 72 : 144;
  return static_cast<size_t>(factor * bitsPerSecond / rate + (padded ? 1 : 0));
}

size_t MpegAudioHeader::SideInfoBytes() const {
  const bool mono = channelMode == 3;
  return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
}

std::optional<MpegAudioHeader> ParseMpegAudioHeader(const uint8_t* h) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return std::nullopt;
  const int version = (h[1] >> 3) & 3;    // 0: MPEG-2.5, 1: reserved, 2: MPEG-2, 3: MPEG-1
  const int layerBits = (h[1] >> 1) & 3;  // 0: reserved, 1: III, 2: II, 3: I
  const int index = h[2] >> 4;
  const int rateIndex = (h[2] >> 2) & 3;
  if (version == 1 || layerBits == 0 || index == 15 || rateIndex == 3) return std::nullopt;
  MpegAudioHeader header;
  header.mpeg1 = version == 3;
  header.layer = 4 - layerBits;
  header.kbps = kBitrates[header.mpeg1 ? 0 : 1][header.layer - 1][index];
  header.rate = kRates[version][rateIndex];
  if (header.kbps == 0) return std::nullopt;
  header.padded = (h[2] & 0x02) != 0;
  header.crc = (h[1] & 0x01) == 0;
  header.channelMode = h[3] >> 6;
  return header;
}

std::optional<uint32_t> XingStreamBytes(std::span<const uint8_t> frame) {
  if (frame.size() < 4) return std::nullopt;
  const std::optional<MpegAudioHeader> header = ParseMpegAudioHeader(frame.data());
  if (!header || header->layer != 3) return std::nullopt;
  // The tag follows the side information (encoders place it there with or without CRC).
  const size_t at = 4 + header->SideInfoBytes();
  const auto word = [&frame](size_t offset) {
    return static_cast<uint32_t>(frame[offset]) << 24 |
           static_cast<uint32_t>(frame[offset + 1]) << 16 |
           static_cast<uint32_t>(frame[offset + 2]) << 8 | frame[offset + 3];
  };
  if (frame.size() < at + 8) return std::nullopt;
  const bool tagged = std::equal(frame.begin() + static_cast<long>(at),
                                 frame.begin() + static_cast<long>(at + 4), "Xing") ||
                      std::equal(frame.begin() + static_cast<long>(at),
                                 frame.begin() + static_cast<long>(at + 4), "Info");
  if (!tagged) return std::nullopt;
  const uint32_t flags = word(at + 4);
  if ((flags & 2) == 0) return std::nullopt;
  const size_t bytesAt = at + 8 + ((flags & 1) != 0 ? 4 : 0);
  if (frame.size() < bytesAt + 4) return std::nullopt;
  return word(bytesAt);
}

}  // namespace platform::ffmpeg
