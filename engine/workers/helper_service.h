#pragma once

namespace sonorell {

// The command that starts the batch program as the window's worker helper; the window looks
// for the program beside its own.
inline constexpr const char* kWorkerHelperCommand = "window-helper";
inline constexpr const char* kWorkerHelperProgram = "sonorell-cli";

// The worker helper's loop: reads requests from `in`, carries each out with workers forked
// from this process, and writes the events to `out` (see helper_protocol.h). Returns when
// `in` ends, after stopping whatever runs. This process must be single-threaded and have
// the decoding libraries started. Returns the exit status.
int ServeWorkerRequests(int in, int out);

}  // namespace sonorell
