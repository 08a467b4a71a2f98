#include "engine/encoders/aac/aac_file_writer.h"

namespace sonorell {

bool AacFileWriter::Start() {
  return encoder_.Start([this](const uint8_t* bytes, int size) {
    return out_.Write(bytes, static_cast<size_t>(size));
  });
}

bool AacFileWriter::WritePcm(const void* left, const void* right, int frames) {
  return encoder_.Write16(static_cast<const int16_t*>(left), static_cast<const int16_t*>(right),
                          frames);
}

bool AacFileWriter::Finish() {
  return encoder_.Flush() && !out_.Failed();
}

}  // namespace sonorell
