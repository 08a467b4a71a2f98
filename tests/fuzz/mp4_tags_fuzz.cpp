// Feeds arbitrary bytes to the MP4-family tag reader as an M4A file.
#include <string>

#include "engine/sources/mp4/read_mp4_tags.h"
#include "platform/ffmpeg/ffmpeg_log.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (platform::ffmpeg::QuietFfmpegLog(), true);
  (void)quiet;
  const std::string& path = sonorell::fuzzing::ScratchPath(".m4a");
  if (!sonorell::fuzzing::WriteScratch(path, data, size)) return 0;
  std::string f[9];
  (void)sonorell::ReadMp4Tags(path, f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]);
  return 0;
}
