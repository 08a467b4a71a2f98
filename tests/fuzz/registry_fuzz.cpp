// Feeds arbitrary bytes to the option store's reader as a key file, then reads every value
// and writes the key back.
#include <cstdlib>
#include <filesystem>

#include "platform/registry/registry_key.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  namespace fs = std::filesystem;
  static const std::string home = "/tmp/sonorell-fuzz-store-" + std::to_string(::getpid());
  static const bool ready = [] {
    setenv("XDG_CONFIG_HOME", home.c_str(), 1);
    return true;
  }();
  (void)ready;
  const std::string folder = home + "/Quillmark/Sonorell";
  std::error_code ec;
  fs::remove_all(folder, ec);  // also the copies set aside by the last round
  fs::create_directories(folder, ec);
  if (!sonorell::fuzzing::WriteScratch(folder + "/Options.reg", data, size)) return 0;

  if (auto key = platform::RegistryKey::Open("Software\\Quillmark\\Sonorell\\Options")) {
    (void)key->QueryDword("MP3BitRate");
    (void)key->QueryString("Folder");
  }
  if (auto key = platform::RegistryKey::Create("Software\\Quillmark\\Sonorell\\Options")) {
    key->SetString("Folder",
                   std::string(reinterpret_cast<const char*>(data), size > 64 ? 64 : size));
    key->Flush();
  }
  return 0;
}
