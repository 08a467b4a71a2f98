#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"
#include "engine/sources/codecs/g72x.h"
#include "engine/sources/input_file.h"

namespace sonorell {

// Our own reader of Sun/NeXT audio (.au, .snd) in either byte order: linear PCM of 8, 16,
// 24 and 32 bits, 32- and 64-bit float, mu-law, A-law and G.721/G.723 ADPCM, always
// delivered as 16-bit. Length and position count bytes of the sound data.
class AuReader : public AudioSource {
 public:
  AuReader() = default;
  ~AuReader() override;

  void Close() override;
  // The rendering rate is ignored.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;
  // 24 for 24-bit and float samples, 32 for 32-bit integers; else the designed 16.
  int GetWideBits() const override;
  int ReadWide(int32_t* left, int32_t* right) override;

  // More channels than this is taken for a damaged header.
  static constexpr uint32_t kMaxChannels = 1024;

 private:
  // How the stored samples turn into delivered ones, chosen at Open.
  enum class Encoding { kMuLaw, kALaw, kPcm8, kPcm16, kPcm24, kPcm32, kFloat, kDouble, kAdpcm };

  bool ReadHeader();
  // The next whole frames of stored samples into the buffer; 0 at the end of the data.
  int ReadStoredFrames();
  int ReadSamples(int16_t* left, int16_t* right);
  // After a read: at the end of the data, notes whether the stated data is missing.
  int Delivered(int frames);
  int ReadAdpcm(int16_t* left, int16_t* right);

  InputFile file_;
  bool littleEndian_ = false;
  Encoding encoding_ = Encoding::kPcm16;
  int storedBits_ = 0;  // per stored sample (code size for ADPCM)
  uint64_t dataOffset_ = 0;
  uint64_t missingBytes_ = 0;  // of the stated data, beyond the end of the file
  size_t blockBytes_ = 0;      // one full request: BlockFrames frames of every channel
  std::vector<uint8_t> buffer_;

  // ADPCM: one decoder for the whole stream (the channels' codes interleave through it)
  // and the bits of the last byte not yet used, both kept from one Read to the next.
  G72xDecoder adpcm_;
  uint32_t reservoir_ = 0;
  int reservoirBits_ = 0;
};

}  // namespace sonorell
