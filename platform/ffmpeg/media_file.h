#pragma once

// An input file opened with FFmpeg's demuxers: container properties, the first audio stream
// and the file's metadata, without any decoder. FFmpeg's own types stay behind this layer.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct AVFormatContext;

namespace platform::ffmpeg {

// Metadata keys are lower case; values are UTF-8.
using Metadata = std::map<std::string, std::string>;

// What the container says about one audio stream before anything is decoded.
struct StreamInfo {
  int index = -1;  // -1: the file holds no audio stream
  int sampleRate = 0;
  int channels = 0;
  int64_t bitRate = 0;    // bit/s of the stream, 0 when unknown
  bool eightBit = false;  // its samples are unsigned 8-bit
  std::string codecName;  // FFmpeg's short name, e.g. "mp3", "flac"
};

// A picture the container carries beside the sound (an ID3v2 APIC frame, a FLAC PICTURE
// block, a METADATA_BLOCK_PICTURE comment, an MP4 covr item, a WM/Picture attribute).
struct AttachedPicture {
  int type = -1;            // the ID3v2 / FLAC picture type; -1 when the container names none
  std::string description;  // UTF-8
  int64_t size = 0;         // bytes of the picture
  std::string data;         // the picture's bytes as stored; empty when over the caller's limit
};

namespace detail {
struct FormatContextCloser {
  void operator()(AVFormatContext* context) const;
};
}  // namespace detail

std::optional<int64_t> ScanAudioFrames(const std::string& path, int rate);

class MediaFile {
 public:
  MediaFile();
  ~MediaFile();
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;
  MediaFile(MediaFile&&) noexcept;
  MediaFile& operator=(MediaFile&&) noexcept;

  // Opens a local file and reads its stream properties; false when FFmpeg does not
  // recognise it. Opening a file never reaches other files or the network on its behalf.
  bool Open(const std::string& path);
  // Reads only the file's headers: its tags and attached pictures, without looking into the
  // streams' data (no decoder runs, so a hostile picture is never decoded). The stream
  // properties stay unknown.
  bool OpenHeaders(const std::string& path);
  void Close();
  bool IsOpen() const { return context_ != nullptr; }

  // The first audio stream in stream order (index -1 when there is none).
  const StreamInfo& AudioStream() const { return audio_; }
  int StreamCount() const;
  // Short name of the demuxer, e.g. "mp3", "flac", "mov,mp4,m4a,3gp,3g2,mj2".
  std::string FormatName() const;
  // True for a tracker module, which FFmpeg renders through libopenmpt.
  bool IsTrackerModule() const;

  // Size of the input in bytes and the input's current byte offset; 0 when unknown.
  int64_t FileSize() const;
  int64_t BytePosition() const;
  // Playing time in seconds, 0 when the container does not know it.
  double DurationSeconds() const;
  // True when the duration is only a guess from the file size and the bit rate.
  bool DurationFromBitRate() const;
  // Bit rate of the whole container in bit/s, 0 when unknown.
  int64_t BitRate() const;
  // The container's metadata, completed by the audio stream's own (Ogg keeps its comments
  // there).
  Metadata Tags() const;
  // The attached pictures in stream order; a picture larger than maxBytes comes with its
  // size and without its data.
  std::vector<AttachedPicture> AttachedPictures(int64_t maxBytes) const;

 private:
  bool OpenInput(const std::string& path, bool readStreams);

  friend class AudioStreamDecoder;
  friend std::optional<int64_t> ScanAudioFrames(const std::string& path, int rate);

  std::unique_ptr<AVFormatContext, detail::FormatContextCloser> context_;
  StreamInfo audio_;
};

}  // namespace platform::ffmpeg
