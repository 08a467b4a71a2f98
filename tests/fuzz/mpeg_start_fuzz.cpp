// Feeds arbitrary bytes to the search for the first MPEG audio frame behind the ID3v2 tags:
// a start it finds lies inside the file, on a frame sync.
#include "platform/bass/mpeg_audio_start.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& path = sonorell::fuzzing::ScratchPath(".mp3");
  if (!sonorell::fuzzing::WriteScratch(path, data, size)) return 0;
  const auto start = platform::bass::MpegAudioStart(path, static_cast<int64_t>(size));
  if (!start) return 0;
  const auto at = static_cast<size_t>(*start);
  if (*start < 0 || at + 2 > size || data[at] != 0xFF || (data[at + 1] & 0xE0) != 0xE0) {
    __builtin_trap();
  }
  return 0;
}
