#pragma once

#include <array>
#include <cstddef>

namespace sonorell {

// The K-weighting of ITU-R BS.1770 for one or two channels: the high shelf that models the
// head, then the high pass of the revised low-frequency B curve, each a biquad. Their
// coefficients are derived for any rate from the analogue prototypes, as libebur128 and
// FFmpeg's ebur128 derive them, and match the standard's table at 48 kHz. Both channels are
// filtered side by side in one vector of two doubles.
class KWeighting {
 public:
  // Whether the weighting exists at `rate`: its shelf (1.68 kHz) must lie below half the
  // rate, so the rate must be above 3364 Hz.
  static bool Defined(int rate);
  // For a rate the weighting is defined at.
  explicit KWeighting(int rate);

  // Filters the next `frames` samples of each channel (full scale being 1.0; `right` is
  // ignored for one channel) and adds the mean square's numerator, the sum of the weighted
  // samples' squares, to `squares` for each channel.
  void Add(const float* left, const float* right, int channels, size_t frames,
           std::array<double, 2>& squares);

 private:
  struct Biquad {
    double b0, b1, b2, a1, a2;
  };
  typedef double Pair __attribute__((vector_size(16)));
  // Direct form I: the last two inputs and outputs of each stage, for both channels.
  struct History {
    Pair x1{}, x2{}, y1{}, y2{};
  };
  void FlushTinyState();

  Biquad shelf_{};
  Biquad highPass_{};
  History shelfState_;
  History highPassState_;
};

}  // namespace sonorell
