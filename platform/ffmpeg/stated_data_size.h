#pragma once

// Where the sound data of a WAV or AIFF file begins and how many bytes its header says it
// holds, read from the file's chunks as the two formats lay them out. FFmpeg quietly shortens
// a data size beyond the end of the file to what is there, so a cut file looks whole to it.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace platform::ffmpeg {

struct StatedData {
  uint64_t offset = 0;  // of the first byte of sound data
  uint64_t bytes = 0;   // that the header states
};

// From the first bytes of a file (up to kStatedDataHeadBytes): the "data" chunk of a RIFF
// WAVE file or the "SSND" chunk of a FORM AIFF/AIFC file. nullopt for anything else, for a
// chunk not within those bytes, and for the sizes a streaming writer leaves (0 or all ones).
std::optional<StatedData> StatedDataOf(std::span<const uint8_t> head);
inline constexpr size_t kStatedDataHeadBytes = 65536;

// StatedDataOf over the file's first bytes; nullopt when it cannot be read.
std::optional<StatedData> ReadStatedData(const std::string& path);

}  // namespace platform::ffmpeg
