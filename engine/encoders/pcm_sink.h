#pragma once

namespace sonorell {

// Takes conditioned PCM: planar blocks in the output's rate, width and channel count.
class PcmSink {
 public:
  virtual ~PcmSink() = default;
  // False when the block could not be encoded or written; the file then fails.
  virtual bool WritePcm(const void* left, const void* right, int frames) = 0;
};

// The writer of one output format: conditioned PCM in, the format's file out.
class FormatWriter : public PcmSink {
 public:
  // Flushes the encoder and completes the file's headers; false fails the file.
  virtual bool Finish() = 0;
};

}  // namespace sonorell
