#include "engine/sources/ffmpeg/ffmpeg_probe.h"

#include <optional>

#include "engine/sources/ffmpeg/ffmpeg_properties.h"

namespace sonorell {

FfmpegProbe::~FfmpegProbe() {
  Close();
}

void FfmpegProbe::Close() {
  decoder_.Close();
  ResetProperties();
}

bool FfmpegProbe::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (!decoder_.Open(path, std::nullopt, kFirstSoundWithinPackets) ||
      ffmpeg_properties::TooLongToSynthesise(decoder_.File())) {
    Close();
    return false;
  }
  const platform::ffmpeg::MediaFile& file = decoder_.File();
  const platform::ffmpeg::StreamInfo& audio = file.AudioStream();
  // The list shows what the file holds (six channels of a 5.1 track, not the decoder's
  // stereo downmix); a container that does not state it has it from the decoder.
  const int channels = audio.channels > 0 ? audio.channels : decoder_.Channels();
  const int rate = audio.sampleRate > 0 ? audio.sampleRate : decoder_.SampleRate();
  if (channels < 1 || !UsableSampleRate(rate)) {
    Close();
    return false;
  }
  SetFormat(channels, audio.eightBit ? 8 : 16, rate);
  channelMode_ = channels_ < 2 ? 3 : 0;
  bitrate_ = ffmpeg_properties::BitrateKbps(file);
  duration_ = ffmpeg_properties::DurationSeconds(file);
  return true;
}

int FfmpegProbe::Read(void* /*left*/, void* /*right*/) {
  return 0;
}

}  // namespace sonorell
