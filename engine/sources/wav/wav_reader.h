#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/sources/audio_source.h"
#include "engine/sources/codecs/gsm_decoder.h"
#include "engine/sources/codecs/ms_adpcm.h"
#include "engine/sources/input_file.h"

namespace sonorell {

// Our own RIFF/WAVE reader, the last resort for .wav files the libraries refuse: integer
// PCM (8, 16, 24, 32 bit), IEEE float (32, 64 bit), A-law, mu-law, Microsoft ADPCM, IMA
// ADPCM and GSM 06.10. Length and position count bytes of the data chunk.
class WavReader : public AudioSource {
 public:
  WavReader() = default;
  ~WavReader() override;

  void Close() override;
  // The rendering rate is ignored.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;
  // 24 for 24-bit and float samples, 32 for 32-bit integers; else the designed 16.
  int GetWideBits() const override;
  int ReadWide(int32_t* left, int32_t* right) override;

 private:
  // How the stored samples turn into delivered ones, chosen at Open.
  enum class Encoding {
    kPcm8,
    kPcm16,
    kPcm24,
    kPcm32,
    kFloat32,
    kFloat64,
    kALaw,
    kMuLaw,
    kMsAdpcm,
    kImaAdpcm,
    kGsm,
  };

  // The fields of the fmt chunk this reader uses.
  struct Format {
    uint16_t tag = 0;
    uint16_t channels = 0;
    uint32_t sampleRate = 0;
    uint16_t blockAlign = 0;
    uint16_t bitsPerSample = 0;
    uint16_t samplesPerBlock = 0;  // ADPCM only
    Encoding encoding = Encoding::kPcm16;
    int deliveredBits = 16;
  };

  bool OpenChunks();
  bool ReadFormatChunk(uint32_t chunkSize);
  bool SkipToNextChunkId();
  bool SetUpDecoding();
  bool IsBlockEncoding() const;

  // After a read of the data that brought fewer bytes than requested: more than one unit
  // (a frame, or a coded block) short of the stated data means the file breaks off.
  void NoteShortRead(uint64_t requested, size_t got, size_t unitBytes);
  // The next whole frames of stored samples into raw_; 0 at the end of the data.
  size_t ReadRawFrames();
  int ReadRaw(void* left, void* right);
  int ReadBlocks(int16_t* left, int16_t* right);
  bool DecodeBlock();
  void DecodeImaBlock();

  InputFile file_;
  Format format_;
  MsAdpcmDecoder msAdpcm_;
  GsmDecoder gsm_;
  int storedBytesPerSample_ = 0;  // raw encodings
  std::vector<uint8_t> raw_;      // one request from the file
  std::vector<int16_t> decoded_;  // block encodings: one decoded block, interleaved
  size_t decodedCount_ = 0;       // values in decoded_
  size_t decodedIndex_ = 0;       // next value to deliver; == count when none are pending
  bool ended_ = false;            // a short or undecodable block ended the data
};

}  // namespace sonorell
