#include "platform/wmf/wm_runtime.h"

#include <cstdlib>

namespace platform {
namespace {

// This build has no Windows Media backend yet, so the runtime is always absent: WMA work
// is refused and WMA inputs take the other decoders. Absence is an ordinary state.
bool BackendPresent() {
  return false;
}

bool& Loaded() {
  static bool loaded = false;
  return loaded;
}

}  // namespace

bool LoadWmRuntime() {
  if (Loaded()) return true;
  if (std::getenv("SONORELL_NO_WM_RUNTIME") != nullptr) return false;
  Loaded() = BackendPresent();
  return Loaded();
}

bool WmRuntimeLoaded() {
  return Loaded();
}

}  // namespace platform
