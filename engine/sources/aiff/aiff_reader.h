#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"
#include "engine/sources/codecs/dwvw.h"
#include "engine/sources/codecs/gsm_decoder.h"
#include "engine/sources/input_file.h"

namespace sonorell {

// Audio Interchange File Format, plain (AIFF) and compressed (AIFC): big- and little-endian
// integer PCM of 1 to 32 bits, 32/64-bit float, µ-law, A-law, raw 8-bit, Apple IMA4, GSM 06.10
// and DWVW. Progress is in file bytes: length is the file size, position the offset reached.
// With more than two channels the right channel follows the AIFF channel order (for six:
// left, left centre, centre, right, right centre, surround).
class AiffReader : public AudioSource {
 public:
  AiffReader() = default;
  ~AiffReader() override { Close(); }

  void Close() override;
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;
  // 24 for 24-bit and float PCM, 32 for 32-bit integers; else the designed 16.
  int GetWideBits() const override { return wideBits_; }
  int ReadWide(int32_t* left, int32_t* right) override;

 private:
  // Converts stored frames to the delivered format: each frame's first sample to left, the
  // sample rightOffset bytes on to right (when right is given).
  using FrameConverter = void (*)(const uint8_t* bytes, int frames, size_t frameBytes,
                                  size_t rightOffset, void* left, void* right);
  enum class Kind { kNone, kPcm, kMuLaw, kALaw, kFloat32, kFloat64, kIma4, kRaw, kGsm, kDwvw };

  // Feeds the DWVW decoder from the sound data.
  class DwvwInput : public DwvwByteSource {
   public:
    explicit DwvwInput(AiffReader& reader) : reader_(reader) {}
    size_t ReadBytes(uint8_t* buffer, size_t size) override;

   private:
    AiffReader& reader_;
  };

  bool WalkContainer();
  bool ParseComm(uint64_t chunkSize);
  bool SetUpReader();
  // Reads up to size bytes of sound data, never past the SSND chunk.
  size_t ReadSoundData(uint8_t* buffer, size_t size);

  int ReadOfKind(void* left, void* right);
  int ReadFrames(void* left, void* right, FrameConverter convert);
  // After a read: at the end of the data, notes whether the stated data is missing.
  int Delivered(int frames);
  int ReadIma4(void* left, void* right);
  int ReadGsm(void* left, void* right);
  int ReadDwvw(void* left, void* right);

  InputFile file_;
  bool aifc_ = false;
  bool sawComm_ = false;
  bool sawSsnd_ = false;

  // From COMM.
  int fileChannels_ = 0;
  uint32_t frameCount_ = 0;  // as stored; 0 and 0xFFFFFFFF mean "not known"
  int sampleSize_ = 0;       // bits, as used by the encoding
  int commRate_ = 0;         // Hz, already checked usable
  Kind kind_ = Kind::kNone;
  bool littleEndian_ = false;

  // From SSND.
  uint64_t dataStart_ = 0;
  uint64_t dataSize_ = 0;
  uint64_t remaining_ = 0;
  uint64_t missingBytes_ = 0;  // of the stated sound data, beyond the end of the file

  // The channel pick, in stored bytes (or values for DWVW).
  size_t sampleBytes_ = 0;
  size_t frameBytes_ = 0;
  size_t rightOffset_ = 0;

  FrameConverter convert_ = nullptr;
  FrameConverter wideConvert_ = nullptr;  // into 32-bit cells, for wideBits_ above 16
  int wideBits_ = 16;
  size_t requestBytes_ = 0;
  std::vector<uint8_t> buffer_;  // one request of stored bytes; kept across files

  GsmDecoder gsm_;
  DwvwDecoder dwvw_;
  std::vector<int32_t> dwvwValues_;
  uint64_t dwvwFramesLeft_ = 0;
  int16_t gsmSamples_[GsmDecoder::kFrameSamples] = {};
};

}  // namespace sonorell
