// Feeds arbitrary bytes to the Windows Media source as a file: its header and attributes
// through our ASF reader, its sound through the runtime's decoder, read to the end, then
// its tags.
#include "engine/sources/wma/wma_source.h"
#include "platform/ffmpeg/ffmpeg_log.h"
#include "platform/wmf/wm_runtime.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = (platform::ffmpeg::QuietFfmpegLog(), platform::LoadWmRuntime());
  if (!ready) return 0;
  sonorell::WmaSource source;
  sonorell::fuzzing::DecodeScratch(source, data, size, ".wma");
  sonorell::fuzzing::ReadScratchTags(source, ".wma");
  return 0;
}
