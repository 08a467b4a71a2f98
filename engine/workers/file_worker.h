#pragma once

#include <cstddef>
#include <string>

#include "engine/workers/run_plan.h"

namespace sonorell {

// What one worker does for one file of a run, in a child process of its own: confirms the
// planned target, converts the file with the engine, verifies the output when the plan
// asks, and tells the parent through toParent (progress lines while it works, at most a
// second apart, then one result line; see worker_protocol.h). SIGINT and SIGTERM are the
// parent's Cancel: the conversion stops and its partial output goes. Returns the exit
// status: 0 converted, 1 not. cores: how many the file may keep busy (a long one is
// encoded on all of them).
int ConvertPlannedFile(const RunPlan& plan, size_t index, int toParent, int cores = 1);

// SONORELL_TEST_WORKER_FAULT=<kind>:<text>[,<kind>:<text>...]: a worker whose path holds
// <text> misbehaves before doing its work, as a decoder might on a hostile file: "crash"
// and "hang" for a conversion, "probe-crash" and "probe-hang" for a probe. Tests use it;
// nothing else sets it.
void ApplyTestFault(const char* work, const std::string& path);

}  // namespace sonorell
