// Feeds arbitrary bytes to the CD audio track stub reader as a ".cda" file: a track number
// it finds is one a disc can have.
#include "platform/bass/cd_channel.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = sonorell::fuzzing::ScratchPath(".cda");
  if (!sonorell::fuzzing::WriteScratch(path, data, size)) return 0;
  if (const auto track = platform::bass::CdaTrackNumber(path)) {
    if (*track < 1 || *track > 99) __builtin_trap();
  }
  return 0;
}
