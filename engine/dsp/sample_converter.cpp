#include "engine/dsp/sample_converter.h"

#include <libresample.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <new>

#include "engine/dsp/channel_mix.h"
#include "engine/dsp/float_samples.h"
#include "engine/dsp/sample_width.h"

namespace sonorell {
namespace {

bool UsableFormat(const PcmFormat& f) {
  return f.rate > 0 && (f.channels == 1 || f.channels == 2) &&
         (f.bits == 8 || f.bits == 16 || (f.bits > 16 && f.bits <= 32));
}

// Buffers only ever grow, so a file's blocks stop allocating after the first one.
template <typename T>
T* Grow(std::vector<T>& buffer, size_t count) {
  if (buffer.size() < count) buffer.resize(count);
  return buffer.data();
}

// Integer samples of any width into floats.
void ToFloat(const void* in, int bits, int frames, float* out) {
  if (bits > 16) {
    ConvertWideToFloat(static_cast<const int32_t*>(in), bits, out, frames);
  } else if (bits == 16) {
    Convert16ToFloat(static_cast<const int16_t*>(in), out, frames);
  } else {
    Convert8ToFloat(static_cast<const uint8_t*>(in), out, frames);
  }
}

void FromFloat(const float* in, int bits, int frames, void* out) {
  if (bits > 16) {
    ConvertFloatToWide(in, bits, static_cast<int32_t*>(out), frames);
  } else if (bits == 16) {
    ConvertFloatTo16(in, static_cast<int16_t*>(out), frames);
  } else {
    ConvertFloatTo8(in, static_cast<uint8_t*>(out), frames);
  }
}

void Mix(const void* left, const void* right, int bits, int frames, void* out) {
  if (bits > 16) {
    MixToMonoWide(static_cast<const int32_t*>(left), static_cast<const int32_t*>(right),
                  static_cast<int32_t*>(out), frames);
  } else if (bits == 16) {
    MixToMono16(static_cast<const int16_t*>(left), static_cast<const int16_t*>(right),
                static_cast<int16_t*>(out), frames);
  } else {
    MixToMono8(static_cast<const uint8_t*>(left), static_cast<const uint8_t*>(right),
               static_cast<uint8_t*>(out), frames);
  }
}

// One channel at the other width, into buffer.
const void* ChangeWidth(const void* in, int fromBits, int toBits, int frames,
                        std::vector<unsigned char>& buffer) {
  void* out = Grow(buffer, BlockBytes(frames, toBits));
  if (fromBits == 8 && toBits == 16) {
    Convert8To16(static_cast<const uint8_t*>(in), static_cast<int16_t*>(out), frames);
  } else if (fromBits == 16 && toBits == 8) {
    Convert16To8(static_cast<const int16_t*>(in), static_cast<uint8_t*>(out), frames);
  } else {
    ChangeSampleWidth(in, fromBits, out, toBits, frames);
  }
  return out;
}

}  // namespace

void SampleConverter::ResamplerCloser::operator()(void* handle) const {
  resample_close(handle);
}

SampleConverter::~SampleConverter() = default;

int SampleConverter::OutputCapacity(int inRate, int outRate, int inFrames) {
  if (inRate <= 0 || outRate <= 0 || inFrames <= 0) return 0;
  const int64_t capacity = (static_cast<int64_t>(outRate / inRate) + 1) * inFrames;
  return capacity > INT_MAX ? 0 : static_cast<int>(capacity);
}

void SampleConverter::Reset() {
  in_ = PcmFormat{};
  out_ = PcmFormat{};
  ratio_ = 0;
  open_ = false;
  flushed_ = false;
  framesIn_ = 0;
  framesOut_ = 0;
  for (Lane& lane : lanes_) {
    lane.handle.reset();
    lane.pendingFrames = 0;
  }
}

bool SampleConverter::Open(PcmFormat in, PcmFormat out) {
  Reset();
  if (!UsableFormat(in) || !UsableFormat(out)) return false;
  if (in.rate != out.rate) {
    const double ratio = static_cast<double>(out.rate) / in.rate;
    if (ratio > kMaxRateFactor || ratio < 1.0 / kMaxRateFactor) return false;
    // The factor is fixed for the whole file, so the filter is built for exactly it.
    lanes_[0].handle.reset(resample_open(1, ratio, ratio));
    if (out.channels == 2) lanes_[1].handle.reset(resample_open(1, ratio, ratio));
    if (!lanes_[0].handle || (out.channels == 2 && !lanes_[1].handle)) {
      Reset();
      return false;
    }
    ratio_ = ratio;
  }
  in_ = in;
  out_ = out;
  open_ = true;
  return true;
}

int SampleConverter::Process(const void* inLeft, const void* inRight, int frames, void* outLeft,
                             void* outRight) {
  if (!open_ || flushed_ || frames < 0) return -1;
  if (frames == 0) return 0;
  if (!inLeft || (in_.channels == 2 && !inRight)) return -1;
  if (!outLeft || (out_.channels == 2 && !outRight)) return -1;
  if (OutputCapacity(in_.rate, out_.rate, frames) == 0) return -1;
  try {
    if (in_.rate == out_.rate) return ProcessAtSameRate(inLeft, inRight, frames, outLeft, outRight);
    return Resample(inLeft, inRight, frames, outLeft, outRight);
  } catch (const std::bad_alloc&) {
    // A channel may be half done: the rest of this file cannot be trusted.
    open_ = false;
    return -1;
  }
}

int SampleConverter::ProcessAtSameRate(const void* inLeft, const void* inRight, int frames,
                                       void* outLeft, void* outRight) {
  const void* left = inLeft;
  const void* right = in_.channels == 2 ? inRight : nullptr;
  // Width first, so a mix to mono happens on samples of the output width.
  if (in_.bits != out_.bits) {
    left = ChangeWidth(left, in_.bits, out_.bits, frames, widthLeft_);
    if (right) right = ChangeWidth(right, in_.bits, out_.bits, frames, widthRight_);
  }
  const size_t bytes = BlockBytes(frames, out_.bits);
  if (right && out_.channels == 1) {
    void* mixed = Grow(mix_, bytes);
    Mix(left, right, out_.bits, frames, mixed);
    std::memmove(outLeft, mixed, bytes);
    return frames;
  }
  std::memmove(outLeft, left, bytes);
  if (out_.channels == 2) std::memmove(outRight, right ? right : left, bytes);
  return frames;
}

int SampleConverter::Resample(const void* inLeft, const void* inRight, int frames, void* outLeft,
                              void* outRight) {
  const void* left = inLeft;
  const void* right = in_.channels == 2 ? inRight : nullptr;
  // A stereo file for a mono output is mixed before filtering: half the work, same result.
  if (right && out_.channels == 1) {
    void* mixed = Grow(mix_, BlockBytes(frames, in_.bits));
    Mix(left, right, in_.bits, frames, mixed);
    left = mixed;
    right = nullptr;
  }
  ToFloat(left, in_.bits, frames, Grow(lanes_[0].input, static_cast<size_t>(frames)));
  if (right) ToFloat(right, in_.bits, frames, Grow(lanes_[1].input, static_cast<size_t>(frames)));
  if (!FeedLanes(frames, false)) return -1;
  framesIn_ += frames;
  return Emit(outLeft, outRight, OutputCapacity(in_.rate, out_.rate, frames));
}

bool SampleConverter::FeedLanes(int frames, bool last) {
  bool ok = true;
  if (FilteredLanes() == 2) {
    sideWorker_.Start([this, frames, last] { return Feed(lanes_[1], frames, last); });
    ok = Feed(lanes_[0], frames, last);
    ok = sideWorker_.Wait() && ok;
  } else {
    ok = Feed(lanes_[0], frames, last);
  }
  if (!ok) open_ = false;
  return ok;
}

// Runs the floats of the lane's input through its channel's filter until the library has taken
// all of them. It takes input only while it has room to put the output, and stops early
// when that room runs out, so the pending output grows as needed rather than input being
// left behind. With last set the filter is drained to the end of the data.
bool SampleConverter::Feed(Lane& lane, int frames, bool last) const {
  float* input = Grow(lane.input, 1);  // never null, even for a drain without input
  const int room = FeedRoom(frames);
  int used = 0;
  for (;;) {
    const size_t needed = static_cast<size_t>(lane.pendingFrames) + static_cast<size_t>(room);
    float* out = Grow(lane.pending, needed) + lane.pendingFrames;
    const int space = static_cast<int>(lane.pending.size()) - lane.pendingFrames;
    int usedNow = 0;
    const int produced = resample_process(lane.handle.get(), ratio_, input + used, frames - used,
                                          last ? 1 : 0, &usedNow, out, space);
    if (produced < 0 || produced > space || usedNow < 0 || usedNow > frames - used) {
      return false;
    }
    used += usedNow;
    lane.pendingFrames += produced;
    if (produced == space) continue;  // more may be waiting inside the filter
    if (used == frames) return true;
    if (usedNow == 0 && produced == 0) return false;  // no progress: refuse rather than spin
  }
}

// Hands the caller as much pending output as fits and keeps the rest for the next call.
// The drained filter rings on for up to one input sample past the end; that is cut, so the
// output lasts exactly as long as the input.
int SampleConverter::Emit(void* outLeft, void* outRight, int capacityFrames) {
  const int lanes = FilteredLanes();
  const auto length = static_cast<int64_t>(std::llround(static_cast<double>(framesIn_) * ratio_));
  int n = static_cast<int>(std::clamp<int64_t>(length - framesOut_, 0, capacityFrames));
  n = std::min(n, lanes_[0].pendingFrames);
  if (lanes == 2) n = std::min(n, lanes_[1].pendingFrames);
  FromFloat(lanes_[0].pending.data(), out_.bits, n, outLeft);
  if (out_.channels == 2) {
    if (lanes == 2) {
      FromFloat(lanes_[1].pending.data(), out_.bits, n, outRight);
    } else {
      std::memmove(outRight, outLeft, BlockBytes(n, out_.bits));
    }
  }
  for (int i = 0; i < lanes; ++i) {
    Lane& lane = lanes_[i];
    std::copy(lane.pending.begin() + n, lane.pending.begin() + lane.pendingFrames,
              lane.pending.begin());
    lane.pendingFrames -= n;
  }
  framesOut_ += n;
  return n;
}

int SampleConverter::Flush(void* outLeft, void* outRight, int capacityFrames) {
  if (!open_ || capacityFrames <= 0) return -1;
  if (!outLeft || (out_.channels == 2 && !outRight)) return -1;
  if (in_.rate == out_.rate) return 0;
  try {
    if (!flushed_) {
      flushed_ = true;
      if (!FeedLanes(0, true)) return -1;
    }
    return Emit(outLeft, outRight, capacityFrames);
  } catch (const std::bad_alloc&) {
    open_ = false;
    return -1;
  }
}

}  // namespace sonorell
