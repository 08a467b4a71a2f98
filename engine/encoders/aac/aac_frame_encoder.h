#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "platform/faac/faac.h"

namespace sonorell {

// The FAAC encoder as both AAC writers drive it: opened on a rate and channel count,
// configured, then fed 16-bit planar blocks that it interleaves into whole encoder frames.
// Each encoded frame goes to the writer's store function; a store that fails, or an
// encoder error, makes every later call fail.
class AacFrameEncoder {
 public:
  // Takes one encoded frame; false when it could not be kept (a write error).
  using StoreFrame = std::function<bool(const uint8_t* bytes, int size)>;

  AacFrameEncoder() = default;
  AacFrameEncoder(const AacFrameEncoder&) = delete;
  AacFrameEncoder& operator=(const AacFrameEncoder&) = delete;

  // Opens the encoder and sets the values every AAC output starts from (LC, MPEG-4, no
  // TNS, mid/side allowed, automatic band width, 16-bit input) with ADTS headers or bare
  // frames. False when the encoder cannot take the rate or channel count.
  bool Open(int rate, int channels, bool adts);
  // The configuration to change before Start.
  platform::faacEncConfiguration& Configuration() { return *configuration_; }
  // Hands the configuration to the encoder and sizes the buffers. False when the encoder
  // refuses the configuration.
  bool Start(StoreFrame store);
  bool Started() const { return started_; }

  int Channels() const { return channels_; }
  // Samples per channel of one encoder frame.
  int FrameSize() const { return frameSize_; }
  // Per-channel samples handed to the encoder so far (the partial last frame included once
  // Flush has run).
  uint64_t SamplesIn() const { return samplesIn_; }

  // The stream's AudioSpecificConfig, for MP4 tracks; empty when unavailable.
  std::vector<uint8_t> DecoderSpecificInfo() const;

  // Appends the block (the right buffer only for two channels), encoding every frame that
  // fills. False once the encoder or a store has failed.
  bool Write16(const int16_t* left, const int16_t* right, int frames);
  // Encodes the partly filled frame and drains the frames the encoder still holds back.
  // Only a started encoder is flushed, and only while it keeps returning frames.
  bool Flush();

 private:
  bool EncodeBuffered();
  bool Store(int result);

  struct CloseEncoder {
    void operator()(platform::FaacEncoder* e) const { platform::faacEncClose(e); }
  };
  std::unique_ptr<platform::FaacEncoder, CloseEncoder> encoder_;
  platform::faacEncConfiguration* configuration_ = nullptr;
  StoreFrame store_;
  int channels_ = 0;
  int frameSize_ = 0;
  unsigned long inputSamples_ = 0;
  unsigned long maxOutputBytes_ = 0;
  std::vector<int16_t> interleave_;  // packed, as FAAC takes 16-bit input
  std::vector<uint8_t> output_;
  size_t fill_ = 0;
  uint64_t samplesIn_ = 0;
  bool started_ = false;
  bool flushed_ = false;
  bool failed_ = false;
};

}  // namespace sonorell
