#include "engine/encoders/flac/flac_frame_number.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace sonorell {
namespace {

// FLAC's header CRC-8 (polynomial 0x07) and frame CRC-16 (0x8005), a byte at a time.
struct CrcTables {
  std::array<uint8_t, 256> crc8{};
  std::array<uint16_t, 256> crc16{};
  CrcTables() {
    for (unsigned byte = 0; byte < 256; ++byte) {
      auto c8 = static_cast<uint8_t>(byte);
      auto c16 = static_cast<uint16_t>(byte << 8);
      for (int bit = 0; bit < 8; ++bit) {
        c8 = static_cast<uint8_t>((c8 & 0x80) != 0 ? (c8 << 1) ^ 0x07 : c8 << 1);
        c16 = static_cast<uint16_t>((c16 & 0x8000) != 0 ? (c16 << 1) ^ 0x8005 : c16 << 1);
      }
      crc8[byte] = c8;
      crc16[byte] = c16;
    }
  }
};

const CrcTables& Tables() {
  static const CrcTables tables;
  return tables;
}

uint8_t Crc8(const uint8_t* bytes, size_t size) {
  const CrcTables& t = Tables();
  uint8_t crc = 0;
  for (size_t i = 0; i < size; ++i) crc = t.crc8[crc ^ bytes[i]];
  return crc;
}

uint16_t Crc16(const uint8_t* bytes, size_t size) {
  const CrcTables& t = Tables();
  uint16_t crc = 0;
  for (size_t i = 0; i < size; ++i) {
    crc = static_cast<uint16_t>((crc << 8) ^ t.crc16[(crc >> 8) ^ bytes[i]]);
  }
  return crc;
}

// The length of the "UTF-8" coded number that starts with lead, 0 when it is no such start.
size_t CodedLength(uint8_t lead) {
  if ((lead & 0x80) == 0) return 1;
  for (size_t n = 2; n <= 7; ++n) {
    const auto mask = static_cast<uint8_t>(0xFF << (7 - n));
    const auto mark = static_cast<uint8_t>(0xFF << (8 - n));
    if ((lead & mask) == mark) return n;
  }
  return 0;
}

std::vector<uint8_t> CodedNumber(uint64_t number) {
  if (number < 0x80) return {static_cast<uint8_t>(number)};
  size_t n = 2;
  while (n < 7 && number >= (uint64_t{1} << (5 * n + 1))) ++n;
  std::vector<uint8_t> coded(n);
  for (size_t i = n - 1; i > 0; --i) {
    coded[i] = static_cast<uint8_t>(0x80 | (number & 0x3F));
    number >>= 6;
  }
  coded[0] = static_cast<uint8_t>((0xFF << (8 - n)) | number);
  return coded;
}

}  // namespace

bool RenumberFlacFrame(std::vector<uint8_t>& frame, uint64_t number) {
  // Sync 0xFFF8 (fixed block size), block size and rate codes, channels and width, then
  // the coded frame number, the block size and rate where their codes say, then CRC-8.
  if (frame.size() < 6 || frame[0] != 0xFF || frame[1] != 0xF8) return false;
  const size_t numberLength = CodedLength(frame[4]);
  if (numberLength == 0 || numberLength > 6) return false;
  const int sizeCode = frame[2] >> 4;
  const int rateCode = frame[2] & 0x0F;
  const size_t extra = (sizeCode == 6   ? 1
                        : sizeCode == 7 ? 2
                                        : 0) +
                       (rateCode == 12                       ? 1
                        : (rateCode == 13 || rateCode == 14) ? 2
                                                             : 0);
  if (frame.size() < 4 + numberLength + extra + 1 + 2) return false;

  const std::vector<uint8_t> coded = CodedNumber(number);
  const auto numberAt = frame.begin() + 4;
  if (coded.size() == numberLength) {
    // The usual case: the number keeps its length, and the frame is mended where it lies.
    std::copy(coded.begin(), coded.end(), numberAt);
  } else {
    frame.erase(numberAt, numberAt + static_cast<ptrdiff_t>(numberLength));
    frame.insert(frame.begin() + 4, coded.begin(), coded.end());
  }
  const size_t headerEnd = 4 + coded.size() + extra;  // where the CRC-8 sits
  frame[headerEnd] = Crc8(frame.data(), headerEnd);
  const uint16_t crc = Crc16(frame.data(), frame.size() - 2);
  frame[frame.size() - 2] = static_cast<uint8_t>(crc >> 8);
  frame[frame.size() - 1] = static_cast<uint8_t>(crc & 0xFF);
  return true;
}

}  // namespace sonorell
