#pragma once

#include <string>

#include "engine/sources/audio_source.h"
#include "platform/ffmpeg/media_file.h"

namespace sonorell {

// The light twin of FfmpegSource for adding files to the list: opens the container and
// reports the first audio stream's properties without opening a decoder. Delivers no sound
// (Read returns 0) and leaves length and position at 0. A file without any audio stream
// opens too, with rate and channels 0.
class FfmpegProbe : public AudioSource {
 public:
  FfmpegProbe() = default;
  ~FfmpegProbe() override;

  void Close() override;
  // The rendering rate is ignored.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;

 private:
  platform::ffmpeg::MediaFile file_;
};

}  // namespace sonorell
