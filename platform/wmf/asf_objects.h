#pragma once

// The building blocks of an ASF header, shared by its reader, writer and editor: object
// GUIDs, bounded little-endian reading, splitting a region into objects, and the encoders
// of the little-endian fields. Every object is a GUID, a 64-bit size (header included) and
// its body.
#include <array>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/wmf/wm_types.h"

namespace platform::wm::asf {

using Guid = std::array<uint8_t, 16>;

// GUIDs are stored Data1..Data3 little-endian, then Data4 as it is.
constexpr Guid MakeGuid(uint32_t d1, uint16_t d2, uint16_t d3, std::array<uint8_t, 8> d4) {
  return Guid{static_cast<uint8_t>(d1),
              static_cast<uint8_t>(d1 >> 8),
              static_cast<uint8_t>(d1 >> 16),
              static_cast<uint8_t>(d1 >> 24),
              static_cast<uint8_t>(d2),
              static_cast<uint8_t>(d2 >> 8),
              static_cast<uint8_t>(d3),
              static_cast<uint8_t>(d3 >> 8),
              d4[0],
              d4[1],
              d4[2],
              d4[3],
              d4[4],
              d4[5],
              d4[6],
              d4[7]};
}

inline constexpr Guid kHeaderObject =
    MakeGuid(0x75B22630, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
inline constexpr Guid kDataObject =
    MakeGuid(0x75B22636, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
inline constexpr Guid kFileProperties =
    MakeGuid(0x8CABDCA1, 0xA947, 0x11CF, {0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
inline constexpr Guid kStreamProperties =
    MakeGuid(0xB7DC0791, 0xA9B7, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
inline constexpr Guid kHeaderExtension =
    MakeGuid(0x5FBF03B5, 0xA92E, 0x11CF, {0x8E, 0xE3, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
// The first, fixed field of the header extension.
inline constexpr Guid kReserved1 =
    MakeGuid(0xABD3D211, 0xA9BA, 0x11CF, {0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65});
inline constexpr Guid kExtendedStreamProperties =
    MakeGuid(0x14E6A5CB, 0xC672, 0x4332, {0x83, 0x99, 0xA9, 0x69, 0x52, 0x06, 0x5B, 0x5A});
inline constexpr Guid kContentDescription =
    MakeGuid(0x75B22633, 0x668E, 0x11CF, {0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C});
inline constexpr Guid kExtendedContentDescription =
    MakeGuid(0xD2D0A440, 0xE307, 0x11D2, {0x97, 0xF0, 0x00, 0xA0, 0xC9, 0x5E, 0xA8, 0x50});
inline constexpr Guid kMetadata =
    MakeGuid(0xC5F8CBEA, 0x5BAF, 0x4877, {0x84, 0x67, 0xAA, 0x8C, 0x44, 0xFA, 0x4C, 0xCA});
inline constexpr Guid kMetadataLibrary =
    MakeGuid(0x44231C94, 0x9498, 0x49D1, {0xA1, 0x41, 0x1D, 0x13, 0x4E, 0x45, 0x70, 0x54});
inline constexpr Guid kPadding =
    MakeGuid(0x1806D474, 0xCADF, 0x4509, {0xA4, 0xBA, 0x9A, 0xAB, 0xCB, 0x96, 0xAA, 0xE8});
inline constexpr Guid kAudioMedia =
    MakeGuid(0xF8699E40, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B});
inline constexpr Guid kVideoMedia =
    MakeGuid(0xBC19EFC0, 0x5B4D, 0x11CF, {0xA8, 0xFD, 0x00, 0x80, 0x5F, 0x5C, 0x44, 0x2B});

inline constexpr size_t kObjectHeader = 24;  // GUID and 64-bit size
// The header object's own fields: its object header, the object count and two reserved bytes.
inline constexpr size_t kHeaderObjectFixed = 30;
inline constexpr size_t kHeaderCountOffset = 24;
// The header extension's fields before its objects: reserved GUID and WORD, data size.
inline constexpr size_t kHeaderExtensionFixed = 22;
inline constexpr size_t kFilePropertiesSize = 104;
// Within the file properties object.
inline constexpr size_t kFileSizeOffset = 40;
inline constexpr size_t kPlayDurationOffset = 64;
inline constexpr size_t kPrerollOffset = 80;
inline constexpr size_t kMaxBitrateOffset = 100;

// Little-endian reads within one span; every read is checked by the caller's Has().
class Cursor {
 public:
  explicit Cursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  bool Has(size_t n) const { return n <= bytes_.size() - pos_; }
  size_t Pos() const { return pos_; }
  size_t Left() const { return bytes_.size() - pos_; }
  void Skip(size_t n) { pos_ += n; }
  uint64_t Le(size_t n) {
    uint64_t v = 0;
    for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(bytes_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }
  std::span<const uint8_t> Take(size_t n) {
    const std::span<const uint8_t> part = bytes_.subspan(pos_, n);
    pos_ += n;
    return part;
  }

 private:
  std::span<const uint8_t> bytes_;
  size_t pos_ = 0;
};

inline uint64_t Le(std::span<const uint8_t> bytes, size_t offset, size_t n) {
  Cursor c(bytes);
  c.Skip(offset);
  return c.Le(n);
}

inline bool IsGuid(std::span<const uint8_t> bytes, const Guid& guid) {
  return bytes.size() >= 16 && std::memcmp(bytes.data(), guid.data(), 16) == 0;
}

// One object: its GUID and whole bytes (header included).
struct Object {
  std::span<const uint8_t> bytes;
  bool Is(const Guid& guid) const { return IsGuid(bytes, guid); }
  std::span<const uint8_t> Body() const { return bytes.subspan(kObjectHeader); }
};

// The objects that follow one another in a region, each within it; nullopt when one is
// shorter than an object header or runs past the region.
inline std::optional<std::vector<Object>> SplitObjects(std::span<const uint8_t> region) {
  std::vector<Object> objects;
  Cursor c(region);
  while (c.Left() > 0) {
    if (!c.Has(kObjectHeader)) return std::nullopt;
    const uint64_t size = Le(region, c.Pos() + 16, 8);
    if (size < kObjectHeader || size > c.Left()) return std::nullopt;
    objects.push_back({c.Take(static_cast<size_t>(size))});
  }
  return objects;
}

// A stored UTF-16LE name up to its terminator.
inline std::u16string Utf16Name(std::span<const uint8_t> bytes) {
  std::u16string name;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
    if (unit == 0) break;
    name.push_back(unit);
  }
  return name;
}

// ASF files number their value types differently from the runtime's calls: 0 text,
// 1 bytes, 2 BOOL, 3 DWORD, 4 QWORD, 5 WORD, 6 GUID.
inline constexpr std::array<WMT_ATTR_DATATYPE, 7> kStoredTypes{
    WMT_TYPE_STRING, WMT_TYPE_BINARY, WMT_TYPE_BOOL, WMT_TYPE_DWORD,
    WMT_TYPE_QWORD,  WMT_TYPE_WORD,   WMT_TYPE_GUID};

inline std::optional<WMT_ATTR_DATATYPE> FromStored(uint64_t stored) {
  if (stored >= kStoredTypes.size()) return std::nullopt;
  return kStoredTypes[stored];
}

inline uint16_t ToStored(WMT_ATTR_DATATYPE type) {
  for (size_t i = 0; i < kStoredTypes.size(); ++i) {
    if (kStoredTypes[i] == type) return static_cast<uint16_t>(i);
  }
  return 1;  // bytes
}

inline void PutLe(std::vector<uint8_t>& out, uint64_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline void PutGuid(std::vector<uint8_t>& out, const Guid& guid) {
  out.insert(out.end(), guid.begin(), guid.end());
}

inline void PutUtf16z(std::vector<uint8_t>& out, const std::u16string& text) {
  for (const char16_t unit : text) PutLe(out, unit, 2);
  PutLe(out, 0, 2);
}

inline void PatchLe(std::vector<uint8_t>& out, size_t offset, uint64_t value, size_t n) {
  for (size_t i = 0; i < n; ++i) out[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

}  // namespace platform::wm::asf
