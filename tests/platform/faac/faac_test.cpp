#include "platform/faac/faac.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using sonorell::testing::CommandOutput;
using sonorell::testing::ShellQuote;
using sonorell::testing::TempFolder;

struct EncoderClose {
  void operator()(FaacEncoder* e) const { faacEncClose(e); }
};
using Encoder = std::unique_ptr<FaacEncoder, EncoderClose>;

struct Opened {
  Encoder encoder;
  unsigned long inputSamples = 0;
  unsigned long maxOutputBytes = 0;
};

Opened Open(unsigned long rate, unsigned int channels) {
  Opened o;
  o.encoder.reset(faacEncOpen(rate, channels, &o.inputSamples, &o.maxOutputBytes));
  return o;
}

// The settings every Sonorell writer makes before its options.
void WriterDefaults(faacEncConfiguration& c, unsigned int outputFormat) {
  c.aacObjectType = LOW;
  c.mpegVersion = MPEG4;
  c.useTns = 0;
  c.allowMidside = 1;
  c.bandWidth = 0;
  c.outputFormat = outputFormat;
  c.inputFormat = FAAC_INPUT_16BIT;
}

// Interleaved test signal: channel c is a sine of frequencies[c % size] at amplitude
// (a fraction of full scale), plus optional white noise for material that is hard to code.
std::vector<int16_t> Signal(unsigned long rate, unsigned int channels, size_t frames,
                            const std::vector<double>& frequencies, double amplitude = 0.5,
                            double noise = 0.0) {
  std::vector<int16_t> out(frames * channels);
  uint32_t seed = 12345;
  for (size_t i = 0; i < frames; ++i) {
    for (unsigned int c = 0; c < channels; ++c) {
      const double f = frequencies[c % frequencies.size()];
      double v = amplitude * std::sin(2.0 * std::numbers::pi * f * static_cast<double>(i) /
                                      static_cast<double>(rate));
      if (noise > 0) {
        seed = seed * 1664525u + 1013904223u;
        v += noise * (static_cast<double>(seed >> 8) / static_cast<double>(1u << 24) - 0.5) * 2;
      }
      out[i * channels + c] = static_cast<int16_t>(std::lround(std::clamp(v, -1.0, 1.0) * 32767));
    }
  }
  return out;
}

struct Encoding {
  bool configured = false;
  int errors = 0;                            // -1 results
  std::vector<std::vector<uint8_t>> frames;  // each non-zero result
  std::string bytes;                         // all of them in order
  std::vector<uint8_t> decoderInfo;
};

// Drives the encoder as the writers do: full buffers, then the partly filled rest, then
// 0-sample calls while the result is positive.
Encoding Encode(unsigned long rate, unsigned int channels, const std::vector<int16_t>& samples,
                const std::function<void(faacEncConfiguration&)>& options = {},
                unsigned int outputFormat = ADTS_STREAM) {
  Encoding out;
  Opened o = Open(rate, channels);
  if (!o.encoder) return out;
  faacEncConfiguration* c = faacEncGetCurrentConfiguration(o.encoder.get());
  WriterDefaults(*c, outputFormat);
  if (options) options(*c);
  if (!faacEncSetConfiguration(o.encoder.get(), c)) return out;
  out.configured = true;
  unsigned char* info = nullptr;
  unsigned long infoSize = 0;
  if (faacEncGetDecoderSpecificInfo(o.encoder.get(), &info, &infoSize) == 0) {
    out.decoderInfo.assign(info, info + infoSize);
    std::free(info);
  }
  std::vector<unsigned char> buffer(o.maxOutputBytes);
  std::vector<int16_t> block(o.inputSamples);
  const auto store = [&](int n) {
    if (n < 0) ++out.errors;
    if (n <= 0) return;
    out.frames.emplace_back(buffer.begin(), buffer.begin() + n);
    out.bytes.append(reinterpret_cast<const char*>(buffer.data()), static_cast<size_t>(n));
  };
  const auto call = [&](size_t count) {
    return faacEncEncode(o.encoder.get(), reinterpret_cast<int32_t*>(block.data()),
                         static_cast<unsigned int>(count), buffer.data(),
                         static_cast<unsigned int>(buffer.size()));
  };
  size_t at = 0;
  while (samples.size() - at >= o.inputSamples) {
    std::memcpy(block.data(), samples.data() + at, o.inputSamples * sizeof(int16_t));
    at += o.inputSamples;
    store(call(o.inputSamples));
  }
  const size_t rest = samples.size() - at;
  if (rest > 0) std::memcpy(block.data(), samples.data() + at, rest * sizeof(int16_t));
  int n = call(rest);
  // Bounded: an encoder that never ends would hang the writers too.
  for (int guard = 0; n > 0 && guard < 1000; ++guard) {
    store(n);
    n = call(0);
  }
  store(n);
  return out;
}

struct AdtsHeader {
  int id = 0;
  int layer = 0;
  int protectionAbsent = 0;
  int profile = 0;
  int samplingIndex = 0;
  int privateBit = 0;
  int channelConfig = 0;
  size_t length = 0;
  int fullness = 0;
  int blocks = 0;
};

AdtsHeader ParseHeader(const uint8_t* d) {
  AdtsHeader h;
  h.id = (d[1] >> 3) & 1;
  h.layer = (d[1] >> 1) & 3;
  h.protectionAbsent = d[1] & 1;
  h.profile = d[2] >> 6;
  h.samplingIndex = (d[2] >> 2) & 0x0F;
  h.privateBit = (d[2] >> 1) & 1;
  h.channelConfig = ((d[2] & 1) << 2) | (d[3] >> 6);
  h.length = ((d[3] & 3u) << 11) | (static_cast<size_t>(d[4]) << 3) | (d[5] >> 5);
  h.fullness = ((d[5] & 0x1F) << 6) | (d[6] >> 2);
  h.blocks = d[6] & 3;
  return h;
}

// Every header of a stream, first to last; nullopt unless the frame lengths chain exactly
// to the end of the data from valid sync words.
std::optional<std::vector<AdtsHeader>> ParseAdts(const std::string& bytes) {
  std::vector<AdtsHeader> headers;
  const auto* d = reinterpret_cast<const uint8_t*>(bytes.data());
  size_t p = 0;
  while (p < bytes.size()) {
    if (p + 7 > bytes.size() || d[p] != 0xFF || (d[p + 1] & 0xF0) != 0xF0) return std::nullopt;
    const AdtsHeader h = ParseHeader(d + p);
    if (h.length <= 7 || p + h.length > bytes.size()) return std::nullopt;
    headers.push_back(h);
    p += h.length;
  }
  return headers;
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string Probe(const std::string& path, const std::string& entries) {
  return CommandOutput("ffprobe -v error -select_streams a:0 -show_entries stream=" + entries +
                       " -of default=noprint_wrappers=1 " + ShellQuote(path))
      .value_or("");
}

// Decoded samples of every channel, interleaved; empty when ffmpeg cannot decode the file.
std::vector<int16_t> Decode(const std::string& path) {
  return sonorell::testing::FfmpegDecode16(path).value_or(std::vector<int16_t>());
}

// Power of one frequency in a channel of interleaved samples (Goertzel), scaled so that a
// full-scale sine gives about 0.5.
double ToneLevel(const std::vector<int16_t>& interleaved, unsigned int channels,
                 unsigned int channel, double frequency, unsigned long rate, size_t from) {
  const double w = 2.0 * std::numbers::pi * frequency / static_cast<double>(rate);
  double s1 = 0, s2 = 0;
  size_t n = 0;
  for (size_t i = from * channels + channel; i < interleaved.size(); i += channels, ++n) {
    const double s = interleaved[i] / 32768.0 + 2.0 * std::cos(w) * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  if (n == 0) return 0;
  const double power = s1 * s1 + s2 * s2 - 2.0 * std::cos(w) * s1 * s2;
  return 2.0 * power / (static_cast<double>(n) * static_cast<double>(n));
}

// Opening

TEST(FaacOpen, RefusesRatesOutsideTheAacTableAndBadChannelCounts) {
  for (const unsigned long rate : {0ul, 44000ul, 44101ul, 6000ul, 100000ul, 192000ul}) {
    EXPECT_FALSE(Open(rate, 2).encoder) << rate;
  }
  for (const unsigned int channels : {0u, 7u, 8u, 100u}) {
    EXPECT_FALSE(Open(44100, channels).encoder) << channels;
  }
}

TEST(FaacOpen, TakesEveryTableRateAndOneToSixChannels) {
  for (const unsigned long rate : {96000ul, 88200ul, 64000ul, 48000ul, 44100ul, 32000ul, 24000ul,
                                   22050ul, 16000ul, 12000ul, 11025ul, 8000ul, 7350ul}) {
    for (unsigned int channels = 1; channels <= 6; ++channels) {
      const Opened o = Open(rate, channels);
      ASSERT_TRUE(o.encoder) << rate << " Hz, " << channels << " channels";
      EXPECT_EQ(o.inputSamples, 1024u * channels);
      EXPECT_GE(o.maxOutputBytes, 8192u * channels + 7);
      faacEncConfiguration* c = faacEncGetCurrentConfiguration(o.encoder.get());
      ASSERT_NE(c, nullptr);
      c->inputFormat = FAAC_INPUT_16BIT;
      EXPECT_TRUE(faacEncSetConfiguration(o.encoder.get(), c)) << rate << " " << channels;
    }
  }
}

TEST(FaacOpen, StartsWithTheLibraryDefaults) {
  const Opened o = Open(44100, 2);
  ASSERT_TRUE(o.encoder);
  const faacEncConfiguration* c = faacEncGetCurrentConfiguration(o.encoder.get());
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->aacObjectType, LOW);
  EXPECT_EQ(c->mpegVersion, MPEG4);
  EXPECT_EQ(c->allowMidside, 1u);
  EXPECT_EQ(c->useTns, 0u);
  EXPECT_EQ(c->bitRate, 0u);
  EXPECT_EQ(c->quantqual, 100u);
  EXPECT_EQ(c->outputFormat, ADTS_STREAM);
  EXPECT_EQ(c->shortctl, SHORTCTL_NORMAL);
}

TEST(FaacOpen, NullHandlesAreHarmless) {
  EXPECT_EQ(faacEncGetCurrentConfiguration(nullptr), nullptr);
  faacEncConfiguration c;
  EXPECT_EQ(faacEncSetConfiguration(nullptr, &c), 0);
  unsigned char out[16];
  int16_t in[2] = {};
  EXPECT_EQ(faacEncEncode(nullptr, reinterpret_cast<int32_t*>(in), 2, out, sizeof out), -1);
  unsigned char* info = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(faacEncGetDecoderSpecificInfo(nullptr, &info, &size), -1);
  EXPECT_EQ(faacEncClose(nullptr), 0);
  const Opened o = Open(44100, 2);
  ASSERT_TRUE(o.encoder);
  EXPECT_EQ(faacEncSetConfiguration(o.encoder.get(), nullptr), 0);
}

// Configuration

bool Accepts(const std::function<void(faacEncConfiguration&)>& change, unsigned long rate = 44100,
             unsigned int channels = 2) {
  const Opened o = Open(rate, channels);
  if (!o.encoder) return false;
  faacEncConfiguration* c = faacEncGetCurrentConfiguration(o.encoder.get());
  WriterDefaults(*c, ADTS_STREAM);
  change(*c);
  return faacEncSetConfiguration(o.encoder.get(), c) != 0;
}

TEST(FaacConfiguration, RefusesWhatTheEncoderCannotHonour) {
  for (const unsigned int type : {MAIN, SSR, LTP, 0u, 5u}) {
    EXPECT_FALSE(Accepts([&](auto& c) { c.aacObjectType = type; })) << "object type " << type;
  }
  EXPECT_FALSE(Accepts([](auto& c) { c.shortctl = SHORTCTL_NOSHORT; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.shortctl = SHORTCTL_NOLONG; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.shortctl = -1; }));
  for (const unsigned int format : {FAAC_INPUT_NULL, FAAC_INPUT_24BIT, FAAC_INPUT_32BIT, 9u}) {
    EXPECT_FALSE(Accepts([&](auto& c) { c.inputFormat = format; })) << "input " << format;
  }
  EXPECT_FALSE(Accepts([](auto& c) { c.mpegVersion = 2; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.outputFormat = 2; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.quantqual = 9; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.quantqual = 501; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.quantqual = 0; }));
  // An AAC channel carries at most 6144 bits per frame: 264600 bit/s at 44100 Hz.
  EXPECT_FALSE(Accepts([](auto& c) { c.bitRate = 264601; }));
  EXPECT_FALSE(Accepts([](auto& c) { c.bitRate = 64000; }, 8000, 1));
}

TEST(FaacConfiguration, TakesTheWritersOptions) {
  EXPECT_TRUE(Accepts([](auto&) {}));
  EXPECT_TRUE(Accepts([](auto& c) { c.quantqual = 10; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.quantqual = 500; }));
  // quantqual only matters in quality mode.
  EXPECT_TRUE(Accepts([](auto& c) {
    c.bitRate = 64000;
    c.quantqual = 9;
  }));
  EXPECT_TRUE(Accepts([](auto& c) { c.bitRate = 8000; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.bitRate = 264600; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.bitRate = 320000; }, 96000, 1));
  EXPECT_TRUE(Accepts([](auto& c) { c.mpegVersion = MPEG2; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.useTns = 1; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.allowMidside = 0; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.inputFormat = FAAC_INPUT_FLOAT; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.outputFormat = RAW_STREAM; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.bandWidth = 16000; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.bandWidth = 100000; }));
  EXPECT_TRUE(Accepts([](auto& c) { c.useLfe = 1; }));
}

TEST(FaacConfiguration, CanChangeUntilTheFirstFrameAndNotAfter) {
  const Opened o = Open(44100, 1);
  ASSERT_TRUE(o.encoder);
  faacEncConfiguration* c = faacEncGetCurrentConfiguration(o.encoder.get());
  WriterDefaults(*c, ADTS_STREAM);
  ASSERT_TRUE(faacEncSetConfiguration(o.encoder.get(), c));
  c->mpegVersion = MPEG2;
  ASSERT_TRUE(faacEncSetConfiguration(o.encoder.get(), c));
  // A refused change leaves the encoder as it was configured.
  c->shortctl = SHORTCTL_NOSHORT;
  EXPECT_FALSE(faacEncSetConfiguration(o.encoder.get(), c));

  std::vector<int16_t> block(o.inputSamples);
  std::vector<unsigned char> out(o.maxOutputBytes);
  const auto encode = [&](unsigned int n) {
    return faacEncEncode(o.encoder.get(), reinterpret_cast<int32_t*>(block.data()), n, out.data(),
                         static_cast<unsigned int>(out.size()));
  };
  EXPECT_GE(encode(static_cast<unsigned int>(o.inputSamples)), 0);
  c->shortctl = SHORTCTL_NORMAL;
  c->mpegVersion = MPEG4;
  EXPECT_FALSE(faacEncSetConfiguration(o.encoder.get(), c));
  int n = encode(0);
  for (int guard = 0; n == 0 && guard < 4; ++guard) n = encode(0);
  ASSERT_GT(n, 7);
  EXPECT_EQ(ParseHeader(out.data()).id, 1) << "the MPEG-2 configuration stays in force";
}

TEST(FaacConfiguration, FirstEncodeConfiguresWithTheCurrentFields) {
  const Opened o = Open(22050, 1);
  ASSERT_TRUE(o.encoder);
  std::vector<int16_t> block(o.inputSamples);
  std::vector<unsigned char> out(o.maxOutputBytes);
  const auto encode = [&](unsigned int n) {
    return faacEncEncode(o.encoder.get(), reinterpret_cast<int32_t*>(block.data()), n, out.data(),
                         static_cast<unsigned int>(out.size()));
  };
  unsigned char* info = nullptr;
  unsigned long size = 0;
  EXPECT_EQ(faacEncGetDecoderSpecificInfo(o.encoder.get(), &info, &size), -1);
  EXPECT_EQ(info, nullptr);
  // The library's own default input format (32-bit) is not one the encoder takes.
  EXPECT_EQ(encode(static_cast<unsigned int>(o.inputSamples)), -1);

  const Opened p = Open(22050, 1);
  faacEncGetCurrentConfiguration(p.encoder.get())->inputFormat = FAAC_INPUT_16BIT;
  faacEncGetCurrentConfiguration(p.encoder.get())->mpegVersion = MPEG2;
  int n = faacEncEncode(p.encoder.get(), reinterpret_cast<int32_t*>(block.data()),
                        static_cast<unsigned int>(p.inputSamples), out.data(),
                        static_cast<unsigned int>(out.size()));
  for (int guard = 0; n == 0 && guard < 4; ++guard) {
    n = faacEncEncode(p.encoder.get(), nullptr, 0, out.data(),
                      static_cast<unsigned int>(out.size()));
  }
  ASSERT_GT(n, 7);
  EXPECT_EQ(ParseHeader(out.data()).id, 1);
  EXPECT_EQ(ParseHeader(out.data()).samplingIndex, 7);
}

// Encoding

struct StreamCase {
  unsigned long rate;
  unsigned int channels;
  unsigned int mpegVersion;
  int samplingIndex;
};

TEST(FaacAdts, EveryFrameHasAValidHeaderAndTheLengthsChainToTheEnd) {
  for (const StreamCase& k : {StreamCase{44100, 2, MPEG4, 4}, StreamCase{44100, 2, MPEG2, 4},
                              StreamCase{22050, 1, MPEG2, 7}, StreamCase{48000, 1, MPEG4, 3},
                              StreamCase{8000, 2, MPEG4, 11}, StreamCase{96000, 6, MPEG4, 0}}) {
    SCOPED_TRACE(std::to_string(k.rate) + " Hz, " + std::to_string(k.channels) +
                 " channels, MPEG-" + (k.mpegVersion == MPEG2 ? "2" : "4"));
    const size_t frames = k.rate / 2 + 333;
    const Encoding e = Encode(k.rate, k.channels, Signal(k.rate, k.channels, frames, {440, 1000}),
                              [&](auto& c) { c.mpegVersion = k.mpegVersion; });
    ASSERT_TRUE(e.configured);
    EXPECT_EQ(e.errors, 0);
    const auto headers = ParseAdts(e.bytes);
    ASSERT_TRUE(headers.has_value()) << "the frames do not chain";
    ASSERT_EQ(headers->size(), e.frames.size());
    EXPECT_GE(headers->size(), (frames + 1023) / 1024);
    for (size_t i = 0; i < headers->size(); ++i) {
      const AdtsHeader& h = (*headers)[i];
      SCOPED_TRACE("frame " + std::to_string(i));
      EXPECT_EQ(h.length, e.frames[i].size()) << "one result is one whole frame";
      EXPECT_EQ(h.id, k.mpegVersion == MPEG2 ? 1 : 0);
      EXPECT_EQ(h.layer, 0);
      EXPECT_EQ(h.protectionAbsent, 1);
      EXPECT_EQ(h.profile, 1) << "AAC LC";
      EXPECT_EQ(h.samplingIndex, k.samplingIndex);
      EXPECT_EQ(h.privateBit, 0);
      EXPECT_EQ(h.channelConfig, static_cast<int>(k.channels));
      EXPECT_EQ(h.fullness, 0x7FF);
      EXPECT_EQ(h.blocks, 0);
    }
  }
}

TEST(FaacAdts, FfmpegDecodesTheStreamWithItsRateChannelsAndLength) {
  SONORELL_REQUIRE_TOOL("ffprobe");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const TempFolder dir;
  for (const StreamCase& k : {StreamCase{44100, 2, MPEG4, 4}, StreamCase{32000, 1, MPEG2, 5}}) {
    SCOPED_TRACE(std::to_string(k.rate) + " Hz");
    const size_t frames = k.rate * 2 + 100;
    const Encoding e = Encode(k.rate, k.channels, Signal(k.rate, k.channels, frames, {440, 1000}),
                              [&](auto& c) { c.mpegVersion = k.mpegVersion; });
    ASSERT_TRUE(e.configured);
    const std::string path = dir / (std::to_string(k.rate) + ".aac");
    WriteFile(path, e.bytes);
    const std::string info = Probe(path, "codec_name,profile,sample_rate,channels");
    EXPECT_NE(info.find("codec_name=aac"), std::string::npos) << info;
    EXPECT_NE(info.find("profile=LC"), std::string::npos) << info;
    EXPECT_NE(info.find("sample_rate=" + std::to_string(k.rate)), std::string::npos) << info;
    EXPECT_NE(info.find("channels=" + std::to_string(k.channels)), std::string::npos) << info;
    const std::vector<int16_t> decoded = Decode(path);
    const size_t decodedFrames = decoded.size() / k.channels;
    // Every input sample comes out, after the encoder's start-up frame, with at most the
    // padding of the last frame and one more frame of delay.
    EXPECT_GE(decodedFrames, frames);
    EXPECT_LE(decodedFrames, frames + 3 * 1024);
    EXPECT_EQ(decodedFrames, e.frames.size() * 1024);
  }
}

TEST(FaacAdts, ChannelsKeepTheirOwnSignalAtTheirLevel) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const TempFolder dir;
  const unsigned long rate = 44100;
  const auto check = [&](const Encoding& e, const std::string& name) {
    SCOPED_TRACE(name);
    ASSERT_TRUE(e.configured);
    const std::string path = dir / (name + ".aac");
    WriteFile(path, e.bytes);
    const std::vector<int16_t> decoded = Decode(path);
    ASSERT_GT(decoded.size(), rate * 2);
    // A sine at half scale: Goertzel level 0.5 × 0.5² = 0.125.
    EXPECT_NEAR(ToneLevel(decoded, 2, 0, 440, rate, 4096), 0.125, 0.02);
    EXPECT_NEAR(ToneLevel(decoded, 2, 1, 1000, rate, 4096), 0.125, 0.02);
    EXPECT_LT(ToneLevel(decoded, 2, 0, 1000, rate, 4096), 0.005) << "right leaked into left";
    EXPECT_LT(ToneLevel(decoded, 2, 1, 440, rate, 4096), 0.005) << "left leaked into right";
  };
  const std::vector<int16_t> samples = Signal(rate, 2, rate * 2, {440, 1000});
  check(Encode(rate, 2, samples), "16-bit");
  check(Encode(rate, 2, samples, [](auto& c) { c.allowMidside = 0; }), "no mid-side");
  check(Encode(rate, 2, samples, [](auto& c) { c.useTns = 1; }), "tns");

  // The same signal as floats scaled to ±32768 through the float input.
  std::vector<float> floats(samples.begin(), samples.end());
  Opened o = Open(rate, 2);
  ASSERT_TRUE(o.encoder);
  faacEncConfiguration* c = faacEncGetCurrentConfiguration(o.encoder.get());
  WriterDefaults(*c, ADTS_STREAM);
  c->inputFormat = FAAC_INPUT_FLOAT;
  ASSERT_TRUE(faacEncSetConfiguration(o.encoder.get(), c));
  Encoding e;
  e.configured = true;
  std::vector<unsigned char> out(o.maxOutputBytes);
  const auto store = [&](int n) {
    if (n > 0) e.bytes.append(reinterpret_cast<const char*>(out.data()), static_cast<size_t>(n));
  };
  for (size_t at = 0; at + o.inputSamples <= floats.size(); at += o.inputSamples) {
    store(faacEncEncode(o.encoder.get(), reinterpret_cast<int32_t*>(floats.data() + at),
                        static_cast<unsigned int>(o.inputSamples), out.data(),
                        static_cast<unsigned int>(out.size())));
  }
  for (int n = 1, guard = 0; n > 0 && guard < 10; ++guard) {
    n = faacEncEncode(o.encoder.get(), nullptr, 0, out.data(),
                      static_cast<unsigned int>(out.size()));
    store(n);
  }
  check(e, "float");
}

TEST(FaacAdts, BandWidthCutsHighFrequencies) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const TempFolder dir;
  const unsigned long rate = 44100;
  const std::vector<int16_t> samples = Signal(rate, 1, rate * 2, {1000}, 0.3);
  std::vector<int16_t> mixed = Signal(rate, 1, rate * 2, {9000}, 0.3);
  for (size_t i = 0; i < mixed.size(); ++i) mixed[i] = static_cast<int16_t>(mixed[i] + samples[i]);
  const auto levels = [&](unsigned int bandWidth) {
    const Encoding e = Encode(rate, 1, mixed, [&](auto& c) { c.bandWidth = bandWidth; });
    const std::string path = dir / ("bw" + std::to_string(bandWidth) + ".aac");
    WriteFile(path, e.bytes);
    const std::vector<int16_t> decoded = Decode(path);
    return std::make_pair(ToneLevel(decoded, 1, 0, 1000, rate, 4096),
                          ToneLevel(decoded, 1, 0, 9000, rate, 4096));
  };
  const auto [low, high] = levels(0);
  EXPECT_NEAR(low, 0.045, 0.01);
  EXPECT_NEAR(high, 0.045, 0.01) << "the encoder's own cut-off keeps 9 kHz";
  const auto [lowCut, highCut] = levels(4000);
  EXPECT_NEAR(lowCut, 0.045, 0.01);
  EXPECT_LT(highCut, 0.002) << "a 4 kHz band width removes 9 kHz";
}

TEST(FaacAdts, AverageBitRateMeetsItsTarget) {
  const unsigned long rate = 44100;
  const size_t frames = rate * 10;
  const Encoding e = Encode(rate, 2, Signal(rate, 2, frames, {440, 3000}, 0.4, 0.3),
                            [](auto& c) { c.bitRate = 64000; });
  ASSERT_TRUE(e.configured);
  ASSERT_FALSE(e.frames.empty());
  size_t payload = 0;
  for (const auto& f : e.frames) payload += f.size() - 7;
  const double seconds = static_cast<double>(e.frames.size() * 1024) / rate;
  const double kbps = static_cast<double>(payload) * 8 / seconds / 1000;
  EXPECT_NEAR(kbps, 128.0, 128.0 * 0.15);
}

TEST(FaacAdts, QualityChangesTheSize) {
  const unsigned long rate = 44100;
  const std::vector<int16_t> samples = Signal(rate, 2, rate * 4, {440, 3000}, 0.4, 0.1);
  const Encoding low = Encode(rate, 2, samples, [](auto& c) { c.quantqual = 50; });
  const Encoding normal = Encode(rate, 2, samples, [](auto& c) { c.quantqual = 100; });
  const Encoding high = Encode(rate, 2, samples, [](auto& c) { c.quantqual = 300; });
  ASSERT_TRUE(low.configured && normal.configured && high.configured);
  EXPECT_LT(low.bytes.size() * 5, normal.bytes.size() * 4);
  EXPECT_LT(normal.bytes.size() * 3, high.bytes.size() * 2);
}

TEST(FaacRaw, RawFramesAreTheAdtsPayloads) {
  const unsigned long rate = 48000;
  const std::vector<int16_t> samples = Signal(rate, 2, rate, {440, 1000});
  const Encoding adts = Encode(rate, 2, samples);
  const Encoding raw = Encode(rate, 2, samples, {}, RAW_STREAM);
  ASSERT_EQ(adts.frames.size(), raw.frames.size());
  ASSERT_FALSE(raw.frames.empty());
  for (size_t i = 0; i < raw.frames.size(); ++i) {
    ASSERT_EQ(std::vector<uint8_t>(adts.frames[i].begin() + 7, adts.frames[i].end()), raw.frames[i])
        << "frame " << i;
  }
}

TEST(FaacRaw, DecoderSpecificInfoIsTheAudioSpecificConfig) {
  struct Case {
    unsigned long rate;
    unsigned int channels;
    uint8_t first, second;
  };
  // object type 2 (5 bits), sampling index (4 bits), channel configuration (4 bits).
  for (const Case& k : {Case{44100, 2, 0x12, 0x10}, Case{48000, 1, 0x11, 0x88},
                        Case{22050, 2, 0x13, 0x90}, Case{8000, 1, 0x15, 0x88}}) {
    const Encoding e = Encode(k.rate, k.channels, {}, {}, RAW_STREAM);
    ASSERT_TRUE(e.configured);
    ASSERT_GE(e.decoderInfo.size(), 2u);
    EXPECT_EQ(e.decoderInfo[0], k.first) << k.rate;
    EXPECT_EQ(e.decoderInfo[1], k.second) << k.rate;
  }
}

TEST(FaacRaw, TheConfigAloneDescribesTheRawFrames) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  // An MP4 reader knows raw frames only through the AudioSpecificConfig: ADTS headers built
  // from it alone must give a stream that decodes in full.
  const TempFolder dir;
  const unsigned long rate = 44100;
  const size_t frames = rate + 77;
  const Encoding e = Encode(rate, 2, Signal(rate, 2, frames, {440, 1000}), {}, RAW_STREAM);
  ASSERT_GE(e.decoderInfo.size(), 2u);
  const int objectType = e.decoderInfo[0] >> 3;
  const int index = ((e.decoderInfo[0] & 7) << 1) | (e.decoderInfo[1] >> 7);
  const int config = (e.decoderInfo[1] >> 3) & 0x0F;
  std::string stream;
  for (const auto& f : e.frames) {
    const size_t length = f.size() + 7;
    const uint8_t h[7] = {
        0xFF,
        0xF1,
        static_cast<uint8_t>(((objectType - 1) << 6) | (index << 2) | (config >> 2)),
        static_cast<uint8_t>(((config & 3) << 6) | (length >> 11)),
        static_cast<uint8_t>(length >> 3),
        static_cast<uint8_t>(((length & 7) << 5) | 0x1F),
        0xFC};
    stream.append(reinterpret_cast<const char*>(h), 7);
    stream.append(reinterpret_cast<const char*>(f.data()), f.size());
  }
  const std::string path = dir / "rebuilt.aac";
  WriteFile(path, stream);
  EXPECT_GE(Decode(path).size() / 2, frames);
}

// Flushing and odd calls

TEST(FaacFlush, DrainsEveryFrameTheEncoderHeld) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const TempFolder dir;
  const unsigned long rate = 44100;
  for (const size_t frames :
       {size_t{0}, size_t{100}, size_t{1024}, size_t{1025}, size_t{4096}, size_t{10000}}) {
    SCOPED_TRACE(std::to_string(frames) + " samples");
    const Encoding e = Encode(rate, 2, Signal(rate, 2, frames, {440, 1000}));
    ASSERT_TRUE(e.configured);
    EXPECT_EQ(e.errors, 0);
    // One frame of start-up delay: the input's frames plus one come out.
    const size_t expected = frames == 0 ? 0 : (frames + 1023) / 1024 + 1;
    EXPECT_EQ(e.frames.size(), expected);
    if (frames == 0) continue;
    const std::string path = dir / (std::to_string(frames) + ".aac");
    WriteFile(path, e.bytes);
    EXPECT_GE(Decode(path).size() / 2, frames);
  }
}

TEST(FaacFlush, OnlyZeroComesAfterTheEnd) {
  const Opened o = Open(44100, 1);
  ASSERT_TRUE(o.encoder);
  faacEncGetCurrentConfiguration(o.encoder.get())->inputFormat = FAAC_INPUT_16BIT;
  std::vector<int16_t> block(o.inputSamples, 1000);
  std::vector<unsigned char> out(o.maxOutputBytes);
  auto* in = reinterpret_cast<int32_t*>(block.data());
  const auto size = static_cast<unsigned int>(out.size());
  int frames = 0;
  for (int i = 0; i < 3; ++i) {
    const int n = faacEncEncode(o.encoder.get(), in, 1024, out.data(), size);
    ASSERT_GE(n, 0);
    frames += n > 0;
  }
  int n = faacEncEncode(o.encoder.get(), in, 500, out.data(), size);
  EXPECT_GT(n, 0) << "the short frame's call already drains";
  while (n > 0) {
    ++frames;
    n = faacEncEncode(o.encoder.get(), in, 0, out.data(), size);
  }
  EXPECT_EQ(n, 0);
  EXPECT_EQ(frames, 5);
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 0, out.data(), size), 0);
  EXPECT_EQ(faacEncEncode(o.encoder.get(), nullptr, 0, out.data(), size), 0);
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 1024, out.data(), size), -1)
      << "no samples after the end";
}

TEST(FaacFlush, RefusesMalformedCallsWithoutLosingFrames) {
  const Opened o = Open(44100, 2);
  ASSERT_TRUE(o.encoder);
  faacEncGetCurrentConfiguration(o.encoder.get())->inputFormat = FAAC_INPUT_16BIT;
  const std::vector<int16_t> samples = Signal(44100, 2, 2048, {440, 1000});
  std::vector<int16_t> block(samples);
  std::vector<unsigned char> out(o.maxOutputBytes);
  auto* in = reinterpret_cast<int32_t*>(block.data());
  const auto size = static_cast<unsigned int>(out.size());
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 2048, nullptr, size), -1);
  EXPECT_EQ(faacEncEncode(o.encoder.get(), nullptr, 2048, out.data(), size), -1);
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 2049, out.data(), size), -1);
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 3, out.data(), size), -1) << "half a frame";
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 2048, out.data(), size), 0);
  // The second frame releases the first, which does not fit 8 bytes; it stays queued.
  EXPECT_EQ(faacEncEncode(o.encoder.get(), in, 2048, out.data(), 8), -1);
  int n = faacEncEncode(o.encoder.get(), in, 0, out.data(), size);
  int frames = 0;
  while (n > 0) {
    ++frames;
    n = faacEncEncode(o.encoder.get(), in, 0, out.data(), size);
  }
  EXPECT_EQ(n, 0);
  EXPECT_EQ(frames, 3) << "two frames in, one of delay";
}

}  // namespace
}  // namespace platform
