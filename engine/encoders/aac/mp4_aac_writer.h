#pragma once

#include "engine/encoders/aac/aac_stream_writer.h"
#include "engine/encoders/aac/mp4_aac_track.h"
#include "engine/encoders/staged_output.h"
#include "platform/mp4/mp4_wrapper.h"

namespace sonorell {

// An MP4 file (M4A, MP4 or M4B flavour) with one AAC track and iTunes-style metadata, the
// encoder's frames written as the track's samples as it makes them.
class Mp4AacWriter : public AacStreamWriter {
 public:
  explicit Mp4AacWriter(StagedOutput& out) : AacStreamWriter(track_), track_(out) {}

  // Creates the MP4 file and opens the encoder. False when either fails.
  bool Open(int rate, int channels, platform::Mp4Brand brand);
  // Configures the encoder and sets up the track. False when the encoder refuses the
  // configuration or the track cannot be made.
  bool Start();
  // The file's metadata, set before the first sample.
  Mp4AacTrack& Track() { return track_; }

 private:
  Mp4AacTrack track_;
  int rate_ = 0;
};

}  // namespace sonorell
