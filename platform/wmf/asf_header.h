#pragma once

// The header object at the start of an ASF file (WMA, WMV, ASF): its streams, the file
// properties and the attributes, read from and written to its bytes. Every size and count
// in a header is checked against the bytes actually there, so a damaged or hostile header
// is refused, never read past.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/wmf/wm_types.h"

namespace platform::wm {

// One attribute: its name, type and value bytes as the file stores them (strings are
// UTF-16LE, normally with their terminator). stream 0 is the file level.
struct AsfAttribute {
  std::u16string name;
  WMT_ATTR_DATATYPE type = WMT_TYPE_STRING;
  std::vector<uint8_t> value;
  uint16_t stream = 0;
  bool operator==(const AsfAttribute&) const = default;
};

struct AsfStream {
  uint16_t number = 0;  // 1..127
  MajorType type = MajorType::kOther;
};

struct AsfHeader {
  uint64_t headerSize = 0;    // bytes of the header object, where the data object starts
  uint64_t fileSize = 0;      // as the file properties give it
  uint64_t playDuration = 0;  // 100-ns units, preroll included
  uint64_t prerollMs = 0;
  uint32_t maxBitrate = 0;  // bit/s
  std::vector<AsfStream> streams;
  // Content description fields first (Title, Author, Copyright, Description, Rating), then
  // the extended content description and the metadata objects, in file order.
  std::vector<AsfAttribute> attributes;
};

// Headers larger than this are refused (cover art included, real ones stay far below).
inline constexpr uint64_t kMaxAsfHeaderBytes = 64ull << 20;

// The bytes of the header object of an ASF file; nullopt when the file does not start with
// one, or when it is larger than the file or kMaxAsfHeaderBytes.
std::optional<std::vector<uint8_t>> ReadAsfHeaderBytes(const std::string& path);

// The header in those bytes; nullopt when a required object (file properties) is missing
// or any object runs past its parent.
std::optional<AsfHeader> ParseAsfHeader(std::span<const uint8_t> header);

// The header with its content description and extended content description replaced by
// objects holding attributes (the five content description names go to the first, every
// other attribute to the second, in the order given), the file properties' file size moved
// by the change in header size and, when given, the play duration set to the sound's own
// length (100-ns units; the preroll is added). nullopt when the header does not parse or an
// attribute does not fit its object's 16-bit lengths.
std::optional<std::vector<uint8_t>> RewriteHeader(std::span<const uint8_t> header,
                                                  std::span<const AsfAttribute> attributes,
                                                  std::optional<uint64_t> soundDuration);

}  // namespace platform::wm
