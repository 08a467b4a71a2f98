#include "engine/encoders/tags/file_splice.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/encoders/staged_output.h"
#include "engine/sources/failure_note.h"

namespace sonorell {
namespace {

constexpr uint64_t kCopyChunk = uint64_t{1} << 20;

void NoteFileFailure(const std::string& what, int error) {
  SetFailureNote(what + " (" + std::strerror(error) + ")");
}

}  // namespace

bool FinishedFile::Open(const std::string& path) {
  fd_ = platform::UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd_.valid() || ::fstat(fd_.get(), &info) != 0) {
    NoteFileFailure("the output could not be read again for its gain tags", errno);
    fd_.Close();
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    SetFailureNote("the output is no regular file and cannot take gain tags");
    fd_.Close();
    return false;
  }
  size_ = static_cast<uint64_t>(info.st_size);
  return true;
}

std::optional<std::string> FinishedFile::Read(uint64_t offset, uint64_t length) const {
  if (!fd_.valid() || offset > size_ || length > size_ - offset) return std::nullopt;
  std::string bytes(static_cast<size_t>(length), '\0');
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pread(fd_.get(), bytes.data() + done, bytes.size() - done,
                              static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    done += static_cast<size_t>(n);
  }
  return bytes;
}

bool OverwriteInPlace(const std::string& path, uint64_t offset, std::string_view bytes) {
  platform::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0) {
    NoteFileFailure("the output could not be opened for its gain tags", errno);
    return false;
  }
  if (offset + bytes.size() > static_cast<uint64_t>(info.st_size)) {
    SetFailureNote("the output changed while its gain tags were written");
    return false;
  }
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::pwrite(fd.get(), bytes.data() + done, bytes.size() - done,
                               static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteFileFailure("the gain tags could not be written", n < 0 ? errno : EIO);
      return false;
    }
    done += static_cast<size_t>(n);
  }
  if (::fsync(fd.get()) != 0 || !fd.Close()) {
    NoteFileFailure("the gain tags could not be saved to disk", errno);
    return false;
  }
  return true;
}

bool RewriteFile(const std::string& path, const FinishedFile& original,
                 const std::vector<FilePiece>& pieces) {
  struct stat info {};
  if (::fstat(original.Descriptor(), &info) != 0) {
    NoteFileFailure("the output could not be read again for its gain tags", errno);
    return false;
  }
  StagedOutput out;
  if (!out.Open(path)) return false;
  for (const FilePiece& piece : pieces) {
    if (!piece.bytes.empty() && !out.Write(piece.bytes.data(), piece.bytes.size())) return false;
    for (uint64_t done = 0; done < piece.keptLength;) {
      const uint64_t n = std::min(kCopyChunk, piece.keptLength - done);
      const std::optional<std::string> chunk = original.Read(piece.keptOffset + done, n);
      if (!chunk) {
        SetFailureNote("the output could not be read again for its gain tags");
        return false;
      }
      if (!out.Write(chunk->data(), chunk->size())) return false;
      done += n;
    }
  }
  if (!out.Commit({})) return false;
  // The new file takes the place of the old one with the old one's permissions.
  ::chmod(path.c_str(), info.st_mode & 07777);
  return true;
}

}  // namespace sonorell
