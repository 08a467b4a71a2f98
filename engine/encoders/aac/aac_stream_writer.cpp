#include "engine/encoders/aac/aac_stream_writer.h"

namespace sonorell {

bool AacStreamWriter::StartEncoder() {
  return encoder_.Start([this](const uint8_t* bytes, int size) {
    return sink_.WriteFrame(bytes, static_cast<size_t>(size), encoder_.SamplesIn());
  });
}

bool AacStreamWriter::WritePcm(const void* left, const void* right, int frames) {
  return encoder_.Write16(static_cast<const int16_t*>(left), static_cast<const int16_t*>(right),
                          frames);
}

bool AacStreamWriter::Finish() {
  const bool drained = encoder_.Flush();
  // The file is completed (an MP4 file closed) even after a failed frame.
  const bool closed = sink_.Close(encoder_.SamplesIn());
  return drained && closed;
}

}  // namespace sonorell
