#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/files/unique_fd.h"

namespace sonorell {

// Reading a finished output whose tags are being edited.
class FinishedFile {
 public:
  // False, with a failure note, when the file cannot be opened for reading.
  bool Open(const std::string& path);
  uint64_t Size() const { return size_; }
  // Exactly length bytes from offset; nullopt when the file holds fewer or cannot be read.
  std::optional<std::string> Read(uint64_t offset, uint64_t length) const;
  int Descriptor() const { return fd_.get(); }

 private:
  platform::UniqueFd fd_;
  uint64_t size_ = 0;
};

// One piece of a file laid out again by RewriteFile: bytes of its own, or a range of the
// file as it was.
struct FilePiece {
  std::string bytes;
  uint64_t keptOffset = 0;
  uint64_t keptLength = 0;

  static FilePiece Own(std::string bytes) { return FilePiece{std::move(bytes), 0, 0}; }
  static FilePiece Kept(uint64_t offset, uint64_t length) { return FilePiece{{}, offset, length}; }
};

// Overwrites bytes of the file at offset (never past its end) and makes them durable.
// False, with a failure note, when that fails.
bool OverwriteInPlace(const std::string& path, uint64_t offset, std::string_view bytes);

// Writes the pieces, in order, to a temporary file beside path (the kept ranges read from
// original, which is path opened) and renames it over path with path's permissions. False,
// with a failure note, when any step fails; path is then unchanged.
bool RewriteFile(const std::string& path, const FinishedFile& original,
                 const std::vector<FilePiece>& pieces);

}  // namespace sonorell
