#pragma once

namespace platform {

// Loads the Windows Media runtime once; true when its reader, writer and profile manager
// are available. Setting SONORELL_NO_WM_RUNTIME in the environment makes it report absent.
bool LoadWmRuntime();

// True once LoadWmRuntime has succeeded.
bool WmRuntimeLoaded();

}  // namespace platform
