#pragma once

// The Windows Media runtime's profile manager as Sonorell calls it: the codec list (codecs,
// their formats with descriptions and stream configurations) and empty profiles to which
// one audio stream is added.
//
// The codec list holds only what FFmpeg's WMA encoders really write, with the bit rates of
// their stream configurations:
//   codec 0 "Windows Media Audio 2" (wmav2, wave format tag 0x0161) and
//   codec 1 "Windows Media Audio 1" (wmav1, tag 0x0160),
// each at 8000 to 48000 Hz, mono and stereo, from 24 kbit/s (the encoders' floor) upwards.
// Descriptions read like the runtime's own ("128 kbps, 44 kHz, stereo 1-pass CBR"); the
// formats also offered for audio with video carry "(A/V)" in theirs, as the runtime's do.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wmf/wm_types.h"

namespace platform::wm {

// A stream's configuration: its media type, bit rate, number, names and buffer window.
class WmStreamConfig {
 public:
  HRESULT GetMediaType(WM_MEDIA_TYPE* type) const;
  HRESULT SetMediaType(const WM_MEDIA_TYPE& type);
  HRESULT GetBitrate(uint32_t* bitsPerSecond) const;
  HRESULT SetBitrate(uint32_t bitsPerSecond);
  HRESULT GetStreamNumber(uint16_t* number) const;
  HRESULT SetStreamNumber(uint16_t number);  // 1..127
  HRESULT SetStreamName(const std::u16string& name);
  HRESULT SetConnectionName(const std::u16string& name);
  HRESULT SetBufferWindow(uint32_t milliseconds);

  MajorType Type() const { return type_.majortype; }
  const std::u16string& StreamName() const { return streamName_; }
  const std::u16string& ConnectionName() const { return connectionName_; }
  uint32_t BufferWindow() const { return bufferWindow_; }

 private:
  WM_MEDIA_TYPE type_;
  uint32_t bitRate_ = 0;
  uint16_t number_ = 0;
  std::u16string streamName_;
  std::u16string connectionName_;
  uint32_t bufferWindow_ = 0;
};

class WmProfile {
 public:
  explicit WmProfile(uint32_t version) : version_(version) {}

  // A new, unconfigured stream of the given type; only audio streams can be made.
  HRESULT CreateNewStream(MajorType type, std::unique_ptr<WmStreamConfig>* stream) const;
  // Adds a copy of the stream; its number must be set and unused.
  HRESULT AddStream(const WmStreamConfig& stream);
  HRESULT GetStreamCount(uint32_t* count) const;
  const std::vector<WmStreamConfig>& Streams() const { return streams_; }
  uint32_t Version() const { return version_; }

 private:
  uint32_t version_;
  std::vector<WmStreamConfig> streams_;
};

class WmProfileManager {
 public:
  HRESULT CreateEmptyProfile(uint32_t version, std::unique_ptr<WmProfile>* profile) const;

  // The codec information.
  HRESULT GetCodecInfoCount(MajorType type, uint32_t* codecs) const;
  HRESULT GetCodecFormatCount(MajorType type, uint32_t codec, uint32_t* formats) const;
  // The format's stream configuration and its description: up to *descriptionChars wide
  // characters including the terminator go to description; *descriptionChars then holds
  // the description's length with its terminator. A null description asks for that length.
  HRESULT GetCodecFormatDesc(MajorType type, uint32_t codec, uint32_t format,
                             std::unique_ptr<WmStreamConfig>* config, char16_t* description,
                             uint32_t* descriptionChars) const;
};

// The media type of a WMA codec format (tag 0x0161 or 0x0160): the wave format record the
// codec list gives it, for channels and sampleRate at bitsPerSecond.
WM_MEDIA_TYPE WmaCodecMediaType(uint16_t formatTag, int channels, int sampleRate,
                                uint32_t bitsPerSecond);

}  // namespace platform::wm
