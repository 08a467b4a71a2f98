#pragma once

#include <cstdlib>

namespace sonorell::testing {

// The share of an option sweep's combinations a run checks. The sanitizer build, where each
// conversion is many times slower, sets SONORELL_SWEEP_SHARE=N and checks one combination in
// N (the first, then every N-th); the plain build checks them all.
class SweepShare {
 public:
  SweepShare() {
    const char* text = std::getenv("SONORELL_SWEEP_SHARE");
    const int n = text ? std::atoi(text) : 1;
    share_ = n > 1 ? n : 1;
  }
  // Whether the next combination is checked in this run.
  bool Take() { return count_++ % share_ == 0; }

 private:
  int share_ = 1;
  int count_ = 0;
};

}  // namespace sonorell::testing
