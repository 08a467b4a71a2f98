#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "engine/workers/worker_protocol.h"

namespace sonorell {

struct ProbeControl {
  int parallel = 1;                       // probe workers at once
  std::chrono::seconds silenceLimit{60};  // one probe taking longer has hung
  std::function<bool()> cancelRequested;  // asked between events
};

// Probes every path (reads its properties as intake does) in worker processes forked from
// this one, several at once; each worker takes a share of consecutive paths, so a large
// folder costs one process per share, not per file. A probe that crashes or hangs fails its
// path alone (reported as not opened, without a note) and its worker's remaining paths go
// to a new one. onReport is called once per path, in no particular order, until Cancel.
// This process must be single-threaded. Returns true when cancelled.
bool RunProbes(const std::vector<std::string>& paths, const ProbeControl& control,
               const std::function<void(const ProbeReport&)>& onReport);

}  // namespace sonorell
