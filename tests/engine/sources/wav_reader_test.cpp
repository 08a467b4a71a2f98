#include "engine/sources/wav/wav_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "engine/sources/codecs/ms_adpcm.h"
#include "engine/sources/codecs/pcm_to_16.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::DecodeAll;
using testing::Decoded;
using testing::FfmpegDecode16;
using testing::ReadFileBytes;
using testing::SamplePath;
using testing::ShellQuote;
using testing::SoxDecode16;
using testing::SplitChannels;
using testing::TempFolder;
using testing::WriteFileBytes;

// ---- building WAVE files byte by byte ----------------------------------------------

std::string Le16(uint16_t v) {
  return {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
}
std::string Le32(uint32_t v) {
  return Le16(static_cast<uint16_t>(v)) + Le16(static_cast<uint16_t>(v >> 16));
}

// A chunk with its pad byte when the body is odd-sized.
std::string Chunk(const std::string& id, const std::string& body) {
  std::string c = id + Le32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() % 2) c += '\0';
  return c;
}

std::string FmtBody(uint16_t tag, uint16_t channels, uint32_t rate, uint16_t blockAlign,
                    uint16_t bits, const std::string& extension = "") {
  return Le16(tag) + Le16(channels) + Le32(rate) + Le32(rate * blockAlign) + Le16(blockAlign) +
         Le16(bits) + extension;
}

std::string Riff(const std::string& chunks) {
  return "RIFF" + Le32(static_cast<uint32_t>(4 + chunks.size())) + "WAVE" + chunks;
}

std::string Pcm16Wav(uint16_t channels, uint32_t rate, const std::vector<int16_t>& interleaved) {
  std::string data;
  for (int16_t s : interleaved) data += Le16(static_cast<uint16_t>(s));
  return Riff(Chunk("fmt ", FmtBody(1, channels, rate, static_cast<uint16_t>(2 * channels), 16)) +
              Chunk("data", data));
}

// The extension of WAVE_FORMAT_EXTENSIBLE with the given sub-format word.
std::string ExtensibleExtension(uint16_t validBits, uint32_t mask, uint16_t subFormat) {
  static const char kGuidTail[] = "\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71";
  return Le16(22) + Le16(validBits) + Le32(mask) + Le16(subFormat) +
         std::string(kGuidTail, sizeof kGuidTail - 1);
}

std::string ImaExtension(uint16_t samplesPerBlock) {
  return Le16(2) + Le16(samplesPerBlock);
}

// The seven standard coefficient pairs, as every writer stores them.
std::string MsExtension(uint16_t samplesPerBlock, int pairs = 7) {
  static const int16_t kPairs[7][2] = {{256, 0}, {512, -256}, {0, 0},     {192, 64},
                                       {240, 0}, {460, -208}, {392, -232}};
  std::string e = Le16(static_cast<uint16_t>(4 + 4 * pairs)) + Le16(samplesPerBlock) +
                  Le16(static_cast<uint16_t>(pairs));
  for (int i = 0; i < pairs; ++i) {
    e += Le16(static_cast<uint16_t>(kPairs[i % 7][0])) +
         Le16(static_cast<uint16_t>(kPairs[i % 7][1]));
  }
  return e;
}

std::string GsmExtension() {
  return Le16(2) + Le16(320);
}

// ---- references --------------------------------------------------------------------

// Whole-file decode through a fresh reader; nullopt when it refuses the file.
std::optional<Decoded> DecodeFile(const std::string& path) {
  WavReader reader;
  if (!reader.Open(path, 44100)) return std::nullopt;
  return DecodeAll(reader);
}

std::optional<Decoded> DecodeBytes(const std::string& bytes) {
  TempFolder temp;
  const std::string path = temp / "input.wav";
  WriteFileBytes(path, bytes);
  return DecodeFile(path);
}

bool Opens(const std::string& bytes) {
  return DecodeBytes(bytes).has_value();
}

std::vector<uint8_t> RawBytes(const std::string& command) {
  const auto raw = CommandOutput(command);
  return raw ? std::vector<uint8_t>(raw->begin(), raw->end()) : std::vector<uint8_t>{};
}

// sox's 32-bit decode, cut to the upper 16 bits: the reference for wide integer samples
// (sox's own 16-bit output rounds instead of truncating).
std::vector<int16_t> SoxUpper16(const std::string& path) {
  const auto raw = RawBytes("sox -D " + ShellQuote(path) + " -t raw -e signed-integer -b 32 -L -");
  std::vector<int16_t> out(raw.size() / 4);
  for (size_t i = 0; i < out.size(); ++i) {
    out[i] = Int32ToInt16(static_cast<int32_t>(LoadLe32(raw.data() + 4 * i)));
  }
  return out;
}

// The stored floats exactly as ffmpeg demuxes them (no conversion), scaled the way a
// 16-bit output wants them: x x 2147483647, truncated, upper 16 bits, clamped.
std::vector<int16_t> FfmpegFloatTo16(const std::string& path, bool doubles) {
  const auto raw =
      RawBytes("ffmpeg -nostdin -v error -i " + ShellQuote(path) +
               (doubles ? " -f f64le -acodec pcm_f64le -" : " -f f32le -acodec pcm_f32le -"));
  const size_t width = doubles ? 8 : 4;
  std::vector<int16_t> out(raw.size() / width);
  for (size_t i = 0; i < out.size(); ++i) {
    const uint8_t* p = raw.data() + width * i;
    const double x = doubles ? BitsToDouble(LoadLe64(p)) : BitsToFloat(LoadLe32(p));
    const double scaled = std::trunc(x * 2147483647.0);
    const double clamped = std::fmin(std::fmax(scaled, -2147483648.0), 2147483647.0);
    out[i] = static_cast<int16_t>(static_cast<int32_t>(clamped) >> 16);
  }
  return out;
}

std::vector<int16_t> SoxUnsigned8(const std::string& path) {
  const auto raw = RawBytes("sox -D " + ShellQuote(path) + " -t raw -e unsigned-integer -b 8 -");
  return std::vector<int16_t>(raw.begin(), raw.end());
}

struct Difference {
  size_t differing = 0;
  int maxAbs = 0;
};

Difference Compare(const std::vector<int16_t>& got, const std::vector<int16_t>& want) {
  Difference d;
  const size_t n = std::min(got.size(), want.size());
  for (size_t i = 0; i < n; ++i) {
    const int diff = std::abs(got[i] - want[i]);
    if (diff) ++d.differing;
    d.maxAbs = std::max(d.maxAbs, diff);
  }
  return d;
}

// Compares the delivered channels with a reference's first two channels; reports the
// measured difference so the numbers can be followed over time.
Difference CompareWith(const Decoded& d, const std::vector<int16_t>& interleaved, int channels,
                       const std::string& what) {
  std::vector<int16_t> left, right;
  SplitChannels(interleaved, channels, 1, left, right);
  EXPECT_EQ(d.left.size(), left.size()) << what << ": frame count";
  Difference diff = Compare(d.left, left);
  if (channels > 1) {
    EXPECT_EQ(d.right.size(), right.size()) << what;
    const Difference r = Compare(d.right, right);
    diff.differing += r.differing;
    diff.maxAbs = std::max(diff.maxAbs, r.maxAbs);
  } else {
    EXPECT_TRUE(d.right.empty()) << what << ": mono delivers no right channel";
  }
  std::cout << "[ measure  ] " << what << ": " << left.size() << " frames, " << diff.differing
            << " samples differ, max abs difference " << diff.maxAbs << "\n";
  return diff;
}

void ExpectIdentical(const Decoded& d, const std::vector<int16_t>& reference, int channels,
                     const std::string& what) {
  ASSERT_FALSE(reference.empty()) << what << ": no reference decode";
  const Difference diff = CompareWith(d, reference, channels, what);
  EXPECT_EQ(diff.differing, 0u) << what;
}

// ---- the shared sample files -----------------------------------------------------

struct SampleCase {
  const char* name;
  int channels;
  int rate;
  int duration;
};

TEST(WavReaderSamples, PcmAndCompandedMatchSoxExactly) {
  SONORELL_REQUIRE_TOOL("sox");
  for (const SampleCase& c :
       {SampleCase{"chord-16bit.wav", 2, 44100, 6}, SampleCase{"speech-mono-48k.wav", 1, 48000, 1},
        SampleCase{"chord-alaw.wav", 2, 44100, 6}, SampleCase{"chord-ulaw.wav", 2, 44100, 6}}) {
    if (!std::filesystem::exists(SamplePath(c.name))) continue;
    SCOPED_TRACE(c.name);
    const auto d = DecodeFile(SamplePath(c.name));
    ASSERT_TRUE(d.has_value());
    EXPECT_EQ(d->channels, c.channels);
    EXPECT_EQ(d->outputChannels, c.channels);
    EXPECT_EQ(d->bits, 16);
    EXPECT_EQ(d->sampleRate, c.rate);
    EXPECT_EQ(d->duration, c.duration);
    EXPECT_EQ(d->finalPosition, d->length);
    ExpectIdentical(*d, SoxDecode16(SamplePath(c.name)).value_or(std::vector<int16_t>{}),
                    c.channels, c.name);
  }
}

TEST(WavReaderSamples, SixteenBitPropertiesAndBitrate) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  WavReader reader;
  ASSERT_TRUE(reader.Open(SamplePath("chord-16bit.wav"), 0));
  EXPECT_EQ(reader.GetLength(), 1058400u);  // the data chunk
  EXPECT_EQ(reader.GetPosition(), 0u);
  EXPECT_EQ(reader.GetDuration(), 6);
  EXPECT_EQ(reader.GetBitrate(), 1411);
  EXPECT_EQ(reader.GetChannelMode(), 4);
  size_t size = 1;
  EXPECT_EQ(reader.GetId3v2Tag(size), nullptr);
  EXPECT_EQ(size, 0u);
  std::string t;
  EXPECT_FALSE(reader.ReadTags(t, t, t, t, t, t, t, t, t));
}

TEST(WavReaderSamples, FloatFollowsTheStoredValues) {
  SONORELL_REQUIRE_SAMPLE("chord-float.wav");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string path = SamplePath("chord-float.wav");
  const auto d = DecodeFile(path);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->bits, 16);
  EXPECT_EQ(d->duration, 6);
  ExpectIdentical(*d, FfmpegFloatTo16(path, false), 2, "chord-float.wav vs stored floats");
  // sox scales by 2^31 and rounds where we scale by 2^31-1 and truncate: at most one step.
  if (testing::ToolAvailable("sox")) {
    const Difference diff = CompareWith(*d, SoxDecode16(path).value(), 2, "chord-float.wav vs sox");
    EXPECT_LE(diff.maxAbs, 1);
  }
}

TEST(WavReaderSamples, ImaAdpcmMatchesSoxExactly) {
  SONORELL_REQUIRE_SAMPLE("chord-ima-adpcm.wav");
  SONORELL_REQUIRE_TOOL("sox");
  const std::string path = SamplePath("chord-ima-adpcm.wav");
  const auto d = DecodeFile(path);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->channels, 2);
  EXPECT_EQ(d->bits, 16);
  EXPECT_EQ(d->duration, 6);
  EXPECT_EQ(d->left.size(), 524u * 505u);  // whole blocks of 505 frames
  ExpectIdentical(*d, SoxDecode16(path).value(), 2, "chord-ima-adpcm.wav vs sox");
  // ffmpeg computes the difference as (2 x code + 1) x step / 8 in one go, which rounds
  // differently from the bit-by-bit sum of the standard expansion; measured only.
  if (testing::ToolAvailable("ffmpeg")) {
    const Difference diff =
        CompareWith(*d, FfmpegDecode16(path).value(), 2, "chord-ima-adpcm.wav vs ffmpeg");
    EXPECT_LT(diff.maxAbs, 256);
  }
}

TEST(WavReaderSamples, MsAdpcmMatchesFfmpegExactly) {
  SONORELL_REQUIRE_SAMPLE("chord-ms-adpcm.wav");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string path = SamplePath("chord-ms-adpcm.wav");
  const auto d = DecodeFile(path);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->channels, 2);
  EXPECT_EQ(d->duration, 6);
  EXPECT_EQ(d->left.size(), 130u * 2036u);
  ExpectIdentical(*d, FfmpegDecode16(path).value(), 2, "chord-ms-adpcm.wav vs ffmpeg");
  if (testing::ToolAvailable("sox")) {
    CompareWith(*d, SoxDecode16(path).value(), 2, "chord-ms-adpcm.wav vs sox");
  }
}

TEST(WavReaderSamples, GsmMatchesSoxExactly) {
  SONORELL_REQUIRE_SAMPLE("chord-gsm.wav");
  SONORELL_REQUIRE_TOOL("sox");
  const std::string path = SamplePath("chord-gsm.wav");
  const auto d = DecodeFile(path);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->channels, 1);
  EXPECT_EQ(d->outputChannels, 1);
  EXPECT_EQ(d->sampleRate, 8000);
  EXPECT_EQ(d->duration, 6);
  EXPECT_EQ(d->left.size(), 150u * 320u);
  ExpectIdentical(*d, SoxDecode16(path).value(), 1, "chord-gsm.wav vs sox");
}

// ---- files written here by sox and ffmpeg -------------------------------------------

bool RunTool(const std::string& command) {
  return CommandOutput(command).has_value();
}

// A sox-made file: noise under a tone on every channel, so each channel differs.
std::string SoxFile(const TempFolder& temp, const std::string& name, const std::string& format,
                    int channels, double seconds = 0.7) {
  std::string synth = " synth " + std::to_string(seconds);
  for (int c = 0; c < channels; ++c) synth += " sine " + std::to_string(220 + 110 * c);
  const std::string path = temp / name;
  const bool ok = RunTool("sox -D -n -r 8000 -c " + std::to_string(channels) + " " + format + " " +
                          ShellQuote(path) + synth + " gain -3 2>&1");
  return ok ? path : "";
}

// An ffmpeg-made file from a noisy test signal.
std::string FfmpegFile(const TempFolder& temp, const std::string& name, const std::string& codec,
                       int channels, int rate) {
  const std::string path = temp / name;
  const bool ok =
      RunTool("ffmpeg -nostdin -v error -y -f lavfi -i 'anoisesrc=d=0.6:c=pink:a=0.5:r=" +
              std::to_string(rate) + "' -ac " + std::to_string(channels) + " -c:a " + codec + " " +
              ShellQuote(path));
  return ok ? path : "";
}

struct Generated {
  std::string label;
  std::string path;
  int channels;
  int rate;
  int bits;  // delivered
};

void CheckProperties(const Decoded& d, const Generated& g) {
  EXPECT_EQ(d.channels, g.channels) << g.label;
  EXPECT_EQ(d.outputChannels, g.channels < 2 ? 1 : 2) << g.label;
  EXPECT_EQ(d.sampleRate, g.rate) << g.label;
  EXPECT_EQ(d.bits, g.bits) << g.label;
  EXPECT_EQ(d.finalPosition, d.length) << g.label;
}

TEST(WavReaderGenerated, IntegerPcmOfEveryWidthMatchesSox) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder temp;
  // sox writes the extensible header for more than two channels and for 24/32 bits.
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"-r 8000 -b 16", "mono8k.wav"},    {"-r 96000 -b 16", "stereo96k.wav"},
      {"-r 48000 -b 24", "stereo24.wav"}, {"-r 44100 -b 32 -e signed", "stereo32.wav"},
      {"-r 48000 -b 16", "six16.wav"},    {"-r 22050 -b 24", "six24.wav"}};
  const int channelCounts[] = {1, 2, 2, 2, 6, 6};
  const int rates[] = {8000, 96000, 48000, 44100, 48000, 22050};
  for (size_t i = 0; i < cases.size(); ++i) {
    const std::string path = temp / cases[i].second;
    const int ch = channelCounts[i];
    std::string synth = " synth 0.7";
    for (int c = 0; c < ch; ++c) {
      synth += c % 2 ? " sine " + std::to_string(220 + 110 * c) : std::string(" whitenoise");
    }
    ASSERT_TRUE(RunTool("sox -D -n -c " + std::to_string(ch) + " " + cases[i].first + " " +
                        ShellQuote(path) + synth + " gain -3"))
        << cases[i].second;
    const Generated g{cases[i].second, path, ch, rates[i], 16};
    const auto d = DecodeFile(path);
    ASSERT_TRUE(d.has_value()) << g.label;
    CheckProperties(*d, g);
    EXPECT_EQ(d->duration, 0) << g.label;  // 0.7 s truncates to 0
    ExpectIdentical(*d, SoxUpper16(path), ch, g.label + " vs sox upper 16 bits");
  }
}

TEST(WavReaderGenerated, EightBitIsDeliveredUnsigned) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder temp;
  for (int ch : {1, 2, 3}) {
    const std::string path = SoxFile(temp, "u8-" + std::to_string(ch) + ".wav", "-b 8", ch);
    ASSERT_FALSE(path.empty());
    const auto d = DecodeFile(path);
    ASSERT_TRUE(d.has_value());
    CheckProperties(*d, {"8-bit", path, ch, 8000, 8});
    ExpectIdentical(*d, SoxUnsigned8(path), ch, "8-bit " + std::to_string(ch) + " channels");
  }
}

TEST(WavReaderGenerated, FfmpegExtensibleAndPlainFilesMatch) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  TempFolder temp;
  struct Case {
    const char* codec;
    int channels;
    int rate;
    bool isFloat;
    bool doubles;
  };
  // ffmpeg writes WAVE_FORMAT_EXTENSIBLE for more than two channels and for 24 bits.
  for (const Case& c :
       {Case{"pcm_s16le", 6, 48000, false, false}, Case{"pcm_s24le", 2, 44100, false, false},
        Case{"pcm_s24le", 6, 96000, false, false}, Case{"pcm_s32le", 1, 8000, false, false},
        Case{"pcm_f32le", 6, 44100, true, false}, Case{"pcm_f32le", 1, 8000, true, false},
        Case{"pcm_f64le", 2, 48000, true, true}, Case{"pcm_f64le", 6, 22050, true, true}}) {
    const std::string label =
        std::string(c.codec) + " x" + std::to_string(c.channels) + " " + std::to_string(c.rate);
    const std::string path = FfmpegFile(temp, label + ".wav", c.codec, c.channels, c.rate);
    ASSERT_FALSE(path.empty()) << label;
    const auto d = DecodeFile(path);
    ASSERT_TRUE(d.has_value()) << label;
    CheckProperties(*d, {label, path, c.channels, c.rate, 16});
    if (c.isFloat) {
      ExpectIdentical(*d, FfmpegFloatTo16(path, c.doubles), c.channels, label + " vs stored");
    } else if (testing::ToolAvailable("sox")) {
      ExpectIdentical(*d, SoxUpper16(path), c.channels, label + " vs sox upper 16 bits");
    }
  }
}

TEST(WavReaderGenerated, CompandedWithManyChannelsMatchesSox) {
  SONORELL_REQUIRE_TOOL("sox");
  TempFolder temp;
  for (const char* encoding : {"a-law", "u-law"}) {
    for (int ch : {1, 4, 8}) {
      const std::string label = std::string(encoding) + " x" + std::to_string(ch);
      const std::string path = SoxFile(temp, label + ".wav", std::string("-e ") + encoding, ch);
      ASSERT_FALSE(path.empty()) << label;
      const auto d = DecodeFile(path);
      ASSERT_TRUE(d.has_value()) << label;
      CheckProperties(*d, {label, path, ch, 8000, 16});
      ExpectIdentical(*d, SoxDecode16(path).value(), ch, label);
    }
  }
}

TEST(WavReaderGenerated, AdpcmFromBothWritersMatches) {
  SONORELL_REQUIRE_TOOL("sox");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  TempFolder temp;
  struct Case {
    std::string label;
    std::string path;
    int channels;
    int rate;
    bool ffmpegReference;  // MS ADPCM and GSM; sox for IMA (ffmpeg rounds IMA its own way)
  };
  const std::vector<Case> cases = {
      {"sox ima mono 8k", SoxFile(temp, "ima1.wav", "-e ima-adpcm", 1, 1.3), 1, 8000, false},
      {"sox ms mono 8k", SoxFile(temp, "ms1.wav", "-e ms-adpcm", 1, 1.3), 1, 8000, true},
      {"sox ms stereo 8k", SoxFile(temp, "ms2.wav", "-e ms-adpcm", 2, 1.3), 2, 8000, true},
      {"sox gsm 8k", SoxFile(temp, "gsm.wav", "-e gsm-full-rate", 1, 1.3), 1, 8000, true},
      {"ffmpeg ima stereo", FfmpegFile(temp, "ffima2.wav", "adpcm_ima_wav", 2, 22050), 2, 22050,
       false},
      {"ffmpeg ima mono", FfmpegFile(temp, "ffima1.wav", "adpcm_ima_wav", 1, 44100), 1, 44100,
       false},
      {"ffmpeg ms stereo", FfmpegFile(temp, "ffms2.wav", "adpcm_ms", 2, 44100), 2, 44100, true},
      {"ffmpeg ms mono", FfmpegFile(temp, "ffms1.wav", "adpcm_ms", 1, 11025), 1, 11025, true},
      {"ffmpeg gsm_ms", FfmpegFile(temp, "ffgsm.wav", "libgsm_ms", 1, 8000), 1, 8000, true},
  };
  for (const Case& c : cases) {
    if (c.path.empty()) {
      std::cout << "[ skipped  ] " << c.label << ": the writer lacks this encoder\n";
      continue;
    }
    const auto d = DecodeFile(c.path);
    ASSERT_TRUE(d.has_value()) << c.label;
    CheckProperties(*d, {c.label, c.path, c.channels, c.rate, 16});
    const auto reference = c.ffmpegReference ? FfmpegDecode16(c.path) : SoxDecode16(c.path);
    ExpectIdentical(*d, reference.value_or(std::vector<int16_t>{}), c.channels, c.label);
  }
}

// ---- chunk layout ------------------------------------------------------------------

std::vector<int16_t> Ramp(size_t count, int16_t start = -3000, int16_t step = 7) {
  std::vector<int16_t> v(count);
  for (size_t i = 0; i < count; ++i)
    v[i] = static_cast<int16_t>(start + step * static_cast<int>(i));
  return v;
}

std::string Samples16(const std::vector<int16_t>& values) {
  std::string data;
  for (int16_t s : values) data += Le16(static_cast<uint16_t>(s));
  return data;
}

TEST(WavReaderLayout, OddSizedChunksAndJunkBetweenChunksAreSkipped) {
  const std::vector<int16_t> samples = Ramp(300);
  const std::string fmt = Chunk("fmt ", FmtBody(1, 1, 22050, 2, 16));
  // An odd LIST before fmt and before data (each with its pad byte), stray zero bytes
  // after a chunk, and an odd-sized fmt chunk with its pad.
  const std::string bytes = Riff(Chunk("LIST", "INFOx") + fmt + std::string(5, '\0') +
                                 Chunk("LIST", "abc") + Chunk("data", Samples16(samples)));
  const auto d = DecodeBytes(bytes);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->left, samples);

  const std::string oddFmt = Chunk("fmt ", FmtBody(1, 1, 22050, 2, 16) + "z");
  const auto d2 = DecodeBytes(Riff(oddFmt + Chunk("data", Samples16(samples))));
  ASSERT_TRUE(d2.has_value());
  EXPECT_EQ(d2->left, samples);
}

TEST(WavReaderLayout, DataSizeZeroRunsToTheEndOfTheFile) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  const auto whole = DecodeFile(SamplePath("chord-16bit.wav"));
  ASSERT_TRUE(whole.has_value());
  std::string bytes = ReadFileBytes(SamplePath("chord-16bit.wav"));
  ASSERT_EQ(bytes.substr(36, 4), "data");
  bytes.replace(40, 4, Le32(0));
  const auto d = DecodeBytes(bytes);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->length, bytes.size() - 44);
  EXPECT_EQ(d->duration, 6);
  EXPECT_EQ(d->left, whole->left);
  EXPECT_EQ(d->right, whole->right);
}

TEST(WavReaderLayout, AStreamingWritersAllOnesSizeRunsToTheEndOfTheFile) {
  const std::vector<int16_t> samples = Ramp(2000);
  std::string bytes =
      Riff(Chunk("fmt ", FmtBody(1, 2, 44100, 4, 16)) + Chunk("data", Samples16(samples)));
  bytes.replace(40, 4, Le32(0xFFFFFFFF));
  const auto d = DecodeBytes(bytes);
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->length, 4000u);
  EXPECT_EQ(d->left.size(), 1000u);
}

TEST(WavReaderLayout, DataBeforeFormatOrNoDataIsRefused) {
  const std::string fmt = Chunk("fmt ", FmtBody(1, 1, 8000, 2, 16));
  const std::string data = Chunk("data", Samples16(Ramp(10)));
  EXPECT_TRUE(Opens(Riff(fmt + data)));
  EXPECT_FALSE(Opens(Riff(data + fmt)));
  EXPECT_FALSE(Opens(Riff(fmt)));
  EXPECT_FALSE(Opens(Riff(fmt + Chunk("LIST", "INFO"))));
}

TEST(WavReaderLayout, ExtraChannelsAreDroppedNotMixed) {
  std::vector<int16_t> interleaved;
  for (int frame = 0; frame < 3000; ++frame) {
    for (int c = 0; c < 4; ++c) interleaved.push_back(static_cast<int16_t>(c * 5000 + frame));
  }
  const auto d = DecodeBytes(Pcm16Wav(4, 44100, interleaved));
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->channels, 4);
  EXPECT_EQ(d->outputChannels, 2);
  ASSERT_EQ(d->left.size(), 3000u);
  for (int frame = 0; frame < 3000; ++frame) {
    ASSERT_EQ(d->left[frame], frame);
    ASSERT_EQ(d->right[frame], 5000 + frame);
  }
}

TEST(WavReaderLayout, TwentyFourBitStereoComesInFullBlocks) {
  // 3000 frames of 24-bit samples whose lowest byte must simply be dropped.
  std::string data;
  for (int frame = 0; frame < 3000; ++frame) {
    for (int c = 0; c < 2; ++c) {
      const int32_t v = (c ? -1 : 1) * (frame * 1000 + 0xFF);
      data += std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                          static_cast<char>((v >> 16) & 0xFF)};
    }
  }
  TempFolder temp;
  WriteFileBytes(temp / "24.wav",
                 Riff(Chunk("fmt ", FmtBody(1, 2, 48000, 6, 24)) + Chunk("data", data)));
  WavReader reader;
  ASSERT_TRUE(reader.Open(temp / "24.wav", 0));
  EXPECT_EQ(reader.GetBitsPerSample(), 16);
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), r.data()), BlockFrames);
  EXPECT_EQ(l[1], static_cast<int16_t>((1000 + 0xFF) >> 8));
  EXPECT_EQ(r[1], static_cast<int16_t>(-(1000 + 0xFF) >> 8));
  EXPECT_EQ(reader.GetPosition(), 6u * BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), r.data()), BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), r.data()), 3000 - 2 * BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), r.data()), 0);
  EXPECT_EQ(reader.Read(l.data(), r.data()), 0);  // and stays ended
}

TEST(WavReaderLayout, ATrailingPartialFrameIsDroppedNotFilledFromOldBytes) {
  // One full block, then one whole frame and three bytes of the next.
  std::vector<int16_t> samples(2 * (BlockFrames + 1), 1234);
  samples[2 * BlockFrames] = -7;
  samples[2 * BlockFrames + 1] = -8;
  const std::string data = Samples16(samples) + std::string("\x01\x02\x03", 3);
  TempFolder temp;
  WriteFileBytes(temp / "p.wav",
                 Riff(Chunk("fmt ", FmtBody(1, 2, 8000, 4, 16)) + Chunk("data", data)));
  WavReader reader;
  ASSERT_TRUE(reader.Open(temp / "p.wav", 0));
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), r.data()), BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), r.data()), 1);
  EXPECT_EQ(l[0], -7);
  EXPECT_EQ(r[0], -8);
  EXPECT_EQ(reader.Read(l.data(), r.data()), 0);

  // Less than one frame of data at all gives nothing.
  EXPECT_TRUE(DecodeBytes(Riff(Chunk("fmt ", FmtBody(1, 2, 8000, 6, 24)) +
                               Chunk("data", std::string(5, '\x11'))))
                  ->left.empty());
}

TEST(WavReaderLayout, FloatBeyondFullScaleIsClamped) {
  const float inf = std::numeric_limits<float>::infinity();
  const std::vector<float> values = {1.5f, -2.0f, 0.5f, -0.5f, inf, -inf, std::nanf(""), 1.0f};
  const std::vector<int16_t> want = {32767, -32768, 16383, -16384, 32767, -32768, 0, 32767};
  std::string data32, data64;
  for (float v : values) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    data32 += Le32(bits);
    const double d = v;
    uint64_t bits64;
    std::memcpy(&bits64, &d, 8);
    data64 += Le32(static_cast<uint32_t>(bits64)) + Le32(static_cast<uint32_t>(bits64 >> 32));
  }
  const auto d32 =
      DecodeBytes(Riff(Chunk("fmt ", FmtBody(3, 1, 8000, 4, 32)) + Chunk("data", data32)));
  ASSERT_TRUE(d32.has_value());
  EXPECT_EQ(d32->left, want);
  const auto d64 =
      DecodeBytes(Riff(Chunk("fmt ", FmtBody(3, 1, 8000, 8, 64)) + Chunk("data", data64)));
  ASSERT_TRUE(d64.has_value());
  EXPECT_EQ(d64->left, want);
}

TEST(WavReaderLayout, ExtensibleTakesItsEncodingFromTheSubFormat) {
  const std::vector<int16_t> samples = Ramp(100);
  float f = 0.25f;
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  const std::string floatData = Le32(bits) + Le32(bits);
  auto file = [](uint16_t bitsPerSample, uint16_t align, const std::string& extension,
                 const std::string& data) {
    return Riff(Chunk("fmt ", FmtBody(0xFFFE, 1, 8000, align, bitsPerSample, extension)) +
                Chunk("data", data));
  };
  const auto pcm = DecodeBytes(file(16, 2, ExtensibleExtension(16, 4, 1), Samples16(samples)));
  ASSERT_TRUE(pcm.has_value());
  EXPECT_EQ(pcm->left, samples);
  const auto flt = DecodeBytes(file(32, 4, ExtensibleExtension(32, 4, 3), floatData));
  ASSERT_TRUE(flt.has_value());
  EXPECT_EQ(flt->left, (std::vector<int16_t>{8191, 8191}));
  // 20 valid bits in a 24-bit container read as 24-bit.
  const auto wide =
      DecodeBytes(file(24, 3, ExtensibleExtension(20, 4, 1), std::string("\x00\x10\x20", 3)));
  ASSERT_TRUE(wide.has_value());
  EXPECT_EQ(wide->left, (std::vector<int16_t>{0x2010}));

  // Float data under a PCM sub-format would be noise; others are not read at all.
  EXPECT_FALSE(Opens(file(16, 2, ExtensibleExtension(32, 4, 3), Samples16(samples))));
  for (uint16_t other : {0, 2, 6, 7, 0x11, 0x31, 0xFFFE}) {
    EXPECT_FALSE(Opens(file(16, 2, ExtensibleExtension(16, 4, other), Samples16(samples))))
        << other;
  }
  // An extension too short to hold the sub-format, or running past the chunk.
  std::string shortExtension = ExtensibleExtension(16, 4, 1);
  shortExtension.replace(0, 2, Le16(21));
  EXPECT_FALSE(Opens(file(16, 2, shortExtension, Samples16(samples))));
  EXPECT_FALSE(Opens(file(16, 2, ExtensibleExtension(16, 4, 1).substr(0, 20), Samples16(samples))));
  EXPECT_FALSE(Opens(file(16, 2, "", Samples16(samples))));
}

// ---- block encodings -------------------------------------------------------------

std::string ImaFile(uint16_t channels, uint16_t blockAlign, uint16_t samplesPerBlock,
                    const std::string& data) {
  return Riff(
      Chunk("fmt ", FmtBody(0x11, channels, 8000, blockAlign, 4, ImaExtension(samplesPerBlock))) +
      Chunk("data", data));
}

TEST(WavReaderBlocks, ImaStepIndexAboveTheTableIsTakenAsTheLast) {
  // Mono, one 8-byte block: predictor 0, step index 100, then codes 7, F, 0, 0, ...
  auto block = [](uint8_t index) {
    return std::string{0, 0, static_cast<char>(index), 0, static_cast<char>(0xF7), 0, 0, 0};
  };
  const auto high = DecodeBytes(ImaFile(1, 8, 9, block(100)));
  const auto top = DecodeBytes(ImaFile(1, 8, 9, block(88)));
  ASSERT_TRUE(high.has_value());
  ASSERT_TRUE(top.has_value());
  EXPECT_EQ(high->left, top->left);
  ASSERT_EQ(high->left.size(), 9u);
  EXPECT_EQ(high->left[0], 0);
  EXPECT_EQ(high->left[1], 32767);          // 0 + 61436 at step 32767, clamped
  EXPECT_EQ(high->left[2], 32767 - 61436);  // the step stays at the top
}

TEST(WavReaderBlocks, ImaStereoGroupsAlternateByChannel) {
  // Stereo, header 8 bytes, then 4 bytes of left codes and 4 bytes of right codes.
  std::string block = {0x10, 0, 0, 0, static_cast<char>(0xF0), static_cast<char>(0xFF), 0, 0};
  block += std::string(4, '\x11') + std::string(4, '\x99');
  const auto d = DecodeBytes(ImaFile(2, 16, 9, block));
  ASSERT_TRUE(d.has_value());
  ASSERT_EQ(d->left.size(), 9u);
  EXPECT_EQ(d->left[0], 16);
  EXPECT_EQ(d->right[0], -16);
  // Code 1 at step 7: +0 +1 each time (7/8 + 7/4) at index 0, so the left rises and the
  // right (code 9) falls.
  EXPECT_GT(d->left[8], d->left[0]);
  EXPECT_LT(d->right[8], d->right[0]);
}

TEST(WavReaderBlocks, GsmTrailingPartialBlockIsDropped) {
  SONORELL_REQUIRE_SAMPLE("chord-gsm.wav");
  const auto whole = DecodeFile(SamplePath("chord-gsm.wav"));
  ASSERT_TRUE(whole.has_value());
  std::string bytes = ReadFileBytes(SamplePath("chord-gsm.wav"));
  ASSERT_EQ(bytes.substr(52, 4), "data");
  const size_t keep = 149 * 65 + 40;
  bytes = bytes.substr(0, 60 + keep);
  bytes.replace(56, 4, Le32(keep));
  const auto d = DecodeBytes(bytes);
  ASSERT_TRUE(d.has_value());
  ASSERT_EQ(d->left.size(), 149u * 320u);
  EXPECT_TRUE(std::equal(d->left.begin(), d->left.end(), whole->left.begin()));
  EXPECT_EQ(d->length, keep);
  EXPECT_EQ(d->duration, 5);  // 47704 frames at 8 kHz
}

TEST(WavReaderBlocks, MsAdpcmPredictorBeyondThePairsEndsTheData) {
  SONORELL_REQUIRE_SAMPLE("chord-ms-adpcm.wav");
  const auto whole = DecodeFile(SamplePath("chord-ms-adpcm.wav"));
  ASSERT_TRUE(whole.has_value());
  std::string bytes = ReadFileBytes(SamplePath("chord-ms-adpcm.wav"));
  const size_t data = bytes.find("data") + 8;
  bytes[data + 3 * 2048] = 7;  // left predictor of the fourth block; the file has 7 pairs
  const auto d = DecodeBytes(bytes);
  ASSERT_TRUE(d.has_value());
  ASSERT_EQ(d->left.size(), 3u * 2036u);
  EXPECT_TRUE(std::equal(d->left.begin(), d->left.end(), whole->left.begin()));
  EXPECT_TRUE(std::equal(d->right.begin(), d->right.end(), whole->right.begin()));
}

TEST(WavReaderBlocks, BlocksAreDeliveredAcrossReadBoundaries) {
  SONORELL_REQUIRE_SAMPLE("chord-ms-adpcm.wav");
  // 2036-frame blocks split over 1152-frame reads: every read but the last is full.
  WavReader reader;
  ASSERT_TRUE(reader.Open(SamplePath("chord-ms-adpcm.wav"), 0));
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  int reads = 0, total = 0, n;
  while ((n = reader.Read(l.data(), r.data())) > 0) {
    total += n;
    if (total < 130 * 2036) {
      ASSERT_EQ(n, BlockFrames) << "read " << reads;
    }
    ++reads;
  }
  EXPECT_EQ(total, 130 * 2036);
  EXPECT_EQ(reader.GetPosition(), reader.GetLength());
}

// ---- refused input -----------------------------------------------------------------

TEST(WavReaderRefuses, HeaderFieldsOutOfRange) {
  const std::string data = Chunk("data", std::string(64, '\x40'));
  auto wav = [&](const std::string& fmtBody) { return Riff(Chunk("fmt ", fmtBody) + data); };
  EXPECT_TRUE(Opens(wav(FmtBody(1, 1, 8000, 2, 16))));
  EXPECT_TRUE(Opens(wav(FmtBody(1, 8, 1, 16, 16))));  // 1 Hz, 8 channels
  EXPECT_TRUE(Opens(wav(FmtBody(1, 2, 0x7FFFFFFF, 4, 16))));
  EXPECT_TRUE(Opens(wav(FmtBody(1, 2, 8000, 0, 16))));  // PCM never divides by it
  EXPECT_FALSE(Opens(wav(FmtBody(1, 1, 0, 2, 16))));
  EXPECT_FALSE(Opens(wav(FmtBody(1, 1, 0x80000000u, 2, 16))));
  EXPECT_FALSE(Opens(wav(FmtBody(1, 1, 0xFFFFFFFFu, 2, 16))));
  for (uint16_t tag : {1, 3, 6, 7}) {
    const uint16_t bits = tag == 3 ? 32 : (tag == 1 ? 16 : 8);
    EXPECT_TRUE(Opens(wav(FmtBody(tag, 8, 8000, 8, bits)))) << tag;
    EXPECT_FALSE(Opens(wav(FmtBody(tag, 0, 8000, 2, bits)))) << tag;
    EXPECT_FALSE(Opens(wav(FmtBody(tag, 9, 8000, 18, bits)))) << tag;
  }
  for (uint16_t bits : {0, 4, 12, 20, 64}) EXPECT_FALSE(Opens(wav(FmtBody(1, 1, 8000, 2, bits))));
  for (uint16_t bits : {0, 16, 24}) EXPECT_FALSE(Opens(wav(FmtBody(3, 1, 8000, 2, bits))));
  for (uint16_t tag : {0, 0x22, 0x50, 0x55, 0x40, 0x1234}) {
    EXPECT_FALSE(Opens(wav(FmtBody(tag, 1, 8000, 2, 16)))) << tag;
  }
  // A fmt chunk shorter than its base record.
  EXPECT_FALSE(Opens(wav(FmtBody(1, 1, 8000, 2, 16).substr(0, 14))));
}

TEST(WavReaderRefuses, AdpcmLayoutsThatDisagreeWithTheBlockSize) {
  const std::string data = Chunk("data", std::string(4096, '\x00'));
  auto ima = [&](uint16_t ch, uint16_t align, uint16_t spb) {
    return Opens(Riff(Chunk("fmt ", FmtBody(0x11, ch, 8000, align, 4, ImaExtension(spb))) + data));
  };
  EXPECT_TRUE(ima(1, 256, 505));
  EXPECT_TRUE(ima(2, 512, 505));
  EXPECT_TRUE(ima(1, 4, 1));
  EXPECT_FALSE(ima(1, 256, 504));
  EXPECT_FALSE(ima(1, 256, 506));
  EXPECT_FALSE(ima(2, 516, 509));  // not a multiple of 8 for stereo
  EXPECT_FALSE(ima(1, 0, 1));
  EXPECT_FALSE(ima(1, 0, 0));
  EXPECT_FALSE(ima(0, 256, 505));
  EXPECT_FALSE(ima(3, 768, 505));
  EXPECT_FALSE(
      Opens(Riff(Chunk("fmt ", FmtBody(0x11, 1, 8000, 256, 4, Le16(1) + Le16(505))) + data)));
  EXPECT_FALSE(Opens(Riff(Chunk("fmt ", FmtBody(0x11, 1, 8000, 256, 4, Le16(2))) + data)));

  auto ms = [&](uint16_t ch, uint16_t align, uint16_t spb, int pairs = 7) {
    return Opens(
        Riff(Chunk("fmt ", FmtBody(2, ch, 8000, align, 4, MsExtension(spb, pairs))) + data));
  };
  EXPECT_TRUE(ms(1, 256, 500));
  EXPECT_TRUE(ms(1, 256, 2));
  EXPECT_TRUE(ms(2, 512, 500));
  EXPECT_TRUE(ms(2, 14, 2));
  EXPECT_TRUE(ms(1, 256, 400, 1));
  EXPECT_FALSE(ms(1, 256, 501));
  EXPECT_FALSE(ms(2, 512, 501));
  EXPECT_FALSE(ms(1, 256, 1));
  EXPECT_FALSE(ms(2, 13, 2));
  EXPECT_FALSE(ms(1, 0, 2));
  EXPECT_FALSE(ms(0, 256, 500));
  EXPECT_FALSE(ms(3, 768, 500));
  EXPECT_FALSE(ms(1, 256, 500, 0));
  std::string smallExtension = MsExtension(500);
  smallExtension.replace(0, 2, Le16(3));
  EXPECT_FALSE(Opens(Riff(Chunk("fmt ", FmtBody(2, 1, 8000, 256, 4, smallExtension)) + data)));
  // Coefficient pairs running past the end of the fmt chunk.
  EXPECT_FALSE(Opens(
      Riff(Chunk("fmt ", FmtBody(2, 1, 8000, 256, 4, MsExtension(500).substr(0, 20))) + data)));

  auto gsm = [&](uint16_t ch, uint16_t align, const std::string& extension) {
    return Opens(Riff(Chunk("fmt ", FmtBody(0x31, ch, 8000, align, 0, extension)) + data));
  };
  EXPECT_TRUE(gsm(1, 65, GsmExtension()));
  EXPECT_FALSE(gsm(2, 65, GsmExtension()));
  EXPECT_FALSE(gsm(0, 65, GsmExtension()));
  EXPECT_FALSE(gsm(1, 64, GsmExtension()));
  EXPECT_FALSE(gsm(1, 0, GsmExtension()));
  EXPECT_FALSE(gsm(1, 65, Le16(2) + Le16(160)));
  EXPECT_FALSE(gsm(1, 65, Le16(0) + Le16(320)));
  EXPECT_FALSE(gsm(1, 65, ""));
}

TEST(WavReaderRefuses, BrokenContainers) {
  const std::string good = Pcm16Wav(1, 8000, Ramp(20));
  EXPECT_TRUE(Opens(good));
  EXPECT_FALSE(Opens(""));
  EXPECT_FALSE(Opens("RIFF"));
  EXPECT_FALSE(Opens("RIFX" + good.substr(4)));
  EXPECT_FALSE(Opens(good.substr(0, 8) + "AVI " + good.substr(12)));
  EXPECT_FALSE(Opens(std::string(4096, '\0')));
  const std::string fmt = Chunk("fmt ", FmtBody(1, 1, 8000, 2, 16));
  // Chunk sizes near 4 GB jump past the end of the file.
  for (uint32_t size : {0xFFFFFFFFu, 0xFFFFFFF0u, 0x80000000u}) {
    EXPECT_FALSE(Opens(Riff("LIST" + Le32(size) + "INFO" + fmt + Chunk("data", "ab")))) << size;
    EXPECT_FALSE(
        Opens(Riff("fmt " + Le32(size) + FmtBody(1, 1, 8000, 2, 16) + Chunk("data", "ab"))))
        << size;
  }
  // Nothing but non-letters after the last chunk: the scan ends at the end of the file.
  EXPECT_FALSE(Opens(Riff(fmt + std::string(100000, '\0'))));
  EXPECT_FALSE(Opens(Riff(fmt + std::string(3, '\x01'))));

  TempFolder temp;
  WavReader reader;
  EXPECT_FALSE(reader.Open(temp.path(), 0));  // a folder
  EXPECT_FALSE(reader.Open(temp / "missing.wav", 0));
  EXPECT_EQ(reader.GetChannels(), 0);
  char buffer[4 * BlockFrames];
  EXPECT_EQ(reader.Read(buffer, buffer + 2 * BlockFrames), 0);
}

// Every prefix of a valid file either fails to open or delivers a prefix of the whole.
void CheckTruncations(const std::string& name, size_t denseUpTo, size_t step) {
  const auto whole = DecodeFile(SamplePath(name));
  ASSERT_TRUE(whole.has_value()) << name;
  const std::string bytes = ReadFileBytes(SamplePath(name));
  TempFolder temp;
  const std::string path = temp / "cut.wav";
  for (size_t cut = 0; cut < bytes.size(); cut += cut < denseUpTo ? 1 : step) {
    WriteFileBytes(path, bytes.substr(0, cut));
    const auto d = DecodeFile(path);
    if (!d) continue;
    ASSERT_LE(d->left.size(), whole->left.size()) << name << " cut at " << cut;
    ASSERT_TRUE(std::equal(d->left.begin(), d->left.end(), whole->left.begin()))
        << name << " cut at " << cut;
    ASSERT_TRUE(std::equal(d->right.begin(), d->right.end(), whole->right.begin()))
        << name << " cut at " << cut;
  }
}

TEST(WavReaderRefuses, TruncatedFilesEndCleanly) {
  for (const auto& [name, step] :
       std::vector<std::pair<std::string, size_t>>{{"chord-16bit.wav", 50021},
                                                   {"chord-float.wav", 100003},
                                                   {"chord-alaw.wav", 12007},
                                                   {"chord-ima-adpcm.wav", 3001},
                                                   {"chord-ms-adpcm.wav", 3001},
                                                   {"chord-gsm.wav", 97}}) {
    if (!std::filesystem::exists(SamplePath(name))) continue;
    CheckTruncations(name, 200, step);
  }
}

TEST(WavReaderLifecycle, ReopenAndCloseResetEverything) {
  SONORELL_REQUIRE_SAMPLE("chord-gsm.wav");
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  WavReader reader;
  ASSERT_TRUE(reader.Open(SamplePath("chord-gsm.wav"), 0));
  EXPECT_EQ(reader.GetBitrate(), 13);
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  EXPECT_EQ(reader.Read(l.data(), nullptr), BlockFrames);
  // A second Open on the same object starts afresh with the new file.
  ASSERT_TRUE(reader.Open(SamplePath("chord-16bit.wav"), 0));
  EXPECT_EQ(reader.GetChannels(), 2);
  EXPECT_EQ(reader.GetPosition(), 0u);
  const Decoded d = DecodeAll(reader);
  EXPECT_EQ(d.left.size(), 264600u);
  reader.Close();
  EXPECT_EQ(reader.GetLength(), 0u);
  EXPECT_EQ(reader.GetChannels(), 0);
  EXPECT_EQ(reader.GetOutputChannels(), 0);
  EXPECT_EQ(reader.GetSampleRate(), 0);
  EXPECT_EQ(reader.GetBitsPerSample(), 0);
  EXPECT_EQ(reader.GetDuration(), 0);
  EXPECT_EQ(reader.GetBitrate(), 0);
  EXPECT_EQ(reader.Read(l.data(), r.data()), 0);
  reader.Close();  // safe twice
  // A failed Open leaves it closed.
  EXPECT_FALSE(reader.Open("/proc/self/status", 0));
  EXPECT_EQ(reader.GetChannels(), 0);
}

TEST(WavReaderLifecycle, ShortFilesReportTheirBitrateFromTheFormat) {
  const auto d = DecodeBytes(Pcm16Wav(2, 8000, Ramp(1000)));
  ASSERT_TRUE(d.has_value());
  EXPECT_EQ(d->duration, 0);
  WavReader reader;
  TempFolder temp;
  WriteFileBytes(temp / "s.wav", Pcm16Wav(2, 8000, Ramp(1000)));
  ASSERT_TRUE(reader.Open(temp / "s.wav", 0));
  EXPECT_EQ(reader.GetBitrate(), 256);  // 16 x 2 x 8000 / 1000
}

// ---- the Microsoft ADPCM arithmetic --------------------------------------------------

TEST(MsAdpcm, PredictionTruncatesTowardZero) {
  MsAdpcmChannelState s;
  s.sample1 = -1;
  s.sample2 = 0;
  s.pair = {255, 0};
  s.delta = 16;
  EXPECT_EQ(MsAdpcmExpandNibble(s, 0), 0);  // -255 / 256 is 0, not -1
  s.sample1 = -300;
  s.pair = {256, 0};
  EXPECT_EQ(MsAdpcmExpandNibble(s, 1), -300 + 16);
  EXPECT_EQ(s.sample2, -300);
  EXPECT_EQ(s.sample1, -284);
}

TEST(MsAdpcm, StepAdaptsWithAFloorOf16) {
  MsAdpcmChannelState s;
  s.delta = 16;
  MsAdpcmExpandNibble(s, 0);  // 16 x 230 / 256 = 14, floored to 16
  EXPECT_EQ(s.delta, 16);
  s.delta = 1000;
  MsAdpcmExpandNibble(s, 8);  // 768/256: code -8 triples the step
  EXPECT_EQ(s.delta, 3000);
  MsAdpcmExpandNibble(s, 4);
  EXPECT_EQ(s.delta, 3000 * 307 / 256);
}

TEST(MsAdpcm, ExtremeStatesClampWithoutOverflow) {
  MsAdpcmChannelState s;
  s.sample1 = s.sample2 = -32768;
  s.pair = {-32768, -32768};  // 2^31 before the division: needs more than 32 bits
  s.delta = 0xFFFF;
  EXPECT_EQ(MsAdpcmExpandNibble(s, 7), 32767);
  s.sample1 = s.sample2 = 32767;
  s.pair = {-32768, -32768};
  EXPECT_EQ(MsAdpcmExpandNibble(s, 8), -32768);
}

TEST(MsAdpcm, BlockLayoutChecks) {
  MsAdpcmDecoder decoder;
  const std::vector<MsAdpcmCoefficientPair> pairs = {{256, 0}, {512, -256}};
  EXPECT_TRUE(decoder.Configure(1, 7, 2, pairs));
  EXPECT_TRUE(decoder.Configure(2, 14 + 5, 2 + 5, pairs));  // 10 nibbles in 5 bytes
  EXPECT_FALSE(decoder.Configure(2, 14 + 5, 2 + 6, pairs));
  EXPECT_TRUE(decoder.Configure(1, 7 + 5, 2 + 10, pairs));
  EXPECT_FALSE(decoder.Configure(1, 7 + 5, 2 + 11, pairs));
  EXPECT_FALSE(decoder.Configure(1, 6, 2, pairs));
  EXPECT_FALSE(decoder.Configure(3, 21, 2, pairs));
  EXPECT_FALSE(decoder.Configure(1, 7, 2, {}));
  EXPECT_EQ(decoder.Channels(), 0);  // a refused layout decodes nothing
  uint8_t block[7] = {};
  int16_t values[2];
  EXPECT_FALSE(decoder.DecodeBlock(block, values));
}

TEST(MsAdpcm, BlockHeaderOrderAndNibbleOrder) {
  MsAdpcmDecoder decoder;
  ASSERT_TRUE(decoder.Configure(2, 15, 3, {{256, 0}, {0, 0}}));
  // predictors L R, delta L R, sample1 L R, sample2 L R, then one byte per frame.
  const uint8_t block[15] = {0, 1, 16, 0, 32, 0, 100, 0, 200, 0, 10, 0, 20, 0, 0x12};
  int16_t v[6] = {};
  ASSERT_TRUE(decoder.DecodeBlock(block, v));
  EXPECT_EQ(v[0], 10);            // left sample 2
  EXPECT_EQ(v[1], 20);            // right sample 2
  EXPECT_EQ(v[2], 100);           // left sample 1
  EXPECT_EQ(v[3], 200);           // right sample 1
  EXPECT_EQ(v[4], 100 + 1 * 16);  // high nibble, left: pair (256, 0) predicts sample 1
  EXPECT_EQ(v[5], 0 + 2 * 32);    // low nibble, right: pair (0, 0) predicts 0
  const uint8_t bad[15] = {0, 2, 16, 0, 32, 0, 100, 0, 200, 0, 10, 0, 20, 0, 0x12};
  EXPECT_FALSE(decoder.DecodeBlock(bad, v));  // the file has two pairs only
}

}  // namespace
}  // namespace sonorell
