#pragma once

#include <string>

#include "engine/sources/audio_source.h"
#include "platform/ffmpeg/audio_stream_decoder.h"

namespace sonorell {

// Decodes the first audio stream of anything FFmpeg opens: the formats no other source
// claims, Speex, and the sound of video files. Unsigned 8-bit decoders are delivered as
// 8-bit, everything else as 16-bit. Length is the file size and position the input's byte
// offset, so progress follows the file as it is read.
class FfmpegSource : public AudioSource {
 public:
  FfmpegSource() = default;
  ~FfmpegSource() override;

  void Close() override;
  // The rendering rate is ignored.
  bool Open(const std::string& path, int renderingRate) override;
  int Read(void* left, void* right) override;
  // The decoder's own width where it delivers 32-bit integers of more than 16 significant
  // bits (FLAC, ALAC, WavPack, APE, TTA and PCM of 24 or 32 bits); else the designed 16.
  int GetWideBits() const override { return wideBits_; }
  int ReadWide(int32_t* left, int32_t* right) override;
  // From the container's metadata (and the stream's, where Ogg keeps it), converted from
  // UTF-8 to locale text; year and track are their leading numbers. No composer.
  bool ReadTags(std::string& title, std::string& artist, std::string& album, std::string& year,
                std::string& genre, std::string& comment, std::string& track, std::string& composer,
                std::string& copyright) override;

 private:
  // Writes frames of the pending decoded run into the block at index at.
  void Deliver(int frames, void* left, void* right, int at);
  void DeliverWide(int frames, int32_t* left, int32_t* right, int at);
  // Fills a block from the decoded frames, handing each run to deliver(frames, at).
  template <typename DeliverRun>
  int Fill(DeliverRun deliver);

  platform::ffmpeg::AudioStreamDecoder decoder_;
  platform::ffmpeg::SampleType type_ = platform::ffmpeg::SampleType::kS16;
  int wideBits_ = 16;
  // Decoded frames not delivered yet: a decoder frame can be longer than a block.
  platform::ffmpeg::PcmRun pending_;
  size_t frameBytes_ = 0;
};

}  // namespace sonorell
