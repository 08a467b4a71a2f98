#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/dsp/side_worker.h"

namespace sonorell {

// A PCM format as it travels between decoder and encoder.
struct PcmFormat {
  int rate = -1;      // Hz
  int channels = -1;  // 1 or 2
  // 8 (unsigned, silence 128) or 16 (signed); on the wide path of lossless outputs also
  // 17 .. 32, signed values of that width in 32-bit cells (see SampleBytes).
  int bits = -1;
};

// Changes the rate, width and channel count of one file's planar blocks. At equal rates
// only width and channels change (no float arithmetic); otherwise each channel goes
// through its own libresample filter, which keeps its history from block to block so
// consecutive blocks join without seams. A stereo input for a mono output is mixed to
// (L + R) / 2 first; a mono input for a stereo output is resampled once and duplicated.
//
// The filter holds back the newest input until it sees what follows, so once the data
// ends the encode loop calls Flush until it returns 0; only then is the whole file out.
class SampleConverter {
 public:
  SampleConverter() = default;
  SampleConverter(const SampleConverter&) = delete;
  SampleConverter& operator=(const SampleConverter&) = delete;
  ~SampleConverter();

  // Starts a new stream, dropping anything of a previous one. False when a format is not
  // 1 or 2 channels of 8, 16 or 17 .. 32 bits at a positive rate, when the rates are further apart
  // than a factor of kMaxRateFactor, or when the resampler cannot be opened; the converter
  // then stays closed.
  bool Open(PcmFormat in, PcmFormat out);

  // Converts frames frames (the right input buffer only for stereo input) into the
  // caller's buffers (the right one only for stereo output), which hold at least
  // OutputCapacity(in.rate, out.rate, frames) samples of the output width. Returns the
  // frames written to each output buffer, which may differ from frames when the rate
  // changes; -1 when the converter is not open, already flushed, given a missing buffer,
  // or out of memory. Output that would not fit waits for the next call or Flush; no input
  // is ever left behind.
  int Process(const void* inLeft, const void* inRight, int frames, void* outLeft, void* outRight);

  // At the end of the data: hands out what the filter still holds, at most capacityFrames
  // per call, up to the input's length times the ratio (rounded), so the file keeps its
  // duration. Call until it returns 0; -1 as for Process. Nothing to do at equal rates.
  int Flush(void* outLeft, void* outRight, int capacityFrames);

  // Samples per channel a caller's output buffers need for one Process call:
  // ((outRate / inRate, integer division) + 1) × inFrames. 0 when an argument is not
  // positive or the size does not fit an int.
  static int OutputCapacity(int inRate, int outRate, int inFrames);

  // Furthest apart the two rates may be; beyond it the filter tables and buffers grow
  // without bound for no audible purpose.
  static constexpr int kMaxRateFactor = 256;

  bool IsOpen() const { return open_; }
  PcmFormat Input() const { return in_; }
  PcmFormat Output() const { return out_; }
  // Output rate ÷ input rate; 0 while no rate conversion is set up.
  double Ratio() const { return ratio_; }

 private:
  struct ResamplerCloser {
    void operator()(void* handle) const;
  };
  using ResamplerHandle = std::unique_ptr<void, ResamplerCloser>;

  // One filtered channel and the output it produced that no caller has taken yet.
  struct Lane {
    ResamplerHandle handle;
    std::vector<float> input;  // this block's samples as floats
    std::vector<float> pending;
    int pendingFrames = 0;
  };

  void Reset();
  int ProcessAtSameRate(const void* inLeft, const void* inRight, int frames, void* outLeft,
                        void* outRight);
  int Resample(const void* inLeft, const void* inRight, int frames, void* outLeft, void* outRight);
  // Both lanes of the block (or of the drain), the second beside the first.
  bool FeedLanes(int frames, bool last);
  bool Feed(Lane& lane, int frames, bool last) const;
  int Emit(void* outLeft, void* outRight, int capacityFrames);
  // Output space offered to the filter per call.
  int FeedRoom(int frames) const {
    return std::max(OutputCapacity(in_.rate, out_.rate, std::max(frames, 1)), 4096);
  }
  int FilteredLanes() const { return in_.channels == 2 && out_.channels == 2 ? 2 : 1; }

  PcmFormat in_;
  PcmFormat out_;
  double ratio_ = 0;
  bool open_ = false;
  bool flushed_ = false;
  // Frames fed to the filter and handed out so far, for the length at the end.
  int64_t framesIn_ = 0;
  int64_t framesOut_ = 0;
  Lane lanes_[2];
  // Grow-only work buffers, reused for every block.
  std::vector<unsigned char> mix_;
  std::vector<unsigned char> widthLeft_;
  std::vector<unsigned char> widthRight_;
  // Filters the right channel beside the left one.
  SideWorker sideWorker_;
};

}  // namespace sonorell
