#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace sonorell {

// Frames per block delivered by Read; every caller's buffers hold this many samples.
inline constexpr int BlockFrames = 1152;

// Sample rates a decoder may report: later stages divide by the rate and keep it in 32
// bits, so anything below 1 Hz, non-finite or beyond 32-bit range makes a file unusable.
inline bool UsableSampleRate(double hz) {
  return hz >= 1.0 && hz <= 2147483647.0;  // false for NaN too
}

// Why Read returned 0: the data ended where it should, the sound goes on in another format,
// or the decoding stopped before the end of the sound the file holds.
enum class DataEnd {
  // The end of the sound: the length the file states was reached, or it states none.
  kEnd,
  // A chained part of another rate or channel count follows. The format properties now
  // describe it and Read delivers it; the blocks before were all of the old format.
  kFormatChange,
  // The data broke off: it ended more than a codec frame short of the length the container
  // states, or the decoder gave up on what followed (a cut frame, a page that never
  // completes). What was delivered is sound, but not all of it.
  kBrokenOff,
};

// A decoder. Read delivers planar blocks: one caller-owned buffer per output channel
// (left, and right only when GetOutputChannels is 2), 16-bit signed little-endian or
// 8-bit unsigned with 128 as silence, 1 .. BlockFrames frames per call; 0 or less ends the
// data, and EndOfData then says why. A short block is not the end. Errors a decoder
// conceals and recovers from in mid-stream end nothing.
class AudioSource {
 public:
  AudioSource() = default;
  AudioSource(const AudioSource&) = delete;
  AudioSource& operator=(const AudioSource&) = delete;
  virtual ~AudioSource() = default;

  // Releases every decoder resource and resets all properties; safe on a closed source.
  virtual void Close() = 0;
  // Closes first if open. The rendering rate matters only to synthesised sound.
  virtual bool Open(const std::string& path, int renderingRate) = 0;
  virtual int Read(void* left, void* right) = 0;

  // The wide read of lossless outputs, beside the designed one. GetWideBits is the width of
  // the samples the source truly holds (up to 32); ReadWide delivers them as Read does, but
  // as signed values of that width in 32-bit cells. By default a source's designed blocks
  // are all it holds: 16 bits, the blocks widened (8-bit ones moved up to 16).
  virtual int GetWideBits() const { return 16; }
  virtual int ReadWide(int32_t* left, int32_t* right);

  virtual uint64_t GetLength() const { return length_; }
  virtual uint64_t GetPosition() const { return position_; }
  virtual int GetDuration() const { return duration_; }
  virtual int GetChannels() const { return channels_; }
  virtual int GetOutputChannels() const { return outputChannels_; }
  virtual int GetSampleRate() const { return sampleRate_; }
  virtual int GetBitsPerSample() const { return bitsPerSample_; }
  virtual int GetChannelMode() const { return channelMode_; }
  virtual int GetBitrate() const { return bitrate_; }
  // Meaningful once Read has returned 0.
  virtual DataEnd EndOfData() const { return dataEnd_; }

  // Raw ID3 blocks of an MP3 file, owned by the source until Close; none by default.
  virtual const uint8_t* GetId3v1Tag() const { return nullptr; }
  virtual const uint8_t* GetId3v2Tag(size_t& size) const {
    size = 0;
    return nullptr;
  }
  // Assigns the tag fields the source knows and returns true; false means no tags.
  virtual bool ReadTags(std::string& /*title*/, std::string& /*artist*/, std::string& /*album*/,
                        std::string& /*year*/, std::string& /*genre*/, std::string& /*comment*/,
                        std::string& /*track*/, std::string& /*composer*/,
                        std::string& /*copyright*/) {
    return false;
  }
  // True when a text ReadTags delivers holds replacement characters: the file's text had
  // characters the system code page cannot hold, or bytes that were no text at all.
  bool TagTextReplaced() const { return tagTextReplaced_; }

 protected:
  // Called by Close and by a failed Open.
  void ResetProperties();
  // Sets channels, output channels (1 or 2), width in bits (8 or 16) and rate together.
  void SetFormat(int channels, int bitsPerSample, int sampleRate);
  // For readers of a data size the header states, once the data has run out: more than one
  // unit (a frame, a coded block) of it missing from the file means it broke off.
  void NoteMissingData(uint64_t missingBytes, uint64_t unitBytes) {
    if (missingBytes > unitBytes) dataEnd_ = DataEnd::kBrokenOff;
  }

  uint64_t length_ = 0;
  uint64_t position_ = 0;
  int duration_ = 0;
  int sampleRate_ = 0;
  int channels_ = 0;
  int outputChannels_ = 0;
  int bitsPerSample_ = 0;
  int bytesPerSample_ = 0;
  int bitrate_ = 0;
  int channelMode_ = 4;
  DataEnd dataEnd_ = DataEnd::kEnd;
  bool tagTextReplaced_ = false;
};

}  // namespace sonorell
