#pragma once

#include <lame/lame.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace sonorell {

// What the MP3 options make of a source, as handed to LAME.
struct Mp3Parameters {
  int inRate = 0;           // the source's rate: LAME resamples to outRate itself
  int lameChannels = 0;     // channels LAME receives (1 when one channel is picked)
  int outRate = 0;          // Hz
  std::optional<int> mode;  // MPEG mode; none with automatic parameters
  std::optional<int> kbps;  // constant bit rate; none leaves LAME's default
  int pickedChannel = 0;    // 1 left, 2 right: one channel of a stereo source, unmixed
};

// One LAME instance as every MP3 output uses it: constant bit rate, no Xing/Info frame and
// no tags of its own. 16-bit planar PCM goes in; MPEG audio bytes come out as LAME hands
// them over, which end on a frame boundary only once it has been flushed.
class LameEncoder {
 public:
  static constexpr size_t kOutputBufferBytes = 16384;  // above LAME's worst case per block
  static constexpr int kMaxFramesPerCall = 1152;

  // Takes the encoded bytes; false stops the encoding.
  using ByteSink = std::function<bool(const uint8_t* data, size_t size)>;

  // Creates the LAME instance; false when it cannot be created.
  bool Open();
  // Fixes the parameters for channels (what LAME receives, forced into 1 .. 2). False when
  // LAME refuses them.
  bool Accept(const Mp3Parameters& parameters, int channels);
  bool Accepted() const { return accepted_; }

  // 16-bit planar frames; the right buffer only with two channels. False when LAME fails
  // or the sink refuses the bytes.
  bool Encode(const void* left, const void* right, int frames, const ByteSink& sink);
  // The audio LAME still holds, the last frame filled up.
  bool Flush(const ByteSink& sink);

  // Of the accepted parameters: the rate LAME encodes at, the samples of one frame at that
  // rate (1152 for MPEG-1, 576 for MPEG-2 and 2.5), the samples of silence it puts before
  // the audio, and whether every frame has the one bit rate.
  int OutRate() const;
  int FrameSamples() const;
  int EncoderDelay() const;
  bool ConstantBitRate() const;
  // Bytes of one granule (576 samples) for one channel at the bit rate: what each channel's
  // audio gets of a frame before any reservoir.
  int GranuleBytesPerChannel() const;

 private:
  struct LameCloser {
    void operator()(lame_global_flags* gf) const { lame_close(gf); }
  };

  std::unique_ptr<lame_global_flags, LameCloser> lame_;
  bool accepted_ = false;
  std::vector<uint8_t> buffer_;
};

}  // namespace sonorell
