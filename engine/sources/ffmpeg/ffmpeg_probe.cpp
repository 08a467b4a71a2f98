#include "engine/sources/ffmpeg/ffmpeg_probe.h"

#include "engine/sources/ffmpeg/ffmpeg_properties.h"

namespace sonorell {

FfmpegProbe::~FfmpegProbe() {
  Close();
}

void FfmpegProbe::Close() {
  file_.Close();
  ResetProperties();
}

bool FfmpegProbe::Open(const std::string& path, int /*renderingRate*/) {
  Close();
  if (!file_.Open(path) || ffmpeg_properties::TooLongToSynthesise(file_)) {
    Close();
    return false;
  }
  const platform::ffmpeg::StreamInfo& audio = file_.AudioStream();
  if (audio.index >= 0 && audio.channels > 0 && UsableSampleRate(audio.sampleRate)) {
    SetFormat(audio.channels, audio.eightBit ? 8 : 16, audio.sampleRate);
    channelMode_ = channels_ < 2 ? 3 : 0;
    bitrate_ = ffmpeg_properties::BitrateKbps(file_);
  }
  duration_ = ffmpeg_properties::DurationSeconds(file_);
  return true;
}

int FfmpegProbe::Read(void* /*left*/, void* /*right*/) {
  return 0;
}

}  // namespace sonorell
