// Feeds arbitrary bytes to the Ogg Vorbis source as a file, reads it to the end and reads
// its comments as tags.
#include "engine/sources/ogg/ogg_vorbis_source.h"
#include "tests/fuzz/fuzz_scratch.h"

// libvorbisfile 1.3.7 itself loses memory when the open of a chained file fails in a later
// link (that link's headers and serial numbers, local to the library and beyond our reach).
// Leaks allocated under its open are let pass; the library has no frame pointers, so the
// slow unwinder is needed to see that frame. Decoder state, allocated by ov_read, still
// shows a record that was never cleared, and our own allocations are all checked.
extern "C" const char* __lsan_default_suppressions() {
  return "leak:ov_open_callbacks\n";
}
extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  sonorell::OggVorbisSource source;
  sonorell::fuzzing::DecodeScratch(source, data, size, ".ogg");
  sonorell::fuzzing::ReadScratchTags(source, ".ogg");
  return 0;
}
