#pragma once

#include <string>

#include "engine/sources/audio_source.h"
#include "platform/ffmpeg/audio_stream_decoder.h"

namespace sonorell {

// The light twin of FfmpegSource for adding files to the list: reports the first audio
// stream's properties as the container states them, and delivers no sound (Read returns 0;
// length and position stay 0). A file opens only when a decoder gives sound from it within
// its first packets: a file without an audio stream (a video without sound, a picture, text
// FFmpeg takes for a text-art video) or with one no decoder reads is refused here rather
// than failing at conversion.
class FfmpegProbe : public AudioSource {
 public:
  // Audio packets a stream may take to give its first sound.
  static constexpr int kFirstSoundWithinPackets = 500;

  FfmpegProbe() = default;
  ~FfmpegProbe() override;

  void Close() override;
  // The rendering rate is ignored.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;

 private:
  platform::ffmpeg::AudioStreamDecoder decoder_;
};

}  // namespace sonorell
