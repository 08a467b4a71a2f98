#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <variant>

namespace platform {

// A small typed store standing in for the per-user registry. A key path such as
// "Software\\Vendor\\App\\Options" (a leading "Software" is dropped) lives in one text file,
// $XDG_CONFIG_HOME/Vendor/App/Options.reg (default $HOME/.config); its sub-keys live in the
// folder beside it, Vendor/App/Options/<Name>.reg. The environment is read at every open.
//
// Values are DWORDs (uint32_t) or strings (any bytes except NUL). Changes are kept in memory
// and written by Flush() or the destructor, atomically: a temporary file in the same folder
// is synced and renamed over the old one, so a failed or interrupted write leaves the
// previous file as it was. A file that cannot be parsed is renamed aside
// ("<name>.reg.bad-<time>") and the key reads as absent, so the caller falls back to defaults.
class RegistryKey {
 public:
  // Opens an existing key for reading; nullopt when it does not exist (or was set aside).
  static std::optional<RegistryKey> Open(const std::string& keyPath);
  // Opens a key for reading and writing, creating it (and its folders) when missing;
  // nullopt when the path is invalid or the place cannot hold it.
  static std::optional<RegistryKey> Create(const std::string& keyPath);
  // The file that holds keyPath under the current environment; nullopt for invalid paths.
  static std::optional<std::string> FileFor(const std::string& keyPath);

  RegistryKey(RegistryKey&& other) noexcept;
  RegistryKey& operator=(RegistryKey&& other) noexcept;
  RegistryKey(const RegistryKey&) = delete;
  RegistryKey& operator=(const RegistryKey&) = delete;
  ~RegistryKey();  // Flushes pending changes; a failure there is lost, call Flush() to see it.

  // A value stored with the other type reads as absent.
  std::optional<uint32_t> QueryDword(const std::string& name) const;
  std::optional<std::string> QueryString(const std::string& name) const;

  // False on a key opened read-only, or for names/values holding a NUL byte.
  bool SetDword(const std::string& name, uint32_t value);
  bool SetString(const std::string& name, const std::string& value);

  // Writes pending changes. True when nothing was pending or the write succeeded.
  bool Flush();

  const std::string& file() const { return file_; }

 private:
  using Value = std::variant<uint32_t, std::string>;

  RegistryKey(std::string file, bool writable) : file_(std::move(file)), writable_(writable) {}
  static std::optional<RegistryKey> OpenImpl(const std::string& keyPath, bool writable);

  std::string file_;
  bool writable_ = false;
  bool dirty_ = false;
  std::map<std::string, Value> values_;
};

}  // namespace platform
