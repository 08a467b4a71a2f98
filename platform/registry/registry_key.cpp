#include "platform/registry/registry_key.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/files/unique_fd.h"
#include "platform/files/write_all.h"

namespace platform {
namespace {

// First line of every store file, and the line that closes it. A file cut short anywhere
// lacks the closing line and is recognised as damaged rather than read as a smaller store.
constexpr std::string_view kHeader = "REGKEY 1\n";
constexpr std::string_view kTrailer = "end";
// Far above anything a settings key holds; a larger file is not one of ours.
constexpr size_t kMaxFileSize = 64u << 20;

std::string WithoutTrailingSlashes(std::string path) {
  while (!path.empty() && path.back() == '/') path.pop_back();
  return path;
}

std::optional<std::string> ConfigHome() {
  // Relative values are ignored, as the XDG base directory rules ask.
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') {
    return WithoutTrailingSlashes(xdg);
  }
  if (const char* home = std::getenv("HOME"); home && home[0] == '/') {
    return WithoutTrailingSlashes(home) + "/.config";
  }
  return std::nullopt;
}

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Splits a backslash-separated key path into file-name-safe components, or fails.
std::optional<std::vector<std::string>> KeyComponents(const std::string& keyPath) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    const size_t end = keyPath.find('\\', start);
    parts.push_back(keyPath.substr(start, end == std::string::npos ? end : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!parts.empty() && EqualsIgnoringAsciiCase(parts.front(), "Software")) {
    parts.erase(parts.begin());
  }
  if (parts.empty()) return std::nullopt;
  for (const std::string& part : parts) {
    if (part.empty() || part == "." || part == ".." ||
        part.find_first_of(std::string_view("/\0", 2)) != std::string::npos) {
      return std::nullopt;
    }
  }
  return parts;
}

enum class ReadStatus { kOk, kMissing, kDamaged, kUnreadable };

ReadStatus ReadWholeFile(const std::string& file, std::string& out) {
  UniqueFd fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) return errno == ENOENT ? ReadStatus::kMissing : ReadStatus::kUnreadable;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return ReadStatus::kUnreadable;
  if (static_cast<unsigned long long>(info.st_size) > kMaxFileSize) return ReadStatus::kDamaged;
  out.clear();
  char buffer[65536];
  while (true) {
    const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return ReadStatus::kUnreadable;
    if (got == 0) break;
    out.append(buffer, static_cast<size_t>(got));
    if (out.size() > kMaxFileSize) return ReadStatus::kDamaged;
  }
  return ReadStatus::kOk;
}

// --- text form -------------------------------------------------------------------------

void AppendQuoted(std::string& out, const std::string& text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += '"';
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        if (byte < 0x20 || byte == 0x7F) {
          out += "\\x";
          out += kHex[byte >> 4];
          out += kHex[byte & 0xF];
        } else {
          out += c;  // Printable ASCII and every byte of multi-byte text stay as they are.
        }
    }
  }
  out += '"';
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A strict reader: anything it does not recognise makes the whole file count as damaged.
class Parser {
 public:
  explicit Parser(std::string_view text) : text_(text) {}

  bool Parse(std::map<std::string, std::variant<uint32_t, std::string>>& values) {
    if (!Consume(kHeader)) return false;
    while (true) {
      if (text_.substr(pos_) == kTrailer || text_.substr(pos_) == "end\n") return true;
      std::string name;
      if (Consume("dword ")) {
        uint32_t number = 0;
        if (!Quoted(name) || !Consume(" ") || !Number(number) || !Consume("\n")) return false;
        values[name] = number;
      } else if (Consume("sz ")) {
        std::string text;
        if (!Quoted(name) || !Consume(" ") || !Quoted(text) || !Consume("\n")) return false;
        values[name] = std::move(text);
      } else {
        return false;  // Includes a file that ends before its closing line.
      }
    }
  }

 private:
  bool Consume(std::string_view expected) {
    if (text_.substr(pos_, expected.size()) != expected) return false;
    pos_ += expected.size();
    return true;
  }

  bool Number(uint32_t& out) {
    uint64_t value = 0;
    size_t digits = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      value = value * 10 + static_cast<uint64_t>(text_[pos_] - '0');
      ++pos_;
      if (++digits > 10) return false;
    }
    if (digits == 0 || value > UINT32_MAX) return false;
    out = static_cast<uint32_t>(value);
    return true;
  }

  bool Quoted(std::string& out) {
    if (!Consume("\"")) return false;
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      const auto byte = static_cast<unsigned char>(c);
      if (c == '"') return true;
      if (byte < 0x20 || byte == 0x7F) return false;  // Raw control bytes: not our text.
      if (c != '\\') {
        out += c;
        continue;
      }
      if (pos_ >= text_.size()) return false;
      switch (text_[pos_++]) {
        case '\\':
          out += '\\';
          break;
        case '"':
          out += '"';
          break;
        case 'n':
          out += '\n';
          break;
        case 'r':
          out += '\r';
          break;
        case 't':
          out += '\t';
          break;
        case 'x': {
          if (pos_ + 2 > text_.size()) return false;
          const int high = HexDigit(text_[pos_]);
          const int low = HexDigit(text_[pos_ + 1]);
          if (high < 0 || low < 0 || (high == 0 && low == 0)) return false;
          out += static_cast<char>(high * 16 + low);
          pos_ += 2;
          break;
        }
        default:
          return false;
      }
    }
    return false;
  }

  std::string_view text_;
  size_t pos_ = 0;
};

// Renames a damaged file out of the way, keeping any earlier damaged copies.
bool SetAside(const std::string& file) {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  std::tm local{};
  localtime_r(&seconds, &local);
  char stamp[32];
  std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
  const std::string base = file + ".bad-" + stamp;
  std::error_code ec;
  for (int attempt = 0; attempt < 1000; ++attempt) {
    const std::string target = attempt == 0 ? base : base + "-" + std::to_string(attempt);
    if (std::filesystem::exists(std::filesystem::symlink_status(target, ec))) continue;
    return std::rename(file.c_str(), target.c_str()) == 0;
  }
  return false;
}

bool ReplaceFileAtomically(const std::string& file, const std::string& content) {
  const std::filesystem::path folder = std::filesystem::path(file).parent_path();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  std::string pattern = file + ".tmp-XXXXXX";
  UniqueFd fd(::mkstemp(pattern.data()));
  if (fd.get() < 0) return false;
  const bool written = WriteAll(fd.get(), content.data(), content.size()) && ::fsync(fd.get()) == 0;
  if (!fd.Close() || !written || std::rename(pattern.c_str(), file.c_str()) != 0) {
    ::unlink(pattern.c_str());
    return false;
  }
  // Make the rename itself durable; the data is already safe, so a failure here is ignored.
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.get() >= 0) ::fsync(dir.get());
  return true;
}

}  // namespace

std::optional<std::string> RegistryKey::FileFor(const std::string& keyPath) {
  const auto parts = KeyComponents(keyPath);
  const auto home = ConfigHome();
  if (!parts || !home) return std::nullopt;
  std::string file = *home;
  for (const std::string& part : *parts) file += "/" + part;
  return file + ".reg";
}

std::optional<RegistryKey> RegistryKey::OpenImpl(const std::string& keyPath, bool writable) {
  const auto file = FileFor(keyPath);
  if (!file) return std::nullopt;
  if (writable) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(*file).parent_path(), ec);
    if (ec) return std::nullopt;
  }
  RegistryKey key(*file, writable);
  std::string text;
  ReadStatus status = ReadWholeFile(*file, text);
  if (status == ReadStatus::kOk && !Parser(text).Parse(key.values_)) {
    key.values_.clear();
    status = ReadStatus::kDamaged;
  }
  switch (status) {
    case ReadStatus::kOk:
      return key;
    case ReadStatus::kUnreadable:
      return std::nullopt;
    case ReadStatus::kDamaged:
      // Without moving the damaged file aside, writing would destroy it; refuse instead.
      if (!SetAside(*file) || !writable) return std::nullopt;
      break;
    case ReadStatus::kMissing:
      if (!writable) return std::nullopt;
      break;
  }
  key.dirty_ = true;  // A created key exists on disk even before its first value.
  return key;
}

std::optional<RegistryKey> RegistryKey::Open(const std::string& keyPath) {
  return OpenImpl(keyPath, false);
}

std::optional<RegistryKey> RegistryKey::Create(const std::string& keyPath) {
  return OpenImpl(keyPath, true);
}

RegistryKey::RegistryKey(RegistryKey&& other) noexcept
    : file_(std::move(other.file_)),
      writable_(std::exchange(other.writable_, false)),
      dirty_(std::exchange(other.dirty_, false)),
      values_(std::move(other.values_)) {}

RegistryKey& RegistryKey::operator=(RegistryKey&& other) noexcept {
  if (this != &other) {
    Flush();
    file_ = std::move(other.file_);
    writable_ = std::exchange(other.writable_, false);
    dirty_ = std::exchange(other.dirty_, false);
    values_ = std::move(other.values_);
  }
  return *this;
}

RegistryKey::~RegistryKey() {
  Flush();
}

std::optional<uint32_t> RegistryKey::QueryDword(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  if (const auto* number = std::get_if<uint32_t>(&it->second)) return *number;
  return std::nullopt;
}

std::optional<std::string> RegistryKey::QueryString(const std::string& name) const {
  const auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  if (const auto* text = std::get_if<std::string>(&it->second)) return *text;
  return std::nullopt;
}

bool RegistryKey::SetDword(const std::string& name, uint32_t value) {
  if (!writable_ || name.find('\0') != std::string::npos) return false;
  values_[name] = value;
  dirty_ = true;
  return true;
}

bool RegistryKey::SetString(const std::string& name, const std::string& value) {
  if (!writable_ || name.find('\0') != std::string::npos || value.find('\0') != std::string::npos) {
    return false;
  }
  values_[name] = value;
  dirty_ = true;
  return true;
}

bool RegistryKey::Flush() {
  if (!dirty_) return true;
  std::string content(kHeader);
  for (const auto& [name, value] : values_) {
    if (const auto* number = std::get_if<uint32_t>(&value)) {
      content += "dword ";
      AppendQuoted(content, name);
      content += ' ' + std::to_string(*number) + '\n';
    } else {
      content += "sz ";
      AppendQuoted(content, name);
      content += ' ';
      AppendQuoted(content, std::get<std::string>(value));
      content += '\n';
    }
  }
  content += kTrailer;
  content += '\n';
  if (!ReplaceFileAtomically(file_, content)) return false;
  dirty_ = false;
  return true;
}

}  // namespace platform
