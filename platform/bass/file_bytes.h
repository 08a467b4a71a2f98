#pragma once

// Small whole-file and range reads for the decoders that take their input from memory
// (tracker modules, MIDI files) and for the raw tag blocks read from a file's own bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace platform::bass {

enum class ReadResult { kOk, kCannotOpen, kTooLarge };

// The whole file when it holds at most maxBytes; a file that cannot be opened or read is
// kCannotOpen.
ReadResult ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes);

// Up to size bytes from offset (fewer near the end of the file); nullopt when the file
// cannot be opened.
std::optional<std::vector<uint8_t>> ReadFileRange(const std::string& path, uint64_t offset,
                                                  size_t size);

// Size in bytes of a regular file; nullopt for anything else or when it cannot be told.
std::optional<uint64_t> RegularFileSize(const std::string& path);

}  // namespace platform::bass
