#include "engine/encoders/part_files.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <filesystem>
#include <functional>

namespace sonorell {
namespace {

constexpr std::string_view kPrefix = ".sonorell-";
constexpr std::string_view kSuffix = ".part";
constexpr size_t kMaxHostChars = 40;

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f');
}

// Reads the digits at the start of text into value and drops them from text; false when
// there are none or they make a number above max.
bool TakeNumber(std::string_view& text, uint64_t max, uint64_t& value) {
  size_t n = 0;
  value = 0;
  while (n < text.size() && IsDigit(text[n])) {
    value = value * 10 + static_cast<uint64_t>(text[n] - '0');
    if (value > max) return false;
    ++n;
  }
  text.remove_prefix(n);
  return n > 0;
}

bool IsGone(int pid) {
  return ::kill(pid, 0) != 0 && errno == ESRCH;
}

// Removes the regular files in folders that are parts of this machine whose process matches.
void RemoveParts(const std::vector<std::string>& folders, const std::function<bool(int)>& owned) {
  namespace fs = std::filesystem;
  const std::string host = PartHostName();
  for (const std::string& folder : folders) {
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    if (ec) continue;
    for (const fs::directory_iterator end; it != end; it.increment(ec)) {
      if (ec) break;
      const fs::path& path = it->path();
      const std::optional<int> pid = PartOwner(path.filename().string(), host);
      if (!pid || !owned(*pid)) continue;
      std::error_code statError;
      if (!fs::is_regular_file(fs::symlink_status(path, statError))) continue;
      std::error_code removeError;
      fs::remove(path, removeError);
    }
  }
}

}  // namespace

std::string PartHostName() {
  char name[256] = {};
  if (::gethostname(name, sizeof name - 1) != 0) name[0] = '\0';
  std::string host;
  for (const char* c = name; *c != '\0' && host.size() < kMaxHostChars; ++c) {
    const bool plain = IsDigit(*c) || (*c >= 'a' && *c <= 'z') || (*c >= 'A' && *c <= 'Z');
    host += plain ? *c : '-';
  }
  return host.empty() ? std::string("host") : host;
}

std::string PartFileName(const std::string& host, int pid, uint32_t seed, unsigned counter) {
  char rest[48];
  std::snprintf(rest, sizeof rest, "-%d-%08x-%u", pid, static_cast<unsigned>(seed), counter);
  return std::string(kPrefix) + host + rest + std::string(kSuffix);
}

// After the host, exactly "<pid>-<8 hex>-<n>.part": a longer host name that begins with
// this one (another machine's "node-12" against this "node") never fits that shape.
std::optional<int> PartOwner(std::string_view fileName, const std::string& host) {
  if (!fileName.starts_with(kPrefix)) return std::nullopt;
  fileName.remove_prefix(kPrefix.size());
  if (!fileName.starts_with(host)) return std::nullopt;
  fileName.remove_prefix(host.size());
  if (!fileName.starts_with('-')) return std::nullopt;
  fileName.remove_prefix(1);
  uint64_t pid = 0;
  if (!TakeNumber(fileName, INT_MAX, pid) || pid <= 0 || !fileName.starts_with('-'))
    return std::nullopt;
  fileName.remove_prefix(1);
  if (fileName.size() < 9) return std::nullopt;
  for (size_t i = 0; i < 8; ++i) {
    if (!IsHexDigit(fileName[i])) return std::nullopt;
  }
  if (fileName[8] != '-') return std::nullopt;
  fileName.remove_prefix(9);
  uint64_t counter = 0;
  if (!TakeNumber(fileName, UINT_MAX, counter) || !fileName.starts_with(kSuffix))
    return std::nullopt;
  return static_cast<int>(pid);
}

void RemovePartsOf(const std::vector<std::string>& folders, int pid) {
  RemoveParts(folders, [pid](int owner) { return owner == pid; });
}

void RemoveStaleParts(const std::vector<std::string>& folders) {
  RemoveParts(folders, [](int owner) { return owner != ::getpid() && IsGone(owner); });
}

}  // namespace sonorell
