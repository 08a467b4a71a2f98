#include "platform/ogg/ogg_tail.h"

#include <fcntl.h>
#include <ogg/ogg.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/files/unique_fd.h"

namespace platform::ogg {
namespace {

struct SyncClearer {
  void operator()(ogg_sync_state* sync) const { ogg_sync_clear(sync); }
};

}  // namespace

bool EndsInCutPage(std::span<const uint8_t> tail) {
  if (tail.empty() || tail.size() > static_cast<size_t>(kOggTailBytes)) return false;
  ogg_sync_state state;
  ogg_sync_init(&state);
  const std::unique_ptr<ogg_sync_state, SyncClearer> sync(&state);
  char* buffer = ogg_sync_buffer(sync.get(), static_cast<long>(tail.size()));
  if (buffer == nullptr) return false;
  std::memcpy(buffer, tail.data(), tail.size());
  ogg_sync_wrote(sync.get(), static_cast<long>(tail.size()));

  // libogg checks each page's header and checksum; bytes that are no page are skipped.
  bool wholePageSeen = false;
  size_t consumed = 0;
  ogg_page page;
  for (;;) {
    const long step = ogg_sync_pageseek(sync.get(), &page);
    if (step == 0) break;  // nothing more, or a page that the bytes do not complete
    consumed += static_cast<size_t>(step > 0 ? step : -step);
    if (step > 0) wholePageSeen = true;
  }
  if (!wholePageSeen || consumed >= tail.size()) return false;
  // What is left starts where libogg found a page header and waits for the rest of it.
  const std::span<const uint8_t> rest = tail.subspan(consumed);
  return rest.size() >= 4 && std::memcmp(rest.data(), "OggS", 4) == 0;
}

bool FileEndsInCutPage(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat info {};
  if (!fd.valid() || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
  const auto size = static_cast<uint64_t>(info.st_size);
  const uint64_t count = size < kOggTailBytes ? size : kOggTailBytes;
  std::vector<uint8_t> tail(static_cast<size_t>(count));
  size_t got = 0;
  while (got < tail.size()) {
    const ssize_t n = ::pread(fd.get(), tail.data() + got, tail.size() - got,
                              static_cast<off_t>(size - count + got));
    if (n <= 0) return false;
    got += static_cast<size_t>(n);
  }
  return EndsInCutPage(tail);
}

}  // namespace platform::ogg
