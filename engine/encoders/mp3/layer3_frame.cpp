#include "engine/encoders/mp3/layer3_frame.h"

#include "engine/encoders/bit_cursor.h"

namespace sonorell {
namespace {

using platform::ffmpeg::MpegAudioHeader;
using platform::ffmpeg::ParseMpegAudioHeader;

// The CRC-16 of MPEG audio (polynomial 0x8005, starting at all ones) over the header's last
// two bytes and the side information; stored after the header.
void UpdateCrc(std::vector<uint8_t>& frame) {
  const std::optional<MpegAudioHeader> header = ParseMpegAudioHeader(frame.data());
  if (!header || !header->crc) return;
  uint16_t crc = 0xFFFF;
  const auto feed = [&crc](uint8_t byte) {
    for (int bit = 7; bit >= 0; --bit) {
      const bool top = ((crc >> 15) & 1) != ((byte >> bit) & 1);
      crc = static_cast<uint16_t>(crc << 1);
      if (top) crc ^= 0x8005;
    }
  };
  feed(frame[2]);
  feed(frame[3]);
  for (size_t i = 6; i < 6 + header->SideInfoBytes(); ++i) feed(frame[i]);
  frame[4] = static_cast<uint8_t>(crc >> 8);
  frame[5] = static_cast<uint8_t>(crc & 0xFF);
}

// Grows or shrinks the slot to the header's frame size, zero bytes at its end.
void FitSlot(std::vector<uint8_t>& frame) {
  frame.resize(ParseMpegAudioHeader(frame.data())->FrameBytes(), 0);
  UpdateCrc(frame);
}

}  // namespace

std::optional<Layer3SideInfo> ReadLayer3SideInfo(std::span<const uint8_t> frame) {
  if (frame.size() < 4) return std::nullopt;
  const std::optional<MpegAudioHeader> header = ParseMpegAudioHeader(frame.data());
  if (!header || header->layer != 3 || frame.size() != header->FrameBytes() ||
      frame.size() < header->MainDataOffset()) {
    return std::nullopt;
  }
  Layer3SideInfo info;
  info.header = *header;
  info.channels = header->channelMode == 3 ? 1 : 2;
  info.granules = header->mpeg1 ? 2 : 1;
  const std::span<const uint8_t> sideInfo =
      frame.subspan(header->MainDataOffset() - header->SideInfoBytes());
  BitCursor bits(sideInfo.data(), sideInfo.size());
  const bool mono = info.channels == 1;
  if (header->mpeg1) {
    info.mainDataBegin = bits.Take(9);
    bits.Skip(mono ? 5 : 3);       // private bits
    bits.Skip(4 * info.channels);  // scale factor selection
  } else {
    info.mainDataBegin = bits.Take(8);
    bits.Skip(mono ? 1 : 2);  // private bits
  }
  int mainDataBits = 0;
  for (int gr = 0; gr < info.granules; ++gr) {
    for (int ch = 0; ch < info.channels; ++ch) {
      mainDataBits += bits.Take(12);               // part2_3_length
      bits.Skip(9 + 8 + (header->mpeg1 ? 4 : 9));  // big_values, global_gain, scalefac_compress
      int window = 0;
      if (bits.Take(1) != 0) {  // window switching
        const int blockType = bits.Take(2);
        const bool mixed = bits.Take(1) != 0;
        window = blockType == 2 && mixed ? 4 : blockType;
        bits.Skip(2 * 5 + 3 * 3);  // table selection, sub-block gains
      } else {
        bits.Skip(3 * 5 + 4 + 3);  // table selection, region counts
      }
      bits.Skip(header->mpeg1 ? 3 : 2);  // [preflag,] scalefac_scale, count1table_select
      info.window[static_cast<size_t>(gr)][static_cast<size_t>(ch)] = window;
    }
  }
  info.mainDataBytes = (mainDataBits + 7) / 8;
  return info;
}

void SetMainDataBegin(std::vector<uint8_t>& frame, int mainDataBegin) {
  const std::optional<MpegAudioHeader> header = ParseMpegAudioHeader(frame.data());
  if (!header) return;
  const size_t at = header->MainDataOffset() - header->SideInfoBytes();
  if (header->mpeg1) {
    frame[at] = static_cast<uint8_t>(mainDataBegin >> 1);
    frame[at + 1] = static_cast<uint8_t>((frame[at + 1] & 0x7F) | ((mainDataBegin & 1) << 7));
  } else {
    frame[at] = static_cast<uint8_t>(mainDataBegin);
  }
  UpdateCrc(frame);
}

bool PadFrame(std::vector<uint8_t>& frame) {
  if ((frame[2] & 0x02) != 0) return false;
  frame[2] |= 0x02;
  FitSlot(frame);
  return true;
}

bool RaiseFrameBitrate(std::vector<uint8_t>& frame, int steps) {
  const int index = (frame[2] >> 4) + steps;
  if (steps <= 0 || index >= 15) return false;
  frame[2] = static_cast<uint8_t>((index << 4) | (frame[2] & 0x0F));
  FitSlot(frame);
  return true;
}

}  // namespace sonorell
