// Feeds arbitrary bytes to the BASS source as an MP3 file, as a file is probed when it is
// added: the stand-in's CD stub and module checks, the stream through FFmpeg with the start
// of its MPEG frames, then its sound read to the end, its raw ID3 blocks and its tags.
#include <string>

#include "engine/sources/bass/bass_source.h"
#include "platform/ffmpeg/ffmpeg_log.h"
#include "tests/fuzz/fuzz_scratch.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready =
      (platform::ffmpeg::QuietFfmpegLog(), platform::BASS_Init(0, 44100, 0, nullptr, nullptr));
  (void)ready;
  sonorell::BassSource source;
  sonorell::fuzzing::DecodeScratch(source, data, size, ".mp3");
  if (!source.Open(sonorell::fuzzing::ScratchPath(".mp3"), 44100)) return 0;
  size_t id3v2 = 0;
  const uint8_t* v2 = source.GetId3v2Tag(id3v2);
  if ((v2 != nullptr) != (id3v2 > 0) || id3v2 > size) __builtin_trap();
  (void)source.GetId3v1Tag();
  std::string f[9];
  source.ReadTags(f[0], f[1], f[2], f[3], f[4], f[5], f[6], f[7], f[8]);
  return 0;
}
