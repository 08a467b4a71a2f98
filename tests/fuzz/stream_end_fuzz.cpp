// Feeds arbitrary bytes to the readers that tell whether a file was cut short: the WAV and
// AIFF data sizes, the Xing frame's byte count and MPEG frame headers, and the Ogg tail.
#include <span>

#include "platform/ffmpeg/mpeg_audio_header.h"
#include "platform/ffmpeg/stated_data_size.h"
#include "platform/ogg/ogg_tail.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> bytes(data, size);
  (void)platform::ffmpeg::StatedDataOf(bytes);
  (void)platform::ffmpeg::XingStreamBytes(bytes);
  if (size >= 4) {
    if (const auto header = platform::ffmpeg::ParseMpegAudioHeader(data))
      (void)header->FrameBytes();
  }
  (void)platform::ogg::EndsInCutPage(bytes);
  return 0;
}
