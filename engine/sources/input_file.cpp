#include "engine/sources/input_file.h"

#include <sys/stat.h>

#include <limits>

namespace sonorell {

bool InputFile::Open(const std::string& path) {
  Close();
  file_.reset(std::fopen(path.c_str(), "rbe"));
  if (!file_) return false;
  struct stat st {};
  // Only regular files: a FIFO or a device would block or never end.
  if (::fstat(fileno(file_.get()), &st) != 0 || !S_ISREG(st.st_mode)) {
    Close();
    return false;
  }
  size_ = static_cast<uint64_t>(st.st_size);
  std::setvbuf(file_.get(), nullptr, _IOFBF, 64 * 1024);
  return true;
}

void InputFile::Close() {
  file_.reset();
  size_ = 0;
}

size_t InputFile::Read(void* buffer, size_t size) {
  if (!file_ || size == 0) return 0;
  return std::fread(buffer, 1, size, file_.get());
}

bool InputFile::Seek(uint64_t offset) {
  if (!file_ || offset > static_cast<uint64_t>(std::numeric_limits<off_t>::max())) return false;
  return ::fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) == 0;
}

bool InputFile::Skip(uint64_t count) {
  if (!file_) return false;
  const uint64_t here = Tell();
  if (count > std::numeric_limits<uint64_t>::max() - here) return false;
  return Seek(here + count);
}

bool InputFile::Unread(uint64_t count) {
  const uint64_t here = Tell();
  return count <= here && Seek(here - count);
}

uint64_t InputFile::Tell() const {
  if (!file_) return 0;
  const off_t at = ::ftello(file_.get());
  return at < 0 ? 0 : static_cast<uint64_t>(at);
}

}  // namespace sonorell
