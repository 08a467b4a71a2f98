#include "engine/encoders/aac/adts_file_sink.h"

namespace sonorell {

bool AdtsFileSink::WriteFrame(const uint8_t* bytes, size_t size, uint64_t /*inputKnown*/) {
  return out_.Write(bytes, size);
}

bool AdtsFileSink::Close(uint64_t /*inputSamples*/) {
  return !out_.Failed();
}

}  // namespace sonorell
