#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

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

  // What the samples filtered so far add up to, for each channel.
  struct Sums {
    // The weighted samples' squares: the numerator of their mean square.
    std::array<double, 2> squares{};
    // The largest magnitude of the samples as given, before the weighting; it is taken in
    // the same pass, where it costs nothing beside the filters' wait for their feedback.
    std::array<double, 2> peak{};
  };

  // Filters the next `frames` samples of each channel (`right` is not read for one channel)
  // and adds them to `sums`. Full scale is 1.0 for floats and 32768 for 16-bit samples.
  void Add(const float* left, const float* right, int channels, size_t frames, Sums& sums);
  void Add(const int16_t* left, const int16_t* right, int channels, size_t frames, Sums& sums);

 private:
  struct Biquad {
    double b0, b1, b2, a1, a2;
  };
  typedef double Pair __attribute__((vector_size(16)));
  // Direct form I: the last two inputs and outputs of each stage, for both channels.
  struct History {
    Pair x1{}, x2{}, y1{}, y2{};
  };
  template <typename Sample>
  void AddScaled(const Sample* left, const Sample* right, int channels, size_t frames, double scale,
                 Sums& sums);
  void FlushTinyState();

  Biquad shelf_{};
  Biquad highPass_{};
  History shelfState_;
  History highPassState_;
};

}  // namespace sonorell
