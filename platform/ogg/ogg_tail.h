#pragma once

// Whether an Ogg file was cut off in its last page, told from the file's tail alone.
#include <cstdint>
#include <span>
#include <string>

namespace platform::ogg {

// The tail of an Ogg file that is read: enough for a whole page of the largest size before
// the last one.
inline constexpr uint64_t kOggTailBytes = 2 * (27 + 255 + 255 * 255);

// True when the bytes (the end of a file, startsAtFileStart when they are all of it) end
// inside a page: after at least one whole page whose checksum holds, a page header follows
// whose page the bytes do not complete. Pages that complete, junk after the last page and
// bytes that hold no whole page say false.
bool EndsInCutPage(std::span<const uint8_t> tail);

// EndsInCutPage over the file's last kOggTailBytes; false when it cannot be read.
bool FileEndsInCutPage(const std::string& path);

}  // namespace platform::ogg
