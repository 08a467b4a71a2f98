#pragma once

// Changing the attributes of a finished ASF file (WMA, WMV) without touching its sound. The
// header object is rebuilt with some attributes removed and others added; the data object
// and the indexes after it are kept byte for byte. Neither holds a position counted from the
// start of the file (data packets carry their own lengths and times, the simple index counts
// packets, the index object counts bytes from the first data packet), so they stay valid
// when the header changes size.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/wmf/asf_header.h"

namespace platform::wm {

struct AsfAttributeEdit {
  // Attributes to remove wherever they stand (extended content description, metadata,
  // metadata library), by name, compared ignoring ASCII case. The five fields of the content
  // description are not edited.
  std::vector<std::u16string> remove;
  // File-level attributes to add (their stream is ignored): a value of up to 65535 bytes goes
  // to the extended content description, a larger one to the metadata library in the header
  // extension (either object is made when the file has none).
  std::vector<AsfAttribute> add;
};

enum class AsfEditResult {
  kInPlace,     // the new header was written over the old one, padding taking up the rest
  kRewritten,   // the file was copied beside itself with the new header and renamed over
  kUnreadable,  // no ASF file, or a damaged or hostile header: the file is unchanged
  kTooLarge,    // the header would outgrow what ASF readers take: the file is unchanged
  kFailed,      // the file could not be written (a full disk, no permission): unchanged
};

// Room a rewritten header keeps in a padding object, so that a later edit of a few texts
// (the gain tags) fits in place.
inline constexpr size_t kAsfEditPadding = 4096;

// The header with the edit applied, without any padding object (a padding object in it is
// dropped as free room) and with the file properties as they were. nullopt when the header
// does not parse or an object would outgrow its counts and lengths.
std::optional<std::vector<uint8_t>> EditHeader(std::span<const uint8_t> header,
                                               const AsfAttributeEdit& edit);

// Edits the file's header: in place when the new header fits in the old one's bytes (the
// difference becomes a padding object), else through a temporary file beside it that is
// renamed over it and whose header keeps kAsfEditPadding of room. The file properties' file
// size follows the header's change. Only a file whose header object is followed by its data
// object is edited.
AsfEditResult EditAsfAttributes(const std::string& path, const AsfAttributeEdit& edit);

}  // namespace platform::wm
