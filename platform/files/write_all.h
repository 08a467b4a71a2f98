#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>

namespace platform {

// Writes every byte, going on after short writes and interrupted calls. False on the first
// real failure (a full disk, a removed file system).
inline bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  while (size > 0) {
    const ssize_t n = ::write(fd, bytes, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

}  // namespace platform
