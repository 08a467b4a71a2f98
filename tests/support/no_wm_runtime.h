#pragma once

#include <cstdlib>

namespace sonorell::testing {

// Makes the Windows Media runtime report itself absent to loads in this process while it
// lives (a runtime that is already loaded stays loaded).
class NoWmRuntime {
 public:
  NoWmRuntime() { ::setenv("SONORELL_NO_WM_RUNTIME", "1", 1); }
  ~NoWmRuntime() { ::unsetenv("SONORELL_NO_WM_RUNTIME"); }
  NoWmRuntime(const NoWmRuntime&) = delete;
  NoWmRuntime& operator=(const NoWmRuntime&) = delete;
};

}  // namespace sonorell::testing
