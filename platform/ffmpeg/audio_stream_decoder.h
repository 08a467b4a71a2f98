#pragma once

// Decoding the first audio stream of a file with FFmpeg, handed out as packed (interleaved)
// samples in one of four layouts. Whatever else a decoder produces (planar layouts, 64-bit
// integers, doubles) is converted to the matching packed layout here, with libswresample,
// and nowhere else.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/ffmpeg/media_file.h"

namespace platform::ffmpeg {

// Packed sample layouts the decoder hands out: unsigned 8-bit (128 = silence), signed 16
// and 32-bit integers, 32-bit float (full scale -1 .. 1), all in the machine's byte order.
enum class SampleType { kU8, kS16, kS32, kFloat };

int BytesPerSample(SampleType type);

// frames × channels interleaved samples of the decoder's SampleType. The data belongs to the
// decoder and stays valid until its next call.
struct PcmRun {
  const uint8_t* data = nullptr;
  size_t frames = 0;
};

class AudioStreamDecoder {
 public:
  AudioStreamDecoder();
  ~AudioStreamDecoder();
  AudioStreamDecoder(const AudioStreamDecoder&) = delete;
  AudioStreamDecoder& operator=(const AudioStreamDecoder&) = delete;

  // Opens the file, selects its first audio stream, opens a decoder for it (decoders of
  // more than two channels are asked for a stereo downmix where they offer one) and decodes
  // up to the first audio, so that the delivered layout, channel count and rate are known.
  // False when any of that fails, for example when no sound at all can be decoded.
  // With deliver set, every run is converted to that layout instead of the decoder's own.
  // With firstSoundWithin above 0, a stream that has given no sound from that many of its
  // packets counts as one that gives none, so that a quick look at a large file that only
  // seems to hold audio stays quick.
  bool Open(const std::string& path, std::optional<SampleType> deliver = std::nullopt,
            int firstSoundWithin = 0);
  void Close();
  bool IsOpen() const;

  // The container; valid while open.
  const MediaFile& File() const { return file_; }

  // What Next delivers. Every run has this layout, channel count and rate, even when the
  // decoder changes its own format in the middle of the stream (those frames are converted).
  SampleType Type() const;
  int Channels() const;
  int SampleRate() const;
  // The significant bits of the decoder's samples as it states them (24 for a 24-bit FLAC
  // delivered as 32-bit integers); 0 when it does not say.
  int BitsPerRawSample() const;

  // The next decoded frames, in stream order; frames == 0 once the data has ended. A damaged
  // packet is dropped and decoding goes on with the next one; only the end of the packets
  // (or an input that can no longer be read) ends the data.
  PcmRun Next();

  // Once Next has ended the data: true when it broke off short of the sound the file holds.
  // That is a file more than a codec frame short of the length its container states exactly
  // (WAV and AIFF data sizes as their headers state them, CAF and Wave64 data sizes, FLAC stream
  // info, MP4 sample tables, WavPack, Monkey's Audio and TTA headers), an MP3 whose last frame is
  // cut, an Ogg file whose last page never completes, or an input that could no longer be read.
  // Damaged packets the decoder drops on the way end nothing.
  bool BrokeOff() const;

  // Byte offset in the file of the stream's first packet; -1 when the demuxer does not say.
  int64_t FirstPacketPosition() const;
  // The number of frames the container says the stream decodes to, at SampleRate; nullopt
  // when it does not know, only guesses from the file size and the bit rate, or counts in
  // steps too coarse for the length to be right to a few milliseconds.
  std::optional<int64_t> ExpectedFrames() const;

 private:
  struct State;

  MediaFile file_;
  std::string path_;
  std::unique_ptr<State> state_;
};

// The number of frames the first audio stream of a file decodes to, at rate Hz, counted by
// reading every packet without decoding it; nullopt when the packets do not carry their
// durations, or only in steps too coarse to be exact (Musepack SV8 packets span seconds).
// For containers that do not store their length.
std::optional<int64_t> ScanAudioFrames(const std::string& path, int rate);

// The number of frames AudioStreamDecoder delivers for a file, counted by decoding all of
// it: exact, but as slow as decoding. nullopt when the file does not open.
std::optional<int64_t> CountDecodedFrames(const std::string& path);

}  // namespace platform::ffmpeg
