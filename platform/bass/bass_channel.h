#pragma once

// Inside the BASS stand-in: one decoding channel, whatever library decodes it. The public
// calls of bass.h look a handle up and ask its channel.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace platform::bass {

class Channel {
 public:
  virtual ~Channel() = default;

  virtual uint32_t Rate() const = 0;
  virtual uint32_t Channels() const = 0;
  virtual bool EightBit() const { return false; }  // samples are 16-bit signed otherwise
  // Decoded length and position in bytes of the delivered PCM (interleaved, Rate/Channels).
  virtual uint64_t LengthBytes() const = 0;
  virtual uint64_t PositionBytes() const = 0;
  // Up to size bytes of interleaved PCM, whole frames only; -1 at the end or on error.
  virtual int64_t GetData(void* buffer, size_t size) = 0;
  // Once GetData has ended: true when the data broke off short of the sound the file holds
  // (cut or damaged past what the decoder recovers from).
  virtual bool BrokeOff() const { return false; }
  // File offsets where the audio data begins and where the file data ends; -1 if unknown.
  virtual int64_t FileStart() const { return -1; }
  virtual int64_t FileEnd() const { return -1; }
  // Metadata for TAGS_Read, keys lower case: title, artist, album, genre, year, comment,
  // track, composer, copyright; UTF-8 values.
  virtual std::map<std::string, std::string> Tags() const { return {}; }
  // True for channels freed with BASS_MusicFree.
  virtual bool IsMusic() const { return false; }
};

}  // namespace platform::bass
