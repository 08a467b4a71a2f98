#pragma once

#include <chrono>

#include "engine/jobs/conversion_job.h"

namespace sonorell {

class WorkerHelper;

struct WorkerRunOptions {
  int parallel = 1;                        // files converted at once
  std::chrono::seconds silenceLimit{600};  // a worker silent this long has hung
};

// The window's way through a run: the files go to the worker helper, several at once, and
// the rows, the overall line and one file line per running file follow its events, read
// from the event loop. Status texts are the designed ones plus the helper's for a crashed
// or hung worker. Cancel stops the running workers (their partial outputs go); rows not
// started keep their text. Without a helper the files run one by one in this process.
FileLoop WorkerFileLoop(WorkerHelper& helper, const WorkerRunOptions& options,
                        const RunServices& services);

}  // namespace sonorell
