#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/encoders/tags/file_splice.h"

namespace sonorell {

// One atom (box) of an MP4-family file: where it starts, its whole size (header included)
// and the size of its header (8, or 16 with a 64-bit size).
struct Mp4Atom {
  uint64_t offset = 0;
  uint64_t size = 0;
  uint32_t headerSize = 8;
  std::string type;

  uint64_t End() const { return offset + size; }
  uint64_t BodyOffset() const { return offset + headerSize; }
};

// The atoms that fill bytes[from, to) back to back; nullopt when they do not (a size too
// small, or reaching past the end).
std::optional<std::vector<Mp4Atom>> ListAtoms(std::string_view bytes, uint64_t from, uint64_t to);
// The same for the top level of a file; an atom of size 0 reaches to the end of the file.
std::optional<std::vector<Mp4Atom>> ListFileAtoms(const FinishedFile& file);

// An atom of type around body, with a 32-bit size; nullopt when it would need more.
std::optional<std::string> MakeAtom(std::string_view type, std::string_view body);
// A free atom of exactly size bytes (at least 8).
std::string FreeAtom(uint32_t size);

// body with its first child of the given type replaced by one holding childBody, or with
// such a child appended when there is none; nullopt when body's children are damaged.
std::optional<std::string> ReplaceChild(std::string_view body, std::string_view type,
                                        std::string_view childBody);
// The body of body's first child of that type; nullopt when there is none.
std::optional<std::string> ChildBody(std::string_view body, std::string_view type);

// Adds delta to every chunk offset (stco, co64) of every track in moov that points at or
// beyond from: the data there moved. False when an offset would leave its field or the
// tables are damaged; moov may then be partly changed.
bool ShiftChunkOffsets(std::string& moov, uint64_t from, int64_t delta);

}  // namespace sonorell
