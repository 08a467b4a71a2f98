#include "engine/encoders/staged_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <random>
#include <utility>

#include "engine/encoders/part_files.h"
#include "engine/paths/path_rules.h"
#include "engine/sources/failure_note.h"
#include "platform/files/write_all.h"

namespace sonorell {
namespace {

constexpr size_t kBufferSize = size_t{256} * 1024;

// Short hidden names stay valid however long the target's own name is.
std::string TemporaryName(const std::string& folder) {
  static std::atomic<unsigned> counter{0};
  static const unsigned seed = std::random_device{}();
  return folder + PartFileName(PartHostName(), static_cast<int>(getpid()), seed, counter++);
}

// The failure note of an output operation, with the system's reason.
void NoteOutputFailure(const std::string& what, int error) {
  SetFailureNote(what + " (" + std::strerror(error) + ")");
}

// Makes what was written to the file durable: a power cut after the rename must not leave a
// half file under the final name. A file the library wrote by its path is opened again.
bool SyncFile(int fd, const std::string& path) {
  if (fd >= 0) return ::fsync(fd) == 0;
  const platform::UniqueFd reopened(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
  return reopened.valid() && ::fsync(reopened.get()) == 0;
}

// Makes the rename durable. Some network and FUSE file systems cannot sync a folder, or
// open one for reading; that is no reason to fail a file that is in place.
bool SyncFolder(const std::string& folder) {
  const platform::UniqueFd fd(
      ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!fd.valid()) return true;
  return ::fsync(fd.get()) == 0 || errno != EIO;
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa {};
  struct stat sb {};
  if (::stat(a.c_str(), &sa) != 0 || ::stat(b.c_str(), &sb) != 0) return false;
  return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

// Moves the finished file to the target name only while nothing is there: a file that
// appeared under that name while we encoded (another program, or a parallel conversion
// that chose the same numbered name) is never replaced. Filesystems without an atomic
// no-replace rename get a hard link, and those without links (FAT on a memory stick) a
// last look before the rename.
bool PublishWithoutReplacing(const std::string& from, const std::string& to) {
  if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP) return false;
  if (::link(from.c_str(), to.c_str()) == 0) {
    ::unlink(from.c_str());
    return true;
  }
  if (errno == EEXIST) return false;
  struct stat info {};
  if (::lstat(to.c_str(), &info) == 0) return false;
  return ::rename(from.c_str(), to.c_str()) == 0;
}

}  // namespace

StagedOutput::~StagedOutput() {
  Discard();
}

bool StagedOutput::Open(const std::string& targetPath) {
  Discard();
  targetPath_ = targetPath;
  struct stat info {};
  replacesTarget_ = ::lstat(targetPath.c_str(), &info) == 0;
  const std::string folder = FolderPart(targetPath);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string candidate = TemporaryName(folder);
    platform::UniqueFd fd(
        ::open(candidate.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (fd.valid()) {
      fd_ = std::move(fd);
      tempPath_ = std::move(candidate);
      failed_ = false;
      size_ = 0;
      buffer_.clear();
      buffer_.reserve(kBufferSize);
      return true;
    }
    if (errno != EEXIST) break;
  }
  NoteOutputFailure("no file can be created in the output folder", errno);
  return false;
}

bool StagedOutput::FlushBuffer() {
  if (buffer_.empty()) return !failed_;
  if (!failed_ && !platform::WriteAll(fd_.get(), buffer_.data(), buffer_.size()))
    NoteWriteFailure();
  buffer_.clear();
  return !failed_;
}

bool StagedOutput::Write(const void* data, size_t size) {
  if (!fd_.valid() || failed_) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  if (buffer_.size() + size > kBufferSize && !FlushBuffer()) return false;
  if (size >= kBufferSize) {
    if (!platform::WriteAll(fd_.get(), bytes, size)) NoteWriteFailure();
  } else {
    buffer_.insert(buffer_.end(), bytes, bytes + size);
  }
  if (!failed_) size_ += size;
  return !failed_;
}

bool StagedOutput::WriteAt(uint64_t offset, const void* data, size_t size) {
  if (!fd_.valid() || failed_ || offset + size > size_ || !FlushBuffer()) {
    failed_ = true;
    return false;
  }
  const auto* bytes = static_cast<const uint8_t*>(data);
  while (size > 0) {
    const ssize_t n = ::pwrite(fd_.get(), bytes, size, static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      NoteWriteFailure();
      return false;
    }
    bytes += n;
    size -= static_cast<size_t>(n);
    offset += static_cast<uint64_t>(n);
  }
  return true;
}

void StagedOutput::NoteWriteFailure() {
  const int error = errno != 0 ? errno : EIO;
  if (!failed_) NoteOutputFailure("the output could not be written", error);
  failed_ = true;
}

void StagedOutput::HandOverToLibrary() {
  FlushBuffer();
  CloseHandle();
}

void StagedOutput::CloseHandle() {
  if (fd_.valid() && !fd_.Close()) NoteWriteFailure();
}

bool StagedOutput::Commit(const std::string& protectedPath) {
  if (tempPath_.empty()) return false;
  bool ok = FlushBuffer() && !failed_;
  if (ok && !SyncFile(fd_.get(), tempPath_)) {
    NoteOutputFailure("the output could not be saved to disk", errno);
    ok = false;
  }
  CloseHandle();
  ok = ok && !failed_;
  if (ok && !protectedPath.empty() && SameFile(targetPath_, protectedPath)) {
    SetFailureNote("the output would replace its own source");
    ok = false;
  }
  if (ok) {
    ok = replacesTarget_ ? ::rename(tempPath_.c_str(), targetPath_.c_str()) == 0
                         : PublishWithoutReplacing(tempPath_, targetPath_);
    if (!ok && errno == EEXIST) {
      SetFailureNote("a file named \"" + FileNamePart(targetPath_) +
                     "\" appeared meanwhile and was kept");
    } else if (!ok) {
      NoteOutputFailure(
          "the finished output could not be named \"" + FileNamePart(targetPath_) + "\"", errno);
    }
  }
  if (!ok) {
    Discard();
    return false;
  }
  if (!SyncFolder(FolderPart(targetPath_))) {
    // The file is in place but its name may not survive a power cut: it does not count.
    NoteOutputFailure("the output folder could not be saved to disk", errno);
    ::unlink(targetPath_.c_str());
    tempPath_.clear();
    return false;
  }
  tempPath_.clear();
  return true;
}

void StagedOutput::Discard() {
  buffer_.clear();
  CloseHandle();
  if (!tempPath_.empty()) {
    ::unlink(tempPath_.c_str());
    tempPath_.clear();
  }
}

}  // namespace sonorell
