// Feeds arbitrary bytes to the Sun/NeXT reader as a file and reads it to the end.
#include "engine/sources/au/au_reader.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sonorell::AuReader reader;
  sonorell::fuzzing::DecodeScratch(reader, data, size, ".au");
  return 0;
}
