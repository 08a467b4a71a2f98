#include "engine/dsp/k_weighting.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace sonorell {
namespace {

// The analogue prototypes behind the 48 kHz coefficients of BS.1770.
constexpr double kShelfHz = 1681.974450955533;
constexpr double kShelfGainDb = 3.999843853973347;
constexpr double kShelfQ = 0.7071752369554196;
constexpr double kHighPassHz = 38.13547087602444;
constexpr double kHighPassQ = 0.5003270373238773;

// A stage's state decays toward zero in silence; below this it is set to zero, long before
// it could reach the denormal range, where every operation would cost a hundred times more.
constexpr double kTiny = 1e-30;
// Frames filtered between two such flushes: far too few for a state above kTiny to decay
// below the normal range at any rate.
constexpr size_t kFlushFrames = 4096;

}  // namespace

bool KWeighting::Defined(int rate) {
  return rate > 2 * kShelfHz;
}

KWeighting::KWeighting(int rate) {
  const double fs = rate;
  double k = std::tan(std::numbers::pi * kShelfHz / fs);
  const double vh = std::pow(10.0, kShelfGainDb / 20.0);
  const double vb = std::pow(vh, 0.4996667741545416);
  double a0 = 1.0 + k / kShelfQ + k * k;
  shelf_ = {(vh + vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - vh) / a0,
            (vh - vb * k / kShelfQ + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
            (1.0 - k / kShelfQ + k * k) / a0};
  k = std::tan(std::numbers::pi * kHighPassHz / fs);
  a0 = 1.0 + k / kHighPassQ + k * k;
  // The numerator is the standard's 1, -2, 1 at every rate, as the references keep it.
  highPass_ = {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / kHighPassQ + k * k) / a0};
}

namespace {

template <typename Stage, typename History, typename Pair>
inline Pair Step(const Stage& f, History& h, Pair x) {
  // The feedback of the last output is added last: it is the one sum each sample waits for.
  const Pair y = (f.b0 * x + f.b1 * h.x1 + f.b2 * h.x2 - f.a2 * h.y2) - f.a1 * h.y1;
  h.x2 = h.x1;
  h.x1 = x;
  h.y2 = h.y1;
  h.y1 = y;
  return y;
}

template <bool kStereo, typename Stage, typename History, typename Sample>
void Run(const Stage& shelf, const Stage& highPass, History& shelfState, History& highPassState,
         const Sample* left, const Sample* right, size_t frames, double scale,
         KWeighting::Sums& sums) {
  using Pair = decltype(History::x1);
  // Kept in registers for the loop, and stored back once.
  History s = shelfState;
  History h = highPassState;
  Pair squares{};
  Pair largest{};
  for (size_t i = 0; i < frames; ++i) {
    const Pair x =
        Pair{static_cast<double>(left[i]), kStereo ? static_cast<double>(right[i]) : 0.0} * scale;
    const Pair magnitude = x < Pair{} ? -x : x;
    largest = magnitude > largest ? magnitude : largest;
    const Pair y = Step(highPass, h, Step(shelf, s, x));
    squares += y * y;
  }
  shelfState = s;
  highPassState = h;
  for (int c = 0; c < (kStereo ? 2 : 1); ++c) {
    sums.squares[c] += squares[c];
    sums.peak[c] = std::max(sums.peak[c], largest[c]);
  }
}

template <typename History>
void Flush(History& h) {
  for (auto* value : {&h.x1, &h.x2, &h.y1, &h.y2})
    for (int c = 0; c < 2; ++c)
      if (std::fabs((*value)[c]) < kTiny) (*value)[c] = 0.0;
}

}  // namespace

void KWeighting::FlushTinyState() {
  Flush(shelfState_);
  Flush(highPassState_);
}

void KWeighting::Add(const float* left, const float* right, int channels, size_t frames,
                     Sums& sums) {
  AddScaled(left, right, channels, frames, 1.0, sums);
}

void KWeighting::Add(const int16_t* left, const int16_t* right, int channels, size_t frames,
                     Sums& sums) {
  AddScaled(left, right, channels, frames, 1.0 / 32768, sums);
}

template <typename Sample>
void KWeighting::AddScaled(const Sample* left, const Sample* right, int channels, size_t frames,
                           double scale, Sums& sums) {
  for (size_t done = 0; done < frames;) {
    const size_t piece = std::min(frames - done, kFlushFrames);
    if (channels == 2) {
      Run<true>(shelf_, highPass_, shelfState_, highPassState_, left + done, right + done, piece,
                scale, sums);
    } else {
      Run<false>(shelf_, highPass_, shelfState_, highPassState_, left + done, right, piece, scale,
                 sums);
    }
    FlushTinyState();
    done += piece;
  }
}

}  // namespace sonorell
