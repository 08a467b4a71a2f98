// Feeds arbitrary bytes to the WAVE reader as a file and reads it to the end.
#include "engine/sources/wav/wav_reader.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sonorell::WavReader reader;
  sonorell::fuzzing::DecodeScratch(reader, data, size, ".wav");
  return 0;
}
