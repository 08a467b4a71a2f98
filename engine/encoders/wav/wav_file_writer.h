#pragma once

#include <cstdint>
#include <vector>

#include "engine/encoders/pcm_sink.h"
#include "engine/encoders/staged_output.h"

namespace sonorell {

// A canonical PCM WAV file: the 44-byte header ("RIFF", "WAVEfmt ", a 16-byte PCM format,
// "data"), then interleaved frames; both sizes are patched at the end.
class WavFileWriter : public FormatWriter {
 public:
  // Sample data a WAV file can describe: both 32-bit size fields must hold their values.
  static constexpr uint64_t kMaxDataBytes = 0xFFFFFFFFull - 36;

  // maxDataBytes lowers the limit (tests reach the boundary without writing 4 GB).
  WavFileWriter(StagedOutput& out, uint64_t maxDataBytes = kMaxDataBytes)
      : out_(out), maxDataBytes_(maxDataBytes) {}

  // Writes the header with provisional sizes. False when it cannot be written.
  bool Open(bool stereo, int bitsPerSample, int sampleRate);
  bool WritePcm(const void* left, const void* right, int frames) override;
  bool Finish() override;

  // True once a block was refused because the file would pass the size limit.
  bool TooLarge() const { return tooLarge_; }

 private:
  StagedOutput& out_;
  uint64_t maxDataBytes_;
  int channels_ = 0;
  int bytesPerSample_ = 0;
  uint64_t dataBytes_ = 0;
  bool tooLarge_ = false;
  std::vector<uint8_t> interleaved_;
};

}  // namespace sonorell
