#include "engine/sources/codecs/g72x.h"

#include <algorithm>
#include <cstdlib>

namespace sonorell {

// What distinguishes the three rates: the tables that map a code to its reconstruction
// level (log domain), its step-size multiplier and its stationarity weight.
struct G72xTables {
  int codeBits;
  unsigned signBit;     // the code's sign bit
  int magnitudeMask;    // how much of a negative difference the reconstruction keeps
  int zeroLeakShift;    // leakage of the zero coefficients
  const int16_t* dqln;  // reconstruction level per code, normalised log
  const int* wi;        // log step-size multiplier per code
  const int16_t* fi;    // stationarity weight per code
};

namespace {

constexpr int16_t kPower2[15] = {1,     2,     4,     8,     0x10,   0x20,   0x40,  0x80,
                                 0x100, 0x200, 0x400, 0x800, 0x1000, 0x2000, 0x4000};

// 32 kbit/s. The multipliers are given already scaled by 32, as the others are.
constexpr int16_t kDqln721[16] = {-2048, 4,   135, 213, 273, 323, 373, 425,
                                  425,   373, 323, 273, 213, 135, 4,   -2048};
constexpr int kWi721[16] = {-12 * 32, 18 * 32,   41 * 32,   64 * 32,  112 * 32, 198 * 32,
                            355 * 32, 1122 * 32, 1122 * 32, 355 * 32, 198 * 32, 112 * 32,
                            64 * 32,  41 * 32,   18 * 32,   -12 * 32};
constexpr int16_t kFi721[16] = {0,     0,     0,     0x200, 0x200, 0x200, 0x600, 0xE00,
                                0xE00, 0x600, 0x200, 0x200, 0x200, 0,     0,     0};

// 24 kbit/s.
constexpr int16_t kDqln723_24[8] = {-2048, 135, 273, 373, 373, 273, 135, -2048};
constexpr int kWi723_24[8] = {-128, 960, 4384, 18624, 18624, 4384, 960, -128};
constexpr int16_t kFi723_24[8] = {0, 0x200, 0x400, 0xE00, 0xE00, 0x400, 0x200, 0};

// 40 kbit/s.
constexpr int16_t kDqln723_40[32] = {-2048, -66, 28,  104, 169, 224, 274, 318, 358, 395,  429,
                                     459,   488, 514, 539, 566, 566, 539, 514, 488, 459,  429,
                                     395,   358, 318, 274, 224, 169, 104, 28,  -66, -2048};
constexpr int kWi723_40[32] = {448,   448,   768,   1248,  1280,  1312,  1856,  3200,
                               4512,  5728,  7008,  8960,  11456, 14080, 16928, 22272,
                               22272, 16928, 14080, 11456, 8960,  7008,  5728,  4512,
                               3200,  1856,  1312,  1280,  1248,  768,   448,   448};
constexpr int16_t kFi723_40[32] = {0,     0,     0,     0,     0,     0x200, 0x200, 0x200,
                                   0x200, 0x200, 0x400, 0x600, 0x800, 0xA00, 0xC00, 0xC00,
                                   0xC00, 0xC00, 0xA00, 0x800, 0x600, 0x400, 0x200, 0x200,
                                   0x200, 0x200, 0x200, 0,     0,     0,     0,     0};

// The reference keeps most intermediate values in 16 bits; the truncations are part of
// the bit-exact result, so they are made explicit.
constexpr int16_t S16(int v) {
  return static_cast<int16_t>(v);
}

// Index of the first table entry above val (size when there is none).
int Quan(int val, const int16_t* table, int size) {
  int i = 0;
  while (i < size && val >= table[i]) ++i;
  return i;
}

// Product of a 14-bit coefficient and a value in the internal float form (4-bit
// exponent, 6-bit mantissa, sign).
int FloatMultiply(int an, int srn) {
  const int16_t anmag = S16(an > 0 ? an : ((-an) & 0x1FFF));
  const int16_t anexp = S16(Quan(anmag, kPower2, 15) - 6);
  const int16_t anmant = S16(anmag == 0 ? 32 : (anexp >= 0 ? anmag >> anexp : anmag << -anexp));
  const int16_t wanexp = S16(anexp + ((srn >> 6) & 0xF) - 13);
  const int16_t wanmant = S16((anmant * (srn & 077) + 0x30) >> 4);
  const int16_t retval = S16(wanexp >= 0 ? ((wanmant << wanexp) & 0x7FFF) : (wanmant >> -wanexp));
  return ((an ^ srn) < 0) ? -retval : retval;
}

// The quantised difference from a code's log level and the step size: an antilog.
int Reconstruct(bool negative, int dqln, int y) {
  const int16_t dql = S16(dqln + (y >> 2));
  if (dql < 0) return negative ? -0x8000 : 0;
  // The step-size limits keep the exponent at 14 or below; the cap only keeps the shift
  // well defined.
  const int dex = std::min((dql >> 7) & 15, 14);
  const int16_t dqt = S16(128 + (dql & 127));
  const int16_t dq = S16((dqt << 7) >> (14 - dex));
  return negative ? dq - 0x8000 : dq;
}

// A value in the internal float form: exponent, 6-bit mantissa, and 0x400 off when negative.
int16_t ToFloatForm(int magnitude, bool negative) {
  const int exp = Quan(magnitude, kPower2, 15);
  return S16((exp << 6) + ((magnitude << 6) >> exp) - (negative ? 0x400 : 0));
}

constexpr G72xTables kTables721{4, 0x08, 0x3FFF, 8, kDqln721, kWi721, kFi721};
constexpr G72xTables kTables723_24{3, 0x04, 0x3FFF, 8, kDqln723_24, kWi723_24, kFi723_24};
constexpr G72xTables kTables723_40{5, 0x10, 0x7FFF, 9, kDqln723_40, kWi723_40, kFi723_40};

}  // namespace

int G72xCodeBits(G72xVariant variant) {
  switch (variant) {
    case G72xVariant::kG723_24:
      return 3;
    case G72xVariant::kG723_40:
      return 5;
    case G72xVariant::kG721:
      break;
  }
  return 4;
}

void G72xDecoder::Reset(G72xVariant variant) {
  variant_ = variant;
  switch (variant) {
    case G72xVariant::kG723_24:
      tables_ = &kTables723_24;
      break;
    case G72xVariant::kG723_40:
      tables_ = &kTables723_40;
      break;
    case G72xVariant::kG721:
      tables_ = &kTables721;
      break;
  }
  yl_ = 34816;
  yu_ = 544;
  dms_ = 0;
  dml_ = 0;
  ap_ = 0;
  a_.fill(0);
  pk_.fill(0);
  sr_.fill(32);
  b_.fill(0);
  dq_.fill(32);
  td_ = false;
}

int G72xDecoder::PredictZero() const {
  int sezi = 0;
  for (size_t i = 0; i < b_.size(); ++i) sezi += FloatMultiply(b_[i] >> 2, dq_[i]);
  return sezi;
}

int G72xDecoder::PredictPole() const {
  return FloatMultiply(a_[1] >> 2, sr_[1]) + FloatMultiply(a_[0] >> 2, sr_[0]);
}

int G72xDecoder::StepSize() const {
  if (ap_ >= 256) return yu_;
  int y = static_cast<int>(yl_ >> 6);
  const int dif = yu_ - y;
  const int al = ap_ >> 2;
  if (dif > 0) {
    y += (dif * al) >> 6;
  } else if (dif < 0) {
    y += (dif * al + 0x3F) >> 6;
  }
  return y;
}

int16_t G72xDecoder::Decode(unsigned code) {
  const G72xTables& t = *tables_;
  const int i = static_cast<int>(code & ((1u << t.codeBits) - 1));

  const int16_t sezi = S16(PredictZero());
  const int16_t sez = S16(sezi >> 1);
  const int16_t sei = S16(sezi + PredictPole());
  const int16_t se = S16(sei >> 1);  // estimated signal

  const int16_t y = S16(StepSize());
  const int16_t dq = S16(Reconstruct((i & t.signBit) != 0, t.dqln[i], y));
  const int16_t sr = S16(dq < 0 ? se - (dq & t.magnitudeMask) : se + dq);
  const int16_t dqsez = S16(sr - se + sez);

  Update(y, t.wi[i], t.fi[i], dq, sr, dqsez);

  return static_cast<int16_t>(std::clamp(sr * 4, -32768, 32767));
}

void G72xDecoder::Update(int y, int wi, int fi, int dq, int sr, int dqsez) {
  const int16_t pk0 = dqsez < 0 ? 1 : 0;
  const int16_t mag = S16(dq & 0x7FFF);

  // Transition detector: a large difference after a tone means modem data.
  const int16_t ylint = S16(static_cast<int>(yl_ >> 15));
  const int16_t ylfrac = S16(static_cast<int>(yl_ >> 10) & 0x1F);
  const int16_t thr1 = S16((32 + ylfrac) << ylint);
  const int16_t thr2 = S16(ylint > 9 ? 31 << 10 : thr1);
  const int16_t dqthr = S16((thr2 + (thr2 >> 1)) >> 1);
  const bool tr = td_ && mag > dqthr;

  // Quantiser scale factor adaptation.
  yu_ = S16(y + ((wi - y) >> 5));
  yu_ = std::clamp<int16_t>(yu_, 544, 5120);
  yl_ += yu_ + ((-yl_) >> 6);

  int16_t a2p = 0;
  if (tr) {
    a_.fill(0);
    b_.fill(0);
  } else {
    const int16_t pks1 = S16(pk0 ^ pk_[0]);

    // Second pole.
    a2p = S16(a_[1] - (a_[1] >> 7));
    if (dqsez != 0) {
      const int16_t fa1 = S16(pks1 ? a_[0] : -a_[0]);
      if (fa1 < -8191) {
        a2p = S16(a2p - 0x100);
      } else if (fa1 > 8191) {
        a2p = S16(a2p + 0xFF);
      } else {
        a2p = S16(a2p + (fa1 >> 5));
      }
      if (pk0 ^ pk_[1]) {
        if (a2p <= -12160) {
          a2p = -12288;
        } else if (a2p >= 12416) {
          a2p = 12288;
        } else {
          a2p = S16(a2p - 0x80);
        }
      } else if (a2p <= -12416) {
        a2p = -12288;
      } else if (a2p >= 12160) {
        a2p = 12288;
      } else {
        a2p = S16(a2p + 0x80);
      }
    }
    a_[1] = a2p;

    // First pole, limited by the second.
    a_[0] = S16(a_[0] - (a_[0] >> 8));
    if (dqsez != 0) a_[0] = S16(pks1 == 0 ? a_[0] + 192 : a_[0] - 192);
    const int16_t a1ul = S16(15360 - a2p);
    if (a_[0] < -a1ul) {
      a_[0] = S16(-a1ul);
    } else if (a_[0] > a1ul) {
      a_[0] = a1ul;
    }

    // Zeros.
    for (size_t cnt = 0; cnt < b_.size(); ++cnt) {
      b_[cnt] = S16(b_[cnt] - (b_[cnt] >> tables_->zeroLeakShift));
      if (dq & 0x7FFF) b_[cnt] = S16((dq ^ dq_[cnt]) >= 0 ? b_[cnt] + 128 : b_[cnt] - 128);
    }
  }

  for (size_t cnt = dq_.size() - 1; cnt > 0; --cnt) dq_[cnt] = dq_[cnt - 1];
  if (mag == 0) {
    dq_[0] = S16(dq >= 0 ? 0x20 : 0xFC20);
  } else {
    dq_[0] = ToFloatForm(mag, dq < 0);
  }

  sr_[1] = sr_[0];
  if (sr == 0) {
    sr_[0] = 0x20;
  } else if (sr > 0) {
    sr_[0] = ToFloatForm(sr, false);
  } else if (sr > -32768) {
    sr_[0] = ToFloatForm(S16(-sr), true);
  } else {
    sr_[0] = S16(0xFC20);
  }

  pk_[1] = pk_[0];
  pk_[0] = pk0;

  // Tone detector: small sample-to-sample correlation may be data.
  td_ = !tr && a2p < -11776;

  // Adaptation speed control.
  dms_ = S16(dms_ + ((fi - dms_) >> 5));
  dml_ = S16(dml_ + (((fi << 2) - dml_) >> 7));
  if (tr) {
    ap_ = 256;
  } else if (y < 1536 || td_ || std::abs((dms_ << 2) - dml_) >= (dml_ >> 3)) {
    ap_ = S16(ap_ + ((0x200 - ap_) >> 4));
  } else {
    ap_ = S16(ap_ + ((-ap_) >> 4));
  }
}

}  // namespace sonorell
