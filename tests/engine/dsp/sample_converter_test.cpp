#include "engine/dsp/sample_converter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

constexpr int kBlock = 1152;
constexpr int16_t kGuard = 0x5A5A;

std::vector<int16_t> Sine(int rate, double hz, double amplitude, int frames) {
  std::vector<int16_t> s(static_cast<size_t>(frames));
  for (int i = 0; i < frames; ++i) {
    s[i] = static_cast<int16_t>(
        std::lround(amplitude * 32767.0 * std::sin(2 * std::numbers::pi * hz * i / rate)));
  }
  return s;
}

struct Output {
  std::vector<int16_t> left;
  std::vector<int16_t> right;
  int largestBlock = 0;
  bool failed = false;
};

// A whole 16-bit signal through an opened converter the way an encode loop drives it:
// blocks of blockFrames, buffers of exactly the advertised capacity (with a guard zone
// behind them to catch overruns), then Flush until it has nothing more.
Output RunWhole(SampleConverter& c, const std::vector<int16_t>& left,
                const std::vector<int16_t>* right, int blockFrames = kBlock,
                int flushCapacity = kBlock) {
  Output out;
  const bool stereoOut = c.Output().channels == 2;
  const int capacity = SampleConverter::OutputCapacity(c.Input().rate, c.Output().rate,
                                                       std::max(blockFrames, flushCapacity));
  std::vector<int16_t> l(static_cast<size_t>(capacity) + 64), r(l.size());
  auto keep = [&](int n, int cap) {
    if (n < 0 || n > cap) {
      out.failed = true;
      return false;
    }
    for (size_t i = static_cast<size_t>(cap); i < l.size(); ++i) {
      if (l[i] != kGuard || r[i] != kGuard) {
        out.failed = true;
        ADD_FAILURE() << "written beyond the capacity of " << cap;
        return false;
      }
    }
    out.largestBlock = std::max(out.largestBlock, n);
    out.left.insert(out.left.end(), l.begin(), l.begin() + n);
    if (stereoOut) out.right.insert(out.right.end(), r.begin(), r.begin() + n);
    return true;
  };
  for (size_t pos = 0; pos < left.size(); pos += static_cast<size_t>(blockFrames)) {
    const int n = static_cast<int>(std::min<size_t>(blockFrames, left.size() - pos));
    const int cap = SampleConverter::OutputCapacity(c.Input().rate, c.Output().rate, n);
    std::fill(l.begin(), l.end(), kGuard);
    std::fill(r.begin(), r.end(), kGuard);
    const int got = c.Process(left.data() + pos, right ? right->data() + pos : nullptr, n, l.data(),
                              stereoOut ? r.data() : nullptr);
    if (!keep(got, cap)) return out;
  }
  for (int rounds = 0; rounds < 100000; ++rounds) {
    std::fill(l.begin(), l.end(), kGuard);
    std::fill(r.begin(), r.end(), kGuard);
    const int got = c.Flush(l.data(), stereoOut ? r.data() : nullptr, flushCapacity);
    if (got == 0) return out;
    if (!keep(got, flushCapacity)) return out;
  }
  out.failed = true;
  return out;
}

double Rms(const std::vector<int16_t>& s, size_t from, size_t to) {
  double sum = 0;
  for (size_t i = from; i < to; ++i) sum += static_cast<double>(s[i]) * s[i];
  return std::sqrt(sum / static_cast<double>(to - from));
}

// Frequency from the first and last rising zero crossings (interpolated) in a range.
double Frequency(const std::vector<int16_t>& s, int rate, size_t from, size_t to) {
  double first = -1, last = -1;
  int cycles = -1;
  for (size_t i = from + 1; i < to; ++i) {
    if (s[i - 1] < 0 && s[i] >= 0) {
      const double t = static_cast<double>(i - 1) +
                       static_cast<double>(-s[i - 1]) / static_cast<double>(s[i] - s[i - 1]);
      if (first < 0) first = t;
      last = t;
      ++cycles;
    }
  }
  if (cycles <= 0) return 0;
  return cycles * rate / (last - first);
}

PcmFormat Format(int rate, int channels, int bits) {
  return PcmFormat{rate, channels, bits};
}

TEST(SampleConverterSetup, CapacityIsTheWholeRatioPlusOneTimesTheFrames) {
  EXPECT_EQ(SampleConverter::OutputCapacity(44100, 48000, 1152), 2304);
  EXPECT_EQ(SampleConverter::OutputCapacity(48000, 44100, 1152), 1152);
  EXPECT_EQ(SampleConverter::OutputCapacity(8000, 44100, 1152), 6912);
  EXPECT_EQ(SampleConverter::OutputCapacity(22050, 44100, 1152), 3456);
  EXPECT_EQ(SampleConverter::OutputCapacity(0, 44100, 1152), 0);
  EXPECT_EQ(SampleConverter::OutputCapacity(44100, -1, 1152), 0);
  EXPECT_EQ(SampleConverter::OutputCapacity(44100, 48000, 0), 0);
  EXPECT_EQ(SampleConverter::OutputCapacity(1, 2147483647, 1152), 0);  // would overflow
}

TEST(SampleConverterSetup, StartsUnconfiguredAndClosed) {
  SampleConverter c;
  EXPECT_FALSE(c.IsOpen());
  EXPECT_EQ(c.Input().rate, -1);
  EXPECT_EQ(c.Input().channels, -1);
  EXPECT_EQ(c.Input().bits, -1);
  EXPECT_EQ(c.Output().rate, -1);
  EXPECT_EQ(c.Output().channels, -1);
  EXPECT_EQ(c.Output().bits, -1);
  EXPECT_EQ(c.Ratio(), 0);
  int16_t l[4] = {}, r[4] = {};
  EXPECT_EQ(c.Process(l, r, 4, l, r), -1);
  EXPECT_EQ(c.Flush(l, r, 4), -1);
}

TEST(SampleConverterSetup, RefusesFormatsItCannotCarry) {
  SampleConverter c;
  EXPECT_FALSE(c.Open(Format(44100, 3, 16), Format(44100, 2, 16)));
  EXPECT_FALSE(c.Open(Format(44100, 0, 16), Format(44100, 2, 16)));
  // Widths between 8 and 16 have no cells; wide ones are 17 to 32 bits in 32-bit cells.
  EXPECT_FALSE(c.Open(Format(44100, 2, 12), Format(44100, 2, 16)));
  EXPECT_FALSE(c.Open(Format(44100, 2, 16), Format(44100, 2, 33)));
  EXPECT_FALSE(c.Open(Format(0, 2, 16), Format(44100, 2, 16)));
  EXPECT_FALSE(c.Open(Format(44100, 2, 16), Format(-8000, 2, 16)));
  EXPECT_FALSE(c.Open(PcmFormat{}, PcmFormat{}));
  // A decoder that reports 1 Hz would ask for a filter beyond any use.
  EXPECT_FALSE(c.Open(Format(1, 1, 16), Format(44100, 1, 16)));
  EXPECT_FALSE(c.Open(Format(192000, 1, 16), Format(8, 1, 16)));
  EXPECT_FALSE(c.IsOpen());
  EXPECT_TRUE(c.Open(Format(8000, 1, 16), Format(192000, 2, 16)));
  EXPECT_TRUE(c.Open(Format(192000, 2, 8), Format(8000, 1, 8)));
  EXPECT_TRUE(c.Open(Format(96000, 2, 32), Format(48000, 1, 24)));
  EXPECT_TRUE(c.IsOpen());
}

TEST(SampleConverterSetup, RatioOnlyWhenTheRateChanges) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(44100, 2, 16), Format(44100, 1, 8)));
  EXPECT_EQ(c.Ratio(), 0);
  ASSERT_TRUE(c.Open(Format(44100, 2, 16), Format(48000, 2, 16)));
  EXPECT_DOUBLE_EQ(c.Ratio(), 48000.0 / 44100.0);
  EXPECT_EQ(c.Input().rate, 44100);
  EXPECT_EQ(c.Output().rate, 48000);
}

TEST(SampleConverterSetup, MissingBuffersAreRefusedNotDereferenced) {
  SampleConverter c;
  int16_t l[8] = {}, r[8] = {};
  std::vector<int16_t> out(64);
  ASSERT_TRUE(c.Open(Format(44100, 2, 16), Format(48000, 2, 16)));
  EXPECT_EQ(c.Process(l, nullptr, 8, out.data(), out.data() + 32), -1);
  EXPECT_EQ(c.Process(l, r, 8, out.data(), nullptr), -1);
  EXPECT_EQ(c.Process(nullptr, r, 8, out.data(), out.data() + 32), -1);
  EXPECT_EQ(c.Process(l, r, -1, out.data(), out.data() + 32), -1);
  EXPECT_EQ(c.Process(l, r, 0, out.data(), out.data() + 32), 0);
  EXPECT_EQ(c.Flush(out.data(), nullptr, 32), -1);
  EXPECT_EQ(c.Flush(out.data(), out.data() + 32, 0), -1);
  ASSERT_TRUE(c.Open(Format(44100, 1, 16), Format(44100, 1, 16)));
  EXPECT_EQ(c.Process(l, nullptr, 8, out.data(), nullptr), 8);  // mono needs no right
}

TEST(SampleConverterSameRate, EqualFormatsCopyUnchanged) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(44100, 2, 16), Format(44100, 2, 16)));
  const std::vector<int16_t> l = {-32768, -1, 0, 1, 32767}, r = {5, 4, 3, 2, 1};
  std::vector<int16_t> ol(5), orr(5);
  ASSERT_EQ(c.Process(l.data(), r.data(), 5, ol.data(), orr.data()), 5);
  EXPECT_EQ(ol, l);
  EXPECT_EQ(orr, r);
  EXPECT_EQ(c.Flush(ol.data(), orr.data(), 5), 0);

  ASSERT_TRUE(c.Open(Format(8000, 1, 8), Format(8000, 1, 8)));
  std::vector<uint8_t> bytes(256), back(256, 7);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  ASSERT_EQ(c.Process(bytes.data(), nullptr, 256, back.data(), nullptr), 256);
  EXPECT_EQ(back, bytes);
  // The same buffer may be passed in and out.
  ASSERT_EQ(c.Process(back.data(), nullptr, 256, back.data(), nullptr), 256);
  EXPECT_EQ(back, bytes);
}

TEST(SampleConverterSameRate, StereoSixteenToMonoEightNarrowsBeforeMixing) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(22050, 2, 16), Format(22050, 1, 8)));
  // 255 -> 128 and 257 -> 129 mix to 128; mixing first (256) would give 129.
  const int16_t l[] = {255, -32768, 32767, -1};
  const int16_t r[] = {257, -32768, 32767, 0};
  uint8_t out[4] = {};
  ASSERT_EQ(c.Process(l, r, 4, out, nullptr), 4);
  EXPECT_EQ(out[0], 128);
  EXPECT_EQ(out[1], 0);
  EXPECT_EQ(out[2], 255);
  EXPECT_EQ(out[3], 127);  // 127 and 128 -> 127
}

TEST(SampleConverterSameRate, MonoEightToStereoSixteenDuplicates) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(11025, 1, 8), Format(11025, 2, 16)));
  const uint8_t in[] = {0, 128, 255, 64};
  int16_t l[4] = {}, r[4] = {};
  ASSERT_EQ(c.Process(in, nullptr, 4, l, r), 4);
  const int16_t expected[] = {-32768, 0, 32512, -16384};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(l[i], expected[i]);
    EXPECT_EQ(r[i], expected[i]);
  }
}

TEST(SampleConverterSameRate, StereoToMonoAtTheSameWidthMixes) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(48000, 2, 16), Format(48000, 1, 16)));
  const int16_t l[] = {32767, -32768, -1};
  const int16_t r[] = {32767, -32767, 0};
  int16_t out[3] = {};
  ASSERT_EQ(c.Process(l, r, 3, out, nullptr), 3);
  EXPECT_EQ(out[0], 32767);
  EXPECT_EQ(out[1], -32768);
  EXPECT_EQ(out[2], -1);
}

TEST(SampleConverterResample, BlocksOf44100To48000StayWithinTheCapacity) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(44100, 2, 16), Format(48000, 2, 16)));
  const auto l = Sine(44100, 440, 0.5, kBlock * 40);
  const auto r = Sine(44100, 660, 0.3, kBlock * 40);
  const int capacity = SampleConverter::OutputCapacity(44100, 48000, kBlock);
  ASSERT_EQ(capacity, 2304);
  std::vector<int16_t> ol(capacity), orr(capacity);
  for (int b = 0; b < 40; ++b) {
    const int n =
        c.Process(l.data() + b * kBlock, r.data() + b * kBlock, kBlock, ol.data(), orr.data());
    ASSERT_GE(n, 0);
    ASSERT_LE(n, capacity);
    if (b > 0) {
      EXPECT_GE(n, 1253) << "block " << b;
      EXPECT_LE(n, 1255) << "block " << b;
    }
  }
}

TEST(SampleConverterResample, MonoToStereoFiltersOnceAndDuplicates) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(8000, 1, 16), Format(44100, 2, 16)));
  const auto in = Sine(8000, 300, 0.7, 8000);
  const Output out = RunWhole(c, in, nullptr);
  ASSERT_FALSE(out.failed);
  ASSERT_EQ(out.left.size(), out.right.size());
  EXPECT_EQ(out.left, out.right);
  EXPECT_EQ(out.left.size(), 44100u);
  EXPECT_NEAR(Frequency(out.left, 44100, 2000, 42000), 300.0, 0.3);
}

TEST(SampleConverterResample, StereoEightToMonoSixteenMixesTheBytesBeforeFiltering) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(11025, 2, 8), Format(44100, 1, 16)));
  // 255 and 0 mix to the byte 127, i.e. -1/128 of full scale: -255 at 16 bits. Mixing
  // after the float conversion would give (127/128 - 1) / 2, about -128.
  const std::vector<uint8_t> l(4000, 255), r(4000, 0);
  std::vector<int16_t> out(SampleConverter::OutputCapacity(11025, 44100, 4000));
  const int n = c.Process(l.data(), r.data(), 4000, out.data(), nullptr);
  ASSERT_GT(n, 12000);
  for (int i = 2000; i < n - 2000; ++i) ASSERT_NEAR(out[i], -255, 2) << i;
}

TEST(SampleConverterResample, EightBitOutputStaysAroundSilence) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(44100, 1, 16), Format(22050, 2, 8)));
  const std::vector<int16_t> silence(10000, 0);
  std::vector<uint8_t> l(SampleConverter::OutputCapacity(44100, 22050, 10000)), r(l.size());
  const int n = c.Process(silence.data(), nullptr, 10000, l.data(), r.data());
  ASSERT_GT(n, 4000);
  for (int i = 0; i < n; ++i) {
    ASSERT_EQ(l[i], 128);
    ASSERT_EQ(r[i], 128);
  }
}

TEST(SampleConverterResample, FullScaleOvershootIsClippedNotWrapped) {
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(44100, 1, 16), Format(48000, 1, 16)));
  // A full-scale square wave rings past full scale after filtering.
  std::vector<int16_t> square(44100);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 50) % 2 ? -32768 : 32767;
  const Output out = RunWhole(c, square, nullptr);
  ASSERT_FALSE(out.failed);
  int16_t previous = 0;
  int wild = 0;
  for (size_t i = 100; i + 100 < out.left.size(); ++i) {
    // A wrapped sample jumps between the rails within one step.
    if (std::abs(out.left[i] - previous) > 60000) ++wild;
    previous = out.left[i];
    ASSERT_GE(out.left[i], -32767);
  }
  EXPECT_EQ(wild, 0);
}

// The whole file comes out: after Flush the length is the input's times the ratio.
class WholeFileLength : public ::testing::TestWithParam<std::pair<int, int>> {};

TEST_P(WholeFileLength, MatchesTheRatioAfterFlush) {
  const auto [inRate, outRate] = GetParam();
  const int frames = inRate * 10;
  const auto l = Sine(inRate, inRate / 40.0, 0.5, frames);
  const auto r = Sine(inRate, inRate / 55.0, 0.25, frames);
  SampleConverter c;
  ASSERT_TRUE(c.Open(Format(inRate, 2, 16), Format(outRate, 2, 16)));
  const Output out = RunWhole(c, l, &r);
  ASSERT_FALSE(out.failed);
  const double expected = static_cast<double>(frames) * outRate / inRate;
  EXPECT_NEAR(static_cast<double>(out.left.size()), expected, 1) << inRate << " -> " << outRate;
  EXPECT_EQ(out.left.size(), out.right.size());
  // The end of the file is there, not silence: the last tenth of a second still sounds.
  const size_t tail = static_cast<size_t>(outRate / 10);
  EXPECT_GT(Rms(out.left, out.left.size() - tail, out.left.size() - 20), 0.5 * 32767 * 0.6);
  // Flush is done once; afterwards the stream is over.
  std::vector<int16_t> buf(kBlock * 16);
  EXPECT_EQ(c.Flush(buf.data(), buf.data() + kBlock * 8, kBlock), 0);
  EXPECT_EQ(c.Process(l.data(), r.data(), kBlock, buf.data(), buf.data() + kBlock * 8), -1);
}

INSTANTIATE_TEST_SUITE_P(Ratios, WholeFileLength,
                         ::testing::Values(std::pair{44100, 48000}, std::pair{48000, 44100},
                                           std::pair{8000, 44100}, std::pair{44100, 8000},
                                           std::pair{96000, 22050}, std::pair{11025, 96000},
                                           std::pair{44100, 88199}, std::pair{48000, 47999}));

// Whatever the block size, and however small the caller's buffers, no input is dropped.
TEST(SampleConverterResample, OddBlockSizesLoseNothing) {
  const auto in = Sine(22050, 441, 0.5, 22050 * 3);
  for (const int block : {1, 7, 1152, 5000, 66150}) {
    for (const auto& [inRate, outRate] :
         {std::pair{22050, 44099}, std::pair{22050, 8000}, std::pair{22050, 48000}}) {
      SampleConverter c;
      ASSERT_TRUE(c.Open(Format(inRate, 1, 16), Format(outRate, 1, 16)));
      const Output out = RunWhole(c, in, nullptr, block, 5);
      ASSERT_FALSE(out.failed) << block;
      EXPECT_NEAR(static_cast<double>(out.left.size()),
                  static_cast<double>(in.size()) * outRate / inRate, 1)
          << "blocks of " << block << ", " << inRate << " -> " << outRate;
    }
  }
}

TEST(SampleConverterResample, SineKeepsItsFrequencyAndLoudness) {
  for (const auto& [inRate, outRate] :
       {std::pair{44100, 48000}, std::pair{48000, 44100}, std::pair{44100, 8000},
        std::pair{8000, 44100}, std::pair{96000, 22050}, std::pair{11025, 96000}}) {
    const double hz = 1000;
    const auto in = Sine(inRate, hz, 0.5, inRate * 2);
    SampleConverter c;
    ASSERT_TRUE(c.Open(Format(inRate, 1, 16), Format(outRate, 1, 16)));
    const Output out = RunWhole(c, in, nullptr);
    ASSERT_FALSE(out.failed);
    const size_t edge = static_cast<size_t>(outRate / 10);
    const size_t end = out.left.size() - edge;
    EXPECT_NEAR(Frequency(out.left, outRate, edge, end), hz, hz * 0.001)
        << inRate << " -> " << outRate;
    EXPECT_NEAR(Rms(out.left, edge, end), Rms(in, inRate / 10, in.size() - inRate / 10),
                0.01 * 0.5 * 32767 / std::sqrt(2.0))
        << inRate << " -> " << outRate;
  }
}

// Block by block and in one go agree to within the filter's own rounding, and neither
// strays from the ideal tone more than the other, least of all where blocks meet.
TEST(SampleConverterResample, BlocksJoinWithoutSeams) {
  for (const auto& [inRate, outRate] : {std::pair{44100, 48000}, std::pair{48000, 22050}}) {
    const double hz = 997, amplitude = 0.8;
    const auto in = Sine(inRate, hz, amplitude, inRate * 3);
    SampleConverter blocked, whole;
    ASSERT_TRUE(blocked.Open(Format(inRate, 1, 16), Format(outRate, 1, 16)));
    ASSERT_TRUE(whole.Open(Format(inRate, 1, 16), Format(outRate, 1, 16)));
    const Output a = RunWhole(blocked, in, nullptr, kBlock);
    const Output b = RunWhole(whole, in, nullptr, static_cast<int>(in.size()));
    ASSERT_FALSE(a.failed);
    ASSERT_FALSE(b.failed);
    ASSERT_EQ(a.left.size(), b.left.size());
    int worstApart = 0;
    double apart = 0, errorA = 0, errorB = 0, worstAtSeam = 0, worstB = 0;
    const size_t from = 200, to = a.left.size() - 200;
    for (size_t i = from; i < to; ++i) {
      const int d = std::abs(a.left[i] - b.left[i]);
      worstApart = std::max(worstApart, d);
      apart += static_cast<double>(d) * d;
      const double ideal = amplitude * 32767 *
                           std::sin(2 * std::numbers::pi * hz * static_cast<double>(i) / outRate);
      const double ea = a.left[i] - ideal, eb = b.left[i] - ideal;
      errorA += ea * ea;
      errorB += eb * eb;
      worstB = std::max(worstB, std::abs(eb));
      // Output samples within two of an input block boundary.
      const double inputTime = static_cast<double>(i) * inRate / outRate;
      const double intoBlock = std::fmod(inputTime, kBlock);
      if (intoBlock < 2 || intoBlock > kBlock - 2)
        worstAtSeam = std::max(worstAtSeam, std::abs(ea));
    }
    const double count = static_cast<double>(to - from);
    EXPECT_LE(worstApart, 8) << inRate << " -> " << outRate;
    EXPECT_LE(std::sqrt(apart / count), 1.5) << inRate << " -> " << outRate;
    EXPECT_NEAR(std::sqrt(errorA / count), std::sqrt(errorB / count), 0.1)
        << inRate << " -> " << outRate;
    EXPECT_LE(worstAtSeam, worstB + 1) << inRate << " -> " << outRate;
  }
}

TEST(SampleConverterResample, FlushInSmallStepsGivesTheSameTail) {
  const auto in = Sine(8000, 200, 0.5, 8000);
  SampleConverter big, small;
  ASSERT_TRUE(big.Open(Format(8000, 1, 16), Format(96000, 1, 16)));
  ASSERT_TRUE(small.Open(Format(8000, 1, 16), Format(96000, 1, 16)));
  const Output a = RunWhole(big, in, nullptr, kBlock, 4096);
  const Output b = RunWhole(small, in, nullptr, kBlock, 3);
  ASSERT_FALSE(a.failed);
  ASSERT_FALSE(b.failed);
  EXPECT_EQ(a.left, b.left);
  EXPECT_EQ(a.left.size(), 96000u);
}

TEST(SampleConverterResample, ReopeningStartsAFreshFile) {
  const auto in = Sine(44100, 1000, 0.5, 44100);
  SampleConverter c, fresh;
  ASSERT_TRUE(c.Open(Format(44100, 1, 16), Format(32000, 1, 16)));
  const Output first = RunWhole(c, in, nullptr);
  ASSERT_TRUE(c.Open(Format(44100, 1, 16), Format(32000, 1, 16)));
  ASSERT_TRUE(fresh.Open(Format(44100, 1, 16), Format(32000, 1, 16)));
  const Output again = RunWhole(c, in, nullptr);
  const Output expected = RunWhole(fresh, in, nullptr);
  EXPECT_EQ(again.left, expected.left);
  EXPECT_EQ(first.left, expected.left);
}

std::vector<int16_t> FromBytes(const std::string& raw) {
  std::vector<int16_t> s(raw.size() / 2);
  for (size_t i = 0; i < s.size(); ++i) {
    s[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
  }
  return s;
}

// sox is the reference: the same tone resampled by both must be as long and as loud.
TEST(SampleConverterResample, AgreesWithSoxOnLengthAndLoudness) {
  SONORELL_REQUIRE_TOOL("sox");
  testing::TempFolder dir;
  const std::string raw16 = " -t raw -e signed-integer -b 16 -L -c 1 ";
  for (const auto& [inRate, outRate] :
       {std::pair{44100, 48000}, std::pair{48000, 44100}, std::pair{8000, 44100},
        std::pair{44100, 8000}, std::pair{96000, 22050}}) {
    const std::string tone = dir / ("tone" + std::to_string(inRate) + ".raw");
    ASSERT_TRUE(testing::CommandOutput("sox -D -n -r " + std::to_string(inRate) + raw16 +
                                       testing::ShellQuote(tone) + " synth 10 sine 1000 vol 0.5"));
    const auto in = FromBytes(testing::ReadFileBytes(tone));
    ASSERT_EQ(in.size(), static_cast<size_t>(inRate) * 10);
    const auto soxOut = testing::CommandOutput("sox -D -r " + std::to_string(inRate) + raw16 +
                                               testing::ShellQuote(tone) + raw16 + "- rate -v " +
                                               std::to_string(outRate));
    ASSERT_TRUE(soxOut);
    const auto reference = FromBytes(*soxOut);

    SampleConverter c;
    ASSERT_TRUE(c.Open(Format(inRate, 1, 16), Format(outRate, 1, 16)));
    const Output out = RunWhole(c, in, nullptr);
    ASSERT_FALSE(out.failed);
    EXPECT_EQ(out.left.size(), reference.size()) << inRate << " -> " << outRate;
    const size_t edge = static_cast<size_t>(outRate / 10);
    const size_t n = std::min(out.left.size(), reference.size());
    const double ours = Rms(out.left, edge, n - edge);
    const double theirs = Rms(reference, edge, n - edge);
    EXPECT_NEAR(ours, theirs, theirs * 0.01) << inRate << " -> " << outRate;
    EXPECT_NEAR(Frequency(out.left, outRate, edge, n - edge),
                Frequency(reference, outRate, edge, n - edge), 0.5)
        << inRate << " -> " << outRate;
  }
}

}  // namespace
}  // namespace sonorell
