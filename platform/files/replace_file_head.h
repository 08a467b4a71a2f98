#pragma once

#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/files/unique_fd.h"
#include "platform/files/write_all.h"

namespace platform {

// Replaces the first oldHeadSize bytes of a file with newHead, keeping everything after them:
// newHead and the rest are written to a temporary file beside it (with the file's
// permissions), synced, and renamed over it. False when any step fails; the file is then
// unchanged and the temporary file gone.
inline bool ReplaceFileHead(const std::string& path, uint64_t oldHeadSize,
                            std::span<const uint8_t> newHead) {
  const UniqueFd in(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!in.valid() || ::fstat(in.get(), &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<uint64_t>(info.st_size) < oldHeadSize) {
    return false;
  }
  std::string temp = path + ".XXXXXX";
  UniqueFd out(::mkostemp(temp.data(), O_CLOEXEC));
  if (!out.valid()) return false;
  bool ok = ::fchmod(out.get(), info.st_mode & 07777) == 0;
  ok = ok && WriteAll(out.get(), newHead.data(), newHead.size());
  std::vector<uint8_t> chunk(1 << 16);
  auto at = static_cast<off_t>(oldHeadSize);
  while (ok) {
    const ssize_t got = ::pread(in.get(), chunk.data(), chunk.size(), at);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    ok = WriteAll(out.get(), chunk.data(), static_cast<size_t>(got));
    at += got;
  }
  ok = ok && ::fsync(out.get()) == 0;
  ok = out.Close() && ok;
  ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

}  // namespace platform
