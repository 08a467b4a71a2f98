#include "engine/encoders/wav/wav_file_writer.h"

#include <cstring>

#include "engine/dsp/interleave.h"

namespace sonorell {
namespace {

void PutLe16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

void PutLe32(uint8_t* p, uint32_t v) {
  PutLe16(p, v & 0xFFFF);
  PutLe16(p + 2, v >> 16);
}

constexpr size_t kHeaderBytes = 44;

}  // namespace

bool WavFileWriter::Open(bool stereo, int bitsPerSample, int sampleRate) {
  channels_ = stereo ? 2 : 1;
  bytesPerSample_ = bitsPerSample == 16 ? 2 : 1;
  const uint32_t bits = static_cast<uint32_t>(bytesPerSample_ * 8);
  const uint32_t blockAlign = static_cast<uint32_t>(channels_ * bytesPerSample_);
  uint8_t header[kHeaderBytes];
  std::memcpy(header, "RIFF", 4);
  PutLe32(header + 4, 4);
  std::memcpy(header + 8, "WAVEfmt ", 8);
  PutLe32(header + 16, 16);
  PutLe16(header + 20, 1);
  PutLe16(header + 22, static_cast<uint32_t>(channels_));
  PutLe32(header + 24, static_cast<uint32_t>(sampleRate));
  PutLe32(header + 28, static_cast<uint32_t>(sampleRate) * blockAlign);
  PutLe16(header + 32, blockAlign);
  PutLe16(header + 34, bits);
  std::memcpy(header + 36, "data", 4);
  PutLe32(header + 40, 4);
  interleaved_.resize(static_cast<size_t>(2 * 1152 * 2 * 2));
  return out_.Write(header, sizeof header);
}

bool WavFileWriter::WritePcm(const void* left, const void* right, int frames) {
  if (frames <= 0) return true;
  const size_t bytes = static_cast<size_t>(frames) * channels_ * bytesPerSample_;
  if (dataBytes_ + bytes > maxDataBytes_) {
    tooLarge_ = true;
    return false;
  }
  const void* data = left;
  if (channels_ == 2) {
    if (interleaved_.size() < bytes) interleaved_.resize(bytes);
    InterleaveBlock(left, right, frames, 2, static_cast<size_t>(bytesPerSample_),
                    interleaved_.data());
    data = interleaved_.data();
  }
  if (!out_.Write(data, bytes)) return false;
  dataBytes_ += bytes;
  return true;
}

bool WavFileWriter::Finish() {
  const uint64_t fileSize = out_.Size();
  uint8_t field[4];
  PutLe32(field, static_cast<uint32_t>(fileSize - 8));
  if (!out_.WriteAt(4, field, 4)) return false;
  PutLe32(field, static_cast<uint32_t>(fileSize - kHeaderBytes));
  return out_.WriteAt(40, field, 4);
}

}  // namespace sonorell
