// Feeds arbitrary bytes to the AIFF/AIFC reader as a file and reads it to the end.
#include "engine/sources/aiff/aiff_reader.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sonorell::AiffReader reader;
  sonorell::fuzzing::DecodeScratch(reader, data, size, ".aiff");
  return 0;
}
