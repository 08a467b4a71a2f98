#include "engine/encoders/aac/mp4_atoms.h"

#include <limits>

namespace sonorell {
namespace {

constexpr uint32_t kHeader = 8;
constexpr uint32_t kLargeHeader = 16;
constexpr uint32_t kFullBoxPrefix = 4;  // version and flags

uint64_t ReadBigEndian(std::string_view bytes, uint64_t pos, int count) {
  uint64_t value = 0;
  for (int i = 0; i < count; ++i) value = (value << 8) | static_cast<uint8_t>(bytes[pos + i]);
  return value;
}

void WriteBigEndian(std::string& bytes, uint64_t pos, uint64_t value, int count) {
  for (int i = count - 1; i >= 0; --i) {
    bytes[pos + i] = static_cast<char>(value & 0xFF);
    value >>= 8;
  }
}

// The atom whose header starts at pos: header bytes (16 of them, or as many as remain),
// with remaining bytes from pos to the end of its container.
std::optional<Mp4Atom> AtomAt(std::string_view header, uint64_t pos, uint64_t remaining) {
  if (remaining < kHeader || header.size() < kHeader) return std::nullopt;
  Mp4Atom atom;
  atom.offset = pos;
  atom.type = std::string(header.substr(4, 4));
  atom.size = ReadBigEndian(header, 0, 4);
  if (atom.size == 1) {
    if (remaining < kLargeHeader || header.size() < kLargeHeader) return std::nullopt;
    atom.size = ReadBigEndian(header, 8, 8);
    atom.headerSize = kLargeHeader;
  } else if (atom.size == 0) {
    atom.size = remaining;
  }
  if (atom.size < atom.headerSize || atom.size > remaining) return std::nullopt;
  return atom;
}

std::optional<Mp4Atom> FindChild(std::string_view body, std::string_view type) {
  const auto atoms = ListAtoms(body, 0, body.size());
  if (!atoms) return std::nullopt;
  for (const Mp4Atom& atom : *atoms) {
    if (atom.type == type) return atom;
  }
  return std::nullopt;
}

bool ShiftTable(std::string& moov, const Mp4Atom& table, uint64_t from, int64_t delta) {
  const int width = table.type == "co64" ? 8 : 4;
  const uint64_t countPos = table.BodyOffset() + kFullBoxPrefix;
  if (countPos + 4 > table.End()) return false;
  const uint64_t count = ReadBigEndian(moov, countPos, 4);
  if (count > (table.End() - countPos - 4) / width) return false;
  const uint64_t limit =
      width == 8 ? std::numeric_limits<uint64_t>::max() : std::numeric_limits<uint32_t>::max();
  for (uint64_t i = 0; i < count; ++i) {
    const uint64_t pos = countPos + 4 + i * width;
    const uint64_t offset = ReadBigEndian(moov, pos, width);
    if (offset < from) continue;
    if (delta < 0 && offset < static_cast<uint64_t>(-delta)) return false;
    if (delta > 0 && offset > limit - static_cast<uint64_t>(delta)) return false;
    WriteBigEndian(moov, pos, offset + static_cast<uint64_t>(delta), width);
  }
  return true;
}

// Shifts the stco and co64 tables among the atoms in [begin, end) of moov, going down
// through the containers that lead to them.
bool VisitChunkTables(std::string& moov, uint64_t begin, uint64_t end, uint64_t from,
                      int64_t delta) {
  const auto atoms = ListAtoms(moov, begin, end);
  if (!atoms) return false;
  for (const Mp4Atom& atom : *atoms) {
    if (atom.type == "trak" || atom.type == "mdia" || atom.type == "minf" || atom.type == "stbl") {
      if (!VisitChunkTables(moov, atom.BodyOffset(), atom.End(), from, delta)) return false;
    } else if (atom.type == "stco" || atom.type == "co64") {
      if (!ShiftTable(moov, atom, from, delta)) return false;
    }
  }
  return true;
}

}  // namespace

std::optional<std::vector<Mp4Atom>> ListAtoms(std::string_view bytes, uint64_t from, uint64_t to) {
  if (from > to || to > bytes.size()) return std::nullopt;
  std::vector<Mp4Atom> atoms;
  for (uint64_t pos = from; pos < to;) {
    const auto atom = AtomAt(bytes.substr(pos, kLargeHeader), pos, to - pos);
    if (!atom) return std::nullopt;
    atoms.push_back(*atom);
    pos = atom->End();
  }
  return atoms;
}

std::optional<std::vector<Mp4Atom>> ListFileAtoms(const FinishedFile& file) {
  std::vector<Mp4Atom> atoms;
  for (uint64_t pos = 0; pos < file.Size();) {
    const uint64_t remaining = file.Size() - pos;
    const auto header = file.Read(pos, std::min<uint64_t>(kLargeHeader, remaining));
    const auto atom = header ? AtomAt(*header, pos, remaining) : std::nullopt;
    if (!atom) return std::nullopt;
    atoms.push_back(*atom);
    pos = atom->End();
  }
  return atoms;
}

std::optional<std::string> MakeAtom(std::string_view type, std::string_view body) {
  const uint64_t size = kHeader + body.size();
  if (size > std::numeric_limits<uint32_t>::max()) return std::nullopt;
  std::string atom(kHeader, '\0');
  WriteBigEndian(atom, 0, size, 4);
  atom.replace(4, 4, type.substr(0, 4));
  atom.append(body);
  return atom;
}

std::string FreeAtom(uint32_t size) {
  std::string atom(size, '\0');
  WriteBigEndian(atom, 0, size, 4);
  atom.replace(4, 4, "free");
  return atom;
}

std::optional<std::string> ReplaceChild(std::string_view body, std::string_view type,
                                        std::string_view childBody) {
  const auto atoms = ListAtoms(body, 0, body.size());
  const std::optional<std::string> child = MakeAtom(type, childBody);
  if (!atoms || !child) return std::nullopt;
  for (const Mp4Atom& atom : *atoms) {
    if (atom.type != type) continue;
    std::string out(body.substr(0, atom.offset));
    out.append(*child);
    out.append(body.substr(atom.End()));
    return out;
  }
  return std::string(body) + *child;
}

std::optional<std::string> ChildBody(std::string_view body, std::string_view type) {
  const std::optional<Mp4Atom> atom = FindChild(body, type);
  if (!atom) return std::nullopt;
  return std::string(body.substr(atom->BodyOffset(), atom->size - atom->headerSize));
}

bool ShiftChunkOffsets(std::string& moov, uint64_t from, int64_t delta) {
  if (delta == 0) return true;
  const auto atoms = ListAtoms(moov, 0, moov.size());
  if (!atoms || atoms->size() != 1) return false;
  return VisitChunkTables(moov, atoms->front().BodyOffset(), atoms->front().End(), from, delta);
}

}  // namespace sonorell
