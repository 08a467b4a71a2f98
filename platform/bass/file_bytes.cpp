#include "platform/bass/file_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>

namespace platform::bass {
namespace {

class Fd {
 public:
  explicit Fd(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }

 private:
  int fd_;
};

// Reads until size bytes arrived or the file ended; -1 on a read error.
ssize_t ReadFully(int fd, uint8_t* out, size_t size, off_t offset) {
  size_t done = 0;
  while (done < size) {
    const ssize_t n = ::pread(fd, out + done, size - done, offset + static_cast<off_t>(done));
    if (n < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (n == 0) break;
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(done);
}

}  // namespace

std::optional<uint64_t> RegularFileSize(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
}

ReadResult ReadWholeFile(const std::string& path, uint64_t maxBytes, std::vector<uint8_t>& bytes) {
  bytes.clear();
  const Fd fd(path);
  if (fd.get() < 0) return ReadResult::kCannotOpen;
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::kCannotOpen;
  const auto size = static_cast<uint64_t>(st.st_size);
  if (size > maxBytes) return ReadResult::kTooLarge;
  bytes.resize(static_cast<size_t>(size));
  const ssize_t n = ReadFully(fd.get(), bytes.data(), bytes.size(), 0);
  if (n < 0) {
    bytes.clear();
    return ReadResult::kCannotOpen;
  }
  bytes.resize(static_cast<size_t>(n));  // a file that shrank meanwhile gives what is there
  return ReadResult::kOk;
}

std::optional<std::vector<uint8_t>> ReadFileRange(const std::string& path, uint64_t offset,
                                                  size_t size) {
  const Fd fd(path);
  if (fd.get() < 0) return std::nullopt;
  // Only what the file holds is read: nothing lies past its end (nor past what a file offset
  // can say), and a range reaching beyond it is cut there rather than allocated whole.
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) return std::nullopt;
  const auto fileSize = static_cast<uint64_t>(st.st_size);
  if (offset >= fileSize) return std::vector<uint8_t>();
  std::vector<uint8_t> bytes(static_cast<size_t>(std::min<uint64_t>(size, fileSize - offset)));
  size = bytes.size();
  const ssize_t n = ReadFully(fd.get(), bytes.data(), size, static_cast<off_t>(offset));
  if (n < 0) return std::nullopt;
  bytes.resize(static_cast<size_t>(n));
  return bytes;
}

}  // namespace platform::bass
