#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/bass/bass_channel.h"
#include "platform/ffmpeg/audio_stream_decoder.h"

namespace platform::bass {

// A stream channel decoded by FFmpeg (MP3, FLAC, WavPack, Monkey's Audio, Musepack, TTA,
// ADX, AAC, the MP4 family, WMA and whatever else it reads): interleaved 16-bit signed PCM,
// or 8-bit unsigned for 8-bit streams, with every channel of the file's first audio stream
// at its own rate.
class FfmpegChannel : public Channel {
 public:
  FfmpegChannel() = default;

  // False when FFmpeg cannot open the file or decode any sound from it.
  bool Open(const std::string& path);

  uint32_t Rate() const override;
  uint32_t Channels() const override;
  bool EightBit() const override;
  uint64_t LengthBytes() const override { return lengthBytes_; }
  uint64_t PositionBytes() const override { return positionBytes_; }
  int64_t GetData(void* buffer, size_t size) override;
  bool BrokeOff() const override { return shortOfStatedBytes_ || decoder_.BrokeOff(); }
  int64_t FileStart() const override { return fileStart_; }
  int64_t FileEnd() const override { return fileEnd_; }
  std::map<std::string, std::string> Tags() const override { return tags_; }

 private:
  size_t FrameBytes() const;

  ffmpeg::AudioStreamDecoder decoder_;
  ffmpeg::PcmRun pending_;  // decoded frames not delivered yet
  bool ended_ = false;
  uint64_t lengthBytes_ = 0;
  uint64_t positionBytes_ = 0;
  int64_t fileStart_ = -1;
  int64_t fileEnd_ = -1;
  bool shortOfStatedBytes_ = false;  // an MP3 holds fewer bytes than its Xing frame counts
  std::map<std::string, std::string> tags_;
};

// The channel for BASS_StreamCreateFile; null when FFmpeg cannot open or decode the file.
std::unique_ptr<Channel> OpenFfmpegChannel(const std::string& path);

}  // namespace platform::bass
