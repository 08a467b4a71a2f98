#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/bass/bass_limits.h"
#include "platform/ffmpeg/media_file.h"

// Properties both FFmpeg sources report the same way.
namespace sonorell::ffmpeg_properties {

// Whole seconds, truncated; 0 when the container does not know its playing time.
inline int DurationSeconds(const platform::ffmpeg::MediaFile& file) {
  const double seconds = file.DurationSeconds();
  if (!(seconds > 0)) return 0;
  if (seconds >= static_cast<double>(std::numeric_limits<int>::max())) {
    return std::numeric_limits<int>::max();
  }
  return static_cast<int>(seconds);
}

// kbit/s of the audio stream. Lossless streams (FLAC, WavPack) carry no bit rate of their
// own; for a file holding nothing but that stream the container's rate is the stream's.
inline int BitrateKbps(const platform::ffmpeg::MediaFile& file) {
  int64_t bitsPerSecond = file.AudioStream().bitRate;
  if (bitsPerSecond <= 0 && file.StreamCount() == 1) bitsPerSecond = file.BitRate();
  const int64_t kbps = bitsPerSecond / 1000;
  return kbps > std::numeric_limits<int>::max() ? std::numeric_limits<int>::max()
                                                : static_cast<int>(kbps);
}

// A tracker module is held to the limit its own renderer holds it to: one whose song claims
// to play longer is a damaged file, not hours of sound to render.
inline bool TooLongToSynthesise(const platform::ffmpeg::MediaFile& file) {
  return file.IsTrackerModule() &&
         !(file.DurationSeconds() <= platform::bass::kMaxSynthesisedSeconds);
}

}  // namespace sonorell::ffmpeg_properties
