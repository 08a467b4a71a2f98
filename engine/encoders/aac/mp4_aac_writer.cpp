#include "engine/encoders/aac/mp4_aac_writer.h"

namespace sonorell {

bool Mp4AacWriter::Open(int rate, int channels, platform::Mp4Brand brand) {
  if (!track_.Create(brand)) return false;
  rate_ = rate;
  return OpenEncoder(rate, channels, /*adts=*/false);
}

bool Mp4AacWriter::Start() {
  return StartEncoder() &&
         track_.AddTrack(rate_, Encoder().FrameSize(), Encoder().DecoderSpecificInfo());
}

}  // namespace sonorell
