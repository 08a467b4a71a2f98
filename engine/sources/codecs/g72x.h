#pragma once

#include <array>
#include <cstdint>

namespace sonorell {

// The CCITT G.721 (32 kbit/s, 4-bit codes) and G.723 (24 kbit/s, 3-bit codes; 40 kbit/s,
// 5-bit codes) ADPCM decoders, bit for bit as the reference arithmetic Sun published: one
// adaptive quantiser with a 2-pole/6-zero predictor, only the tables differ per rate.
enum class G72xVariant { kG721, kG723_24, kG723_40 };

struct G72xTables;

// Code size in bits of each variant: 4, 3 and 5.
int G72xCodeBits(G72xVariant variant);

class G72xDecoder {
 public:
  explicit G72xDecoder(G72xVariant variant = G72xVariant::kG721) { Reset(variant); }

  // Back to the initial state the recommendation prescribes, for the given variant.
  void Reset(G72xVariant variant);
  G72xVariant variant() const { return variant_; }

  // Decodes one code (only its low code-size bits count) and returns the 16-bit linear
  // sample: the reconstructed 14-bit signal times 4. A reconstruction beyond 16 bits, which
  // only hostile or clipped input produces, is held at full scale instead of wrapping.
  int16_t Decode(unsigned code);

 private:
  int PredictZero() const;
  int PredictPole() const;
  int StepSize() const;
  void Update(int y, int wi, int fi, int dq, int sr, int dqsez);

  G72xVariant variant_ = G72xVariant::kG721;
  const G72xTables* tables_ = nullptr;

  // Names as in the recommendation's bit-level description; the widths are those of the
  // reference arithmetic, whose 16-bit wrap-arounds are part of the result.
  int64_t yl_ = 0;               // steady-state step size multiplier
  int16_t yu_ = 0;               // non-steady-state step size multiplier
  int16_t dms_ = 0;              // short-term energy estimate
  int16_t dml_ = 0;              // long-term energy estimate
  int16_t ap_ = 0;               // weighting of yl and yu
  std::array<int16_t, 2> a_{};   // pole coefficients
  std::array<int16_t, 6> b_{};   // zero coefficients
  std::array<int16_t, 2> pk_{};  // signs of the last two partial reconstructions
  std::array<int16_t, 6> dq_{};  // last six quantised differences, internal float form
  std::array<int16_t, 2> sr_{};  // last two reconstructed samples, internal float form
  bool td_ = false;              // tone detected: the signal may be modem data
};

}  // namespace sonorell
