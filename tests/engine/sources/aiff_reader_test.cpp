#include "engine/sources/aiff/aiff_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/sources/codecs/dwvw.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::DecodeAll;
using testing::Decoded;
using testing::ReadFileBytes;
using testing::SamplePath;
using testing::ShellQuote;
using testing::SplitChannels;
using testing::TempFolder;
using testing::WriteFileBytes;

// ---- Building AIFF files byte by byte -------------------------------------------------------

std::string Be16(uint16_t v) {
  return {static_cast<char>(v >> 8), static_cast<char>(v & 0xFF)};
}
std::string Be32(uint32_t v) {
  return Be16(static_cast<uint16_t>(v >> 16)) + Be16(v & 0xFFFF);
}

// An 80-bit extended value from its raw fields.
std::string Extended(bool negative, int exponent, uint64_t mantissa) {
  return Be16(static_cast<uint16_t>((negative ? 0x8000 : 0) | (exponent & 0x7FFF))) +
         Be32(static_cast<uint32_t>(mantissa >> 32)) + Be32(static_cast<uint32_t>(mantissa));
}
std::string Extended(double value) {
  if (value == 0) return Extended(false, 0, 0);
  int e = 0;
  const double m = std::frexp(std::fabs(value), &e);  // value = m * 2^e, 0.5 <= m < 1
  return Extended(value < 0, e - 1 + 16383, static_cast<uint64_t>(std::ldexp(m, 64)));
}

std::string Chunk(const std::string& id, const std::string& body,
                  std::optional<uint32_t> declared = std::nullopt) {
  std::string c = id + Be32(declared.value_or(static_cast<uint32_t>(body.size()))) + body;
  if (body.size() % 2) c += '\0';
  return c;
}

std::string Form(const std::string& type, const std::string& chunks) {
  return "FORM" + Be32(static_cast<uint32_t>(4 + chunks.size())) + type + chunks;
}

std::string CommBody(int channels, uint32_t frames, int bits, const std::string& rate) {
  return Be16(static_cast<uint16_t>(channels)) + Be32(frames) + Be16(static_cast<uint16_t>(bits)) +
         rate;
}
std::string AiffComm(int channels, uint32_t frames, int bits, double rate = 8000) {
  return Chunk("COMM", CommBody(channels, frames, bits, Extended(rate)));
}
// AIFC COMM with an empty compression name (as ffmpeg writes it).
std::string AifcComm(int channels, uint32_t frames, int bits, const std::string& type,
                     double rate = 8000) {
  return Chunk("COMM", CommBody(channels, frames, bits, Extended(rate)) + type + '\0');
}
std::string Ssnd(const std::string& samples, uint32_t offset = 0) {
  return Chunk("SSND", Be32(offset) + Be32(0) + std::string(offset, '\x55') + samples);
}

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

// ---- Decoding and comparing -----------------------------------------------------------------

struct Result {
  bool opened = false;
  Decoded d;
};

Result DecodeFile(const std::string& path, int maxReads = 10'000'000) {
  AiffReader reader;
  Result r;
  r.opened = reader.Open(path, 44100);
  if (r.opened) r.d = DecodeAll(reader, maxReads);
  return r;
}

Result DecodeBytes(const std::string& bytes) {
  TempFolder dir;
  const std::string path = dir / "in.aif";
  WriteFileBytes(path, bytes);
  return DecodeFile(path);
}

bool RunCommand(const std::string& command) {
  return CommandOutput(command).has_value();
}

// sox's decode kept at 32 bits and cut to the top 16: what the reader's truncation of wide
// integer samples must give (sox itself rounds when it narrows).
std::optional<std::vector<int16_t>> SoxDecodeTop16(const std::string& path) {
  const auto raw =
      CommandOutput("sox -D " + ShellQuote(path) + " -t raw -e signed-integer -b 32 -L -");
  if (!raw) return std::nullopt;
  std::vector<int16_t> samples(raw->size() / 4);
  for (size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<int16_t>(static_cast<uint8_t>((*raw)[4 * i + 2]) |
                                      (static_cast<uint8_t>((*raw)[4 * i + 3]) << 8));
  }
  return samples;
}

// libsndfile's decode, for the encodings only it reads (DWVW) or reads as Apple does (IMA4).
std::optional<std::vector<int16_t>> SndfileDecode16(const std::string& path,
                                                    const std::string& scratch) {
  if (!RunCommand("sndfile-convert -pcm16 " + ShellQuote(path) + " " + ShellQuote(scratch))) {
    return std::nullopt;
  }
  return testing::SoxDecode16(scratch);
}

// 8-bit deliveries (unsigned, 128 = silence) on the 16-bit scale the reference tools use.
std::vector<int16_t> To16(const std::vector<int16_t>& samples, int bits) {
  if (bits != 8) return samples;
  std::vector<int16_t> out;
  for (int16_t s : samples) out.push_back(static_cast<int16_t>((s - 128) * 256));
  return out;
}

struct Difference {
  size_t compared = 0;
  size_t differing = 0;
  int maxAbs = 0;
  bool sameLength = false;
};

Difference Compare(const std::vector<int16_t>& ours, const std::vector<int16_t>& theirs) {
  Difference diff;
  diff.sameLength = ours.size() == theirs.size();
  diff.compared = std::min(ours.size(), theirs.size());
  for (size_t i = 0; i < diff.compared; ++i) {
    const int d = std::abs(ours[i] - theirs[i]);
    if (d != 0) ++diff.differing;
    diff.maxAbs = std::max(diff.maxAbs, d);
  }
  return diff;
}

// Decodes path and holds both delivered channels against a reference decode of every channel
// (interleaved); the right channel must be the reference's rightIndex-th.
void ExpectMatches(const std::string& path, const std::vector<int16_t>& reference, int channels,
                   int rightIndex, int maxAbs = 0, size_t maxDiffering = 0) {
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened) << path;
  std::vector<int16_t> refLeft, refRight;
  SplitChannels(reference, channels, rightIndex, refLeft, refRight);
  ASSERT_FALSE(refLeft.empty());
  const Difference left = Compare(To16(r.d.left, r.d.bits), refLeft);
  EXPECT_TRUE(left.sameLength) << path << ": " << r.d.left.size() << " vs " << refLeft.size();
  EXPECT_LE(left.maxAbs, maxAbs) << path;
  EXPECT_LE(left.differing, maxDiffering) << path;
  if (channels > 1) {
    const Difference right = Compare(To16(r.d.right, r.d.bits), refRight);
    EXPECT_TRUE(right.sameLength) << path;
    EXPECT_LE(right.maxAbs, maxAbs) << path;
    EXPECT_LE(right.differing, maxDiffering) << path;
  }
}

// ---- Shared sample files --------------------------------------------------------------------

TEST(AiffReaderSamples, PcmAiffMatchesSox) {
  SONORELL_REQUIRE_SAMPLE("chord.aiff");
  SONORELL_REQUIRE_TOOL("sox");
  const std::string path = SamplePath("chord.aiff");
  const auto ref = testing::SoxDecode16(path);
  ASSERT_TRUE(ref);
  ExpectMatches(path, *ref, 2, 1);

  const Result r = DecodeFile(path);
  EXPECT_EQ(r.d.channels, 2);
  EXPECT_EQ(r.d.outputChannels, 2);
  EXPECT_EQ(r.d.bits, 16);
  EXPECT_EQ(r.d.sampleRate, 44100);
  EXPECT_EQ(r.d.duration, 6);
  const uint64_t size = ReadFileBytes(path).size();
  EXPECT_EQ(r.d.length, size);
  EXPECT_EQ(r.d.finalPosition, size);  // the sound data runs to the end of this file
  EXPECT_EQ(r.d.left.size(), 264600u);
}

TEST(AiffReaderSamples, AifcFromSoxMatchesSox) {
  SONORELL_REQUIRE_SAMPLE("chord-ulaw.aifc");
  SONORELL_REQUIRE_TOOL("sox");
  // sox stores this one as 8-bit "NONE" (it cannot write companded AIFC).
  const std::string path = SamplePath("chord-ulaw.aifc");
  const auto ref = testing::SoxDecode16(path);
  ASSERT_TRUE(ref);
  ExpectMatches(path, *ref, 2, 1);
  const Result r = DecodeFile(path);
  EXPECT_EQ(r.d.bits, 8);
  EXPECT_EQ(r.d.duration, 6);
  EXPECT_EQ(r.d.sampleRate, 44100);
}

// ---- Files written by sox, ffmpeg and libsndfile --------------------------------------------

class AiffReaderTools : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::ToolAvailable("sox")) GTEST_SKIP() << "sox is not installed";
    // A different tone per channel, so a wrong channel pick cannot go unseen.
    source_ = dir_ / "source.wav";
    ASSERT_TRUE(RunCommand("sox -n -r 44100 -c 2 -b 16 " + ShellQuote(source_) +
                           " synth 1.3 sine 440 sine 660 gain -2"));
  }
  // sox generating into path from the stereo source with extra options.
  std::string Sox(const std::string& name, const std::string& options,
                  const std::string& effects = "") {
    const std::string path = dir_ / name;
    EXPECT_TRUE(RunCommand("sox " + ShellQuote(source_) + " " + options + " " + ShellQuote(path) +
                           " " + effects))
        << name;
    return path;
  }
  std::string Ffmpeg(const std::string& name, const std::string& options) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(RunCommand("ffmpeg -nostdin -v error -y -i " + ShellQuote(source_) + " " + options +
                           " " + ShellQuote(path)))
        << name;
    return path;
  }
  TempFolder dir_;
  std::string source_;
};

TEST_F(AiffReaderTools, IntegerWidthsMatchSox) {
  for (const std::string bits : {"8", "16", "24", "32"}) {
    SCOPED_TRACE(bits);
    const std::string path = Sox("pcm" + bits + ".aiff", "-b " + bits, "gain -0.7");
    const auto ref = SoxDecodeTop16(path);
    ASSERT_TRUE(ref);
    ExpectMatches(path, *ref, 2, 1);
    const Result r = DecodeFile(path);
    EXPECT_EQ(r.d.bits, bits == "8" ? 8 : 16);
    EXPECT_EQ(r.d.duration, 1);
  }
}

TEST_F(AiffReaderTools, RatesAndMonoMatchSox) {
  const std::string mono = Sox("mono8k.aiff", "-r 8000 -c 1");
  auto ref = testing::SoxDecode16(mono);
  ASSERT_TRUE(ref);
  ExpectMatches(mono, *ref, 1, 0);
  Result r = DecodeFile(mono);
  EXPECT_EQ(r.d.sampleRate, 8000);
  EXPECT_EQ(r.d.channels, 1);
  EXPECT_EQ(r.d.outputChannels, 1);
  EXPECT_TRUE(r.d.right.empty());

  const std::string hi = Sox("hi.aiff", "-r 96000 -b 24");
  ref = SoxDecodeTop16(hi);
  ASSERT_TRUE(ref);
  ExpectMatches(hi, *ref, 2, 1);
  r = DecodeFile(hi);
  EXPECT_EQ(r.d.sampleRate, 96000);
  EXPECT_EQ(r.d.left.size(), 124800u);  // 1.3 s
}

TEST_F(AiffReaderTools, SixChannelsDeliverFirstAndFourth) {
  const std::string path = dir_ / "six.aiff";
  ASSERT_TRUE(RunCommand("sox -n -r 48000 -c 6 -b 16 " + ShellQuote(path) +
                         " synth 0.7 sine 200 sine 300 sine 400 sine 500 sine 600 sine 700"));
  const auto ref = testing::SoxDecode16(path);
  ASSERT_TRUE(ref);
  ExpectMatches(path, *ref, 6, 3);
  const Result r = DecodeFile(path);
  EXPECT_EQ(r.d.channels, 6);
  EXPECT_EQ(r.d.outputChannels, 2);
}

TEST_F(AiffReaderTools, ThreeAndFourChannelsDeliverFirstAndSecond) {
  for (int channels : {3, 4}) {
    const std::string path = dir_ / ("multi" + std::to_string(channels) + ".aiff");
    ASSERT_TRUE(RunCommand("sox -n -r 22050 -c " + std::to_string(channels) + " -b 24 " +
                           ShellQuote(path) + " synth 0.4 sine 200 sine 300 sine 400 sine 500"));
    const auto ref = SoxDecodeTop16(path);
    ASSERT_TRUE(ref);
    ExpectMatches(path, *ref, channels, 1);
  }
}

TEST_F(AiffReaderTools, TwelveBitIsReadAsSixteen) {
  // sox cannot write 12-bit AIFF: relabel a 16-bit file. A 12-bit sample is stored
  // left-justified in two bytes, so all sixteen stored bits come through unchanged.
  const std::string path = Sox("pcm16.aiff", "-b 16", "");
  const auto ref = testing::SoxDecode16(path);
  ASSERT_TRUE(ref);
  std::string bytes = ReadFileBytes(path);
  const size_t comm = bytes.find("COMM");
  ASSERT_NE(comm, std::string::npos);
  bytes[comm + 8 + 6] = 0;
  bytes[comm + 8 + 7] = 12;
  const std::string twelve = dir_ / "pcm12.aiff";
  WriteFileBytes(twelve, bytes);
  ExpectMatches(twelve, *ref, 2, 1);
  EXPECT_EQ(DecodeFile(twelve).d.bits, 16);
}

TEST_F(AiffReaderTools, FloatDiffersFromSoxOnlyByTruncation) {
  // sox rounds to 16 bits; the reader truncates x * 2147483647 toward zero and keeps the top
  // half, so a positive sample comes out one step lower, never more.
  for (const std::string bits : {"32", "64"}) {
    SCOPED_TRACE(bits);
    const std::string path = Sox("float" + bits + ".aifc", "-e floating-point -b " + bits);
    const auto ref = testing::SoxDecode16(path);
    ASSERT_TRUE(ref);
    const Result r = DecodeFile(path);
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.d.bits, 16);
    std::vector<int16_t> left, right;
    SplitChannels(*ref, 2, 1, left, right);
    ASSERT_EQ(r.d.left.size(), left.size());
    ASSERT_EQ(r.d.right.size(), right.size());
    for (size_t i = 0; i < left.size(); ++i) {
      ASSERT_EQ(r.d.left[i], left[i] > 0 ? left[i] - 1 : left[i]) << i;
      ASSERT_EQ(r.d.right[i], right[i] > 0 ? right[i] - 1 : right[i]) << i;
    }
  }
}

TEST_F(AiffReaderTools, CompandedAndLittleEndianMatchFfmpeg) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  // ffmpeg writes the compression types in lower case ("ulaw", "alaw", "sowt").
  for (const std::string codec : {"pcm_mulaw", "pcm_alaw", "pcm_s16le", "pcm_f32be"}) {
    SCOPED_TRACE(codec);
    const std::string path = Ffmpeg(codec + ".aifc", "-c:a " + codec);
    const auto ref = testing::FfmpegDecode16(path);
    ASSERT_TRUE(ref);
    if (codec == "pcm_f32be") {
      // ffmpeg rounds like sox: at most one step apart.
      ExpectMatches(path, *ref, 2, 1, 1, ref->size());
    } else {
      ExpectMatches(path, *ref, 2, 1);
    }
  }
  const std::string mono = Ffmpeg("ulaw8k.aifc", "-ar 8000 -ac 1 -c:a pcm_mulaw");
  const auto ref = testing::FfmpegDecode16(mono);
  ASSERT_TRUE(ref);
  ExpectMatches(mono, *ref, 1, 0);
}

TEST_F(AiffReaderTools, RawAndWideIntegersMatchFfmpeg) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  // ffmpeg stores unsigned 8-bit as AIFC "raw ".
  for (const std::string codec : {"pcm_u8", "pcm_s8", "pcm_s24be", "pcm_s32be"}) {
    SCOPED_TRACE(codec);
    const std::string path = Ffmpeg(codec + ".aifc", "-c:a " + codec);
    const auto ref = testing::FfmpegDecode16(path);
    ASSERT_TRUE(ref);
    ExpectMatches(path, *ref, 2, 1);
    EXPECT_EQ(DecodeFile(path).d.bits, codec == "pcm_u8" || codec == "pcm_s8" ? 8 : 16);
  }
}

TEST_F(AiffReaderTools, Ima4MatchesLibsndfile) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("sndfile-convert");
  const std::string path = Ffmpeg("ima4.aifc", "-c:a adpcm_ima_qt");
  // libsndfile starts every packet from its header, as Apple's decoder does: identical.
  const auto ref = SndfileDecode16(path, dir_ / "ima4.wav");
  ASSERT_TRUE(ref);
  ExpectMatches(path, *ref, 2, 1);
  const Result r = DecodeFile(path);
  EXPECT_EQ(r.d.bits, 16);
  EXPECT_EQ(r.d.duration, 1);
  EXPECT_EQ(r.d.left.size() % 64, 0u);

  // ffmpeg keeps its own predictor across packets when the header is within 127 of it, so
  // whole packets sit a constant below 128 apart.
  const auto theirs = testing::FfmpegDecode16(path);
  ASSERT_TRUE(theirs);
  std::vector<int16_t> left, right;
  SplitChannels(*theirs, 2, 1, left, right);
  const Difference dl = Compare(r.d.left, left);
  const Difference dr = Compare(r.d.right, right);
  std::printf("IMA4 vs ffmpeg: left %zu/%zu differ (max %d), right %zu/%zu differ (max %d)\n",
              dl.differing, dl.compared, dl.maxAbs, dr.differing, dr.compared, dr.maxAbs);
  EXPECT_TRUE(dl.sameLength);
  EXPECT_LT(dl.maxAbs, 128);
  EXPECT_LT(dr.maxAbs, 128);
}

TEST_F(AiffReaderTools, GsmMatchesSox) {
  // Neither sox nor ffmpeg writes GSM into AIFC: wrap sox's own 33-byte frames.
  const std::string raw = Sox("speech.gsm", "-r 8000 -c 1");
  const auto ref = testing::SoxDecode16(raw);
  ASSERT_TRUE(ref);
  const std::string frames = ReadFileBytes(raw);
  ASSERT_EQ(frames.size() % 33, 0u);
  const uint32_t count = static_cast<uint32_t>(frames.size() / 33 * 160);
  const std::string path = dir_ / "gsm.aifc";
  WriteFileBytes(path, Form("AIFC", AifcComm(1, count, 16, "GSM ") + Ssnd(frames)));
  ExpectMatches(path, *ref, 1, 0);
  const Result r = DecodeFile(path);
  EXPECT_EQ(r.d.duration, 1);
  EXPECT_EQ(r.d.sampleRate, 8000);
  EXPECT_EQ(r.d.left.size(), count);
}

TEST_F(AiffReaderTools, DwvwMatchesLibsndfile) {
  SONORELL_REQUIRE_TOOL("sndfile-convert");
  const std::string mono = Sox("mono.wav", "-c 1");
  // libsndfile 1.2's 12-bit DWVW writer leaves the sound data empty: 16 and 24 only here;
  // the round trip through a coder of our own covers the other widths.
  for (const std::string bits : {"16", "24"}) {
    SCOPED_TRACE(bits);
    const std::string path = dir_ / ("dwvw" + bits + ".aif");
    ASSERT_TRUE(RunCommand("sndfile-convert -dwvw" + bits + " " + ShellQuote(mono) + " " +
                           ShellQuote(path)));
    const auto ref = SndfileDecode16(path, dir_ / ("dwvw" + bits + ".wav"));
    ASSERT_TRUE(ref);
    ExpectMatches(path, *ref, 1, 0);
    const Result r = DecodeFile(path);
    EXPECT_EQ(r.d.duration, 1);
    EXPECT_EQ(r.d.bits, 16);
  }
}

// Any cut of a valid file opens or not, but never delivers anything the whole file does not.
void ExpectTruncationsArePrefixes(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  const Result whole = DecodeFile(path);
  ASSERT_TRUE(whole.opened) << path;
  TempFolder dir;
  const std::string cut = dir / "cut.aif";
  WriteFileBytes(cut, "");
  size_t written = 0;
  for (size_t size = 0; size < bytes.size(); size += size < 200 ? 1 : 997) {
    // Growing one file (rather than rewriting it) spares the file system a discard per cut.
    std::ofstream(cut, std::ios::binary | std::ios::app) << bytes.substr(written, size - written);
    written = size;
    const Result r = DecodeFile(cut, 100000);
    if (!r.opened) continue;
    const size_t n = r.d.left.size();
    ASSERT_LE(n, whole.d.left.size()) << path << " cut at " << size;
    ASSERT_TRUE(std::equal(r.d.left.begin(), r.d.left.end(), whole.d.left.begin()))
        << path << " cut at " << size;
    ASSERT_EQ(r.d.right.size(), whole.d.right.empty() ? 0 : n);
    ASSERT_TRUE(std::equal(r.d.right.begin(), r.d.right.end(), whole.d.right.begin()))
        << path << " cut at " << size;
    EXPECT_LE(r.d.finalPosition, size);
  }
}

TEST_F(AiffReaderTools, TruncatedFilesEndEarly) {
  ExpectTruncationsArePrefixes(Sox("t16.aiff", "-b 16 -r 8000", "trim 0 0.2"));
  ExpectTruncationsArePrefixes(Sox("t24.aiff", "-b 24 -r 8000", "trim 0 0.2"));
  ExpectTruncationsArePrefixes(Sox("tf.aifc", "-e floating-point -b 64 -r 8000", "trim 0 0.2"));
  if (testing::ToolAvailable("ffmpeg")) {
    ExpectTruncationsArePrefixes(Ffmpeg("tima.aifc", "-t 0.3 -c:a adpcm_ima_qt"));
    ExpectTruncationsArePrefixes(Ffmpeg("tulaw.aifc", "-t 0.2 -ar 8000 -c:a pcm_mulaw"));
  }
  if (testing::ToolAvailable("sndfile-convert")) {
    const std::string mono = Sox("tmono.wav", "-c 1 -r 8000", "trim 0 0.3");
    const std::string dwvw = dir_ / "tdwvw.aif";
    ASSERT_TRUE(RunCommand("sndfile-convert -dwvw16 " + ShellQuote(mono) + " " + ShellQuote(dwvw)));
    ExpectTruncationsArePrefixes(dwvw);
  }
  const std::string raw = Sox("tgsm.gsm", "-r 8000 -c 1", "trim 0 0.3");
  const std::string frames = ReadFileBytes(raw);
  const std::string gsm = dir_ / "tgsm.aifc";
  WriteFileBytes(gsm, Form("AIFC", AifcComm(1, 2400, 16, "GSM ") + Ssnd(frames)));
  ExpectTruncationsArePrefixes(gsm);
}

// ---- Layout rules ---------------------------------------------------------------------------

TEST(AiffReaderLayout, EightBitIsDeliveredUnsigned) {
  const Result r =
      DecodeBytes(Form("AIFF", AiffComm(1, 4, 8) + Ssnd(Bytes({0x80, 0, 0x7F, 0xFF}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.bits, 8);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0, 128, 255, 127}));
}

TEST(AiffReaderLayout, SmallSampleSizesUseTheByteReaders) {
  // 1 to 8 bits are stored one byte each, 9 to 16 in two, and so on.
  Result r = DecodeBytes(Form("AIFF", AiffComm(1, 2, 1) + Ssnd(Bytes({0x80, 0x00}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0, 128}));
  r = DecodeBytes(
      Form("AIFF", AiffComm(1, 2, 20) + Ssnd(Bytes({0x12, 0x34, 0x50, 0xFF, 0xFF, 0xF0}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0x1234, -1}));
  r = DecodeBytes(Form("AIFF", AiffComm(1, 1, 32) + Ssnd(Bytes({0x80, 0x01, 0xFF, 0xFF}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{-32767}));
}

TEST(AiffReaderLayout, IntegerSampleSizesOutsideOneToThirtyTwoAreRefused) {
  for (int bits : {0, -1, -16, 33, 64}) {
    EXPECT_FALSE(
        DecodeBytes(Form("AIFF", AiffComm(1, 2, bits) + Ssnd(std::string(16, 'x')))).opened)
        << bits;
    EXPECT_FALSE(
        DecodeBytes(Form("AIFC", AifcComm(1, 2, bits, "NONE") + Ssnd(std::string(16, 'x')))).opened)
        << bits;
  }
}

TEST(AiffReaderLayout, LowerCaseCompressionIsAccepted) {
  const Result r =
      DecodeBytes(Form("AIFC", AifcComm(2, 2, 16, "sowt") + Ssnd(Bytes({1, 2, 3, 4, 5, 6, 7, 8}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0x0201, 0x0605}));
  EXPECT_EQ(r.d.right, (std::vector<int16_t>{0x0403, 0x0807}));
  const Result ni =
      DecodeBytes(Form("AIFC", AifcComm(1, 1, 24, "23ni") + Ssnd(Bytes({0x00, 0x34, 0x12}))));
  ASSERT_TRUE(ni.opened);
  EXPECT_EQ(ni.d.left, (std::vector<int16_t>{0x1234}));
}

TEST(AiffReaderLayout, CompressionTypesSelectTheirDecoding) {
  Result r = DecodeBytes(Form("AIFC", AifcComm(1, 2, 16, "raw ") + Ssnd(Bytes({0x00, 0x80}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.bits, 8);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0, 128}));
  r = DecodeBytes(Form("AIFC", AifcComm(1, 2, 0, "ulaw") + Ssnd(Bytes({0xFF, 0x00}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0, -32124}));
  r = DecodeBytes(Form("AIFC", AifcComm(1, 2, 0, "alaw") + Ssnd(Bytes({0xD5, 0x2A}))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{8, -32256}));
  EXPECT_FALSE(DecodeBytes(Form("AIFC", AifcComm(1, 2, 16, "ACE2") + Ssnd("abcd"))).opened);
  EXPECT_FALSE(
      DecodeBytes(Form("AIFC", AifcComm(1, 2, 16, std::string(4, '\0')) + Ssnd("abcd"))).opened);
}

TEST(AiffReaderLayout, FloatOutsideFullScaleIsClamped) {
  const auto f32 = [](float f) {
    uint32_t bits;
    std::memcpy(&bits, &f, 4);
    return Be32(bits);
  };
  const std::string samples = f32(2.0f) + f32(-3.5f) + f32(std::nanf("")) + f32(1.0f) + f32(-1.0f) +
                              f32(INFINITY) + f32(0.5f);
  const Result r = DecodeBytes(Form("AIFC", AifcComm(1, 7, 32, "fl32") + Ssnd(samples)));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{32767, -32768, 0, 32767, -32768, 32767, 16383}));
}

TEST(AiffReaderLayout, SsndBeforeCommIsAccepted) {
  const Result r = DecodeBytes(Form(
      "AIFF", Ssnd(Bytes({0x12, 0x34, 0x56, 0x78})) + Chunk("NAME", "x") + AiffComm(1, 2, 16)));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{0x1234, 0x5678}));
}

TEST(AiffReaderLayout, OddChunksAreSkippedWithTheirPad) {
  const Result r = DecodeBytes(Form("AIFF", Chunk("ANNO", "odd") + AiffComm(1, 3, 8) +
                                                Chunk("APPL", "z") + Ssnd(Bytes({1, 2, 3}))));
  ASSERT_TRUE(r.opened);
  // The pad byte after an odd sound chunk is not a sample.
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{129, 130, 131}));
}

TEST(AiffReaderLayout, SoundDataStopsAtTheChunkEnd) {
  const Result r = DecodeBytes(Form("AIFF", AiffComm(1, 2, 16) + Ssnd(Bytes({0, 1, 0, 2})) +
                                                Chunk("COMT", std::string(64, '\x7f'))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{1, 2}));
}

TEST(AiffReaderLayout, SsndOffsetSkipsToTheFirstSample) {
  const std::string file = Form("AIFF", AiffComm(1, 2, 16) + Ssnd(Bytes({0, 1, 0, 2}), 6));
  const Result r = DecodeBytes(file);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{1, 2}));
  EXPECT_EQ(r.d.finalPosition, file.size());
  EXPECT_EQ(r.d.length, file.size());
}

TEST(AiffReaderLayout, SsndOffsetPastTheChunkIsRefused) {
  const std::string body = Be32(100) + Be32(0) + std::string(20, 'x');
  EXPECT_FALSE(DecodeBytes(Form("AIFF", AiffComm(1, 2, 16) + Chunk("SSND", body))).opened);
  EXPECT_FALSE(DecodeBytes(Form("AIFF", AiffComm(1, 2, 16) + Chunk("SSND", "1234567"))).opened);
  // Exactly at the end: no sound, but a valid file.
  const std::string empty = Be32(12) + Be32(0) + std::string(12, 'x');
  const Result r = DecodeBytes(Form("AIFF", AiffComm(1, 0, 16) + Chunk("SSND", empty)));
  ASSERT_TRUE(r.opened);
  EXPECT_TRUE(r.d.left.empty());
}

TEST(AiffReaderLayout, SizesPastTheFileAreReadToWhatIsThere) {
  for (uint32_t declared :
       {uint32_t{1000}, uint32_t{0x7FFFFFFF}, uint32_t{0xFFFFFFF7}, uint32_t{0xFFFFFFFF}}) {
    const std::string ssnd = "SSND" + Be32(declared) + Be32(0) + Be32(0) + Bytes({0, 1, 0, 2, 0});
    const Result r = DecodeBytes(Form("AIFF", AiffComm(1, 2, 16) + ssnd));
    ASSERT_TRUE(r.opened) << declared;
    EXPECT_EQ(r.d.left, (std::vector<int16_t>{1, 2})) << declared;
  }
}

TEST(AiffReaderLayout, HugeChunksBeforeTheSoundEndTheWalk) {
  for (uint32_t declared : {uint32_t{0xFFFFFFFF}, uint32_t{0xFFFFFFFE}, uint32_t{0x80000001}}) {
    const std::string junk = "JUNK" + Be32(declared) + "abcd";
    EXPECT_FALSE(DecodeBytes(Form("AIFF", AiffComm(1, 2, 16) + junk + Ssnd("abcd"))).opened);
    EXPECT_FALSE(DecodeBytes(Form("AIFF", Ssnd("abcd") + "COMM" + Be32(declared))).opened);
  }
}

TEST(AiffReaderLayout, CommSizeRules) {
  const std::string sound = Ssnd(Bytes({0, 1}));
  // AIFF requires exactly 18 bytes.
  EXPECT_FALSE(
      DecodeBytes(Form("AIFF", Chunk("COMM", CommBody(1, 1, 16, Extended(8000)) + "xy") + sound))
          .opened);
  EXPECT_FALSE(
      DecodeBytes(
          Form("AIFF", Chunk("COMM", CommBody(1, 1, 16, Extended(8000)).substr(0, 16)) + sound))
          .opened);
  // AIFC needs the compression type: at least 22 bytes.
  EXPECT_FALSE(
      DecodeBytes(Form("AIFC", Chunk("COMM", CommBody(1, 1, 16, Extended(8000)) + "NO") + sound))
          .opened);
  // A long AIFC COMM is read for its fixed fields and the rest is skipped.
  const std::string name = "\x0Enot compressed";
  Result r = DecodeBytes(Form("AIFC", Chunk("COMM", CommBody(1, 1, 16, Extended(8000)) + "NONE" +
                                                        name + std::string(300, 'q')) +
                                          sound));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{1}));
  // Even one whose declared size runs off the file, when the sound came first.
  r = DecodeBytes(Form(
      "AIFC", sound + "COMM" + Be32(0xFFFFFF00) + CommBody(1, 1, 16, Extended(8000)) + "NONE"));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left, (std::vector<int16_t>{1}));
}

TEST(AiffReaderLayout, ChannelCounts) {
  for (int channels : {0, -2, 5, 7, 8, 255}) {
    EXPECT_FALSE(
        DecodeBytes(Form("AIFF", AiffComm(channels, 1, 16) + Ssnd(std::string(32, 'x')))).opened)
        << channels;
  }
  const std::string frame = Bytes({0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 0, 6});
  const struct {
    int channels;
    int16_t right;
  } cases[] = {{1, 0}, {2, 2}, {3, 2}, {4, 2}, {6, 4}};
  for (const auto& c : cases) {
    const Result r =
        DecodeBytes(Form("AIFF", AiffComm(c.channels, 1, 16) +
                                     Ssnd(frame.substr(0, 2 * static_cast<size_t>(c.channels)))));
    ASSERT_TRUE(r.opened) << c.channels;
    EXPECT_EQ(r.d.channels, c.channels);
    EXPECT_EQ(r.d.outputChannels, c.channels == 1 ? 1 : 2);
    EXPECT_EQ(r.d.left, (std::vector<int16_t>{1}));
    if (c.channels > 1) {
      EXPECT_EQ(r.d.right, (std::vector<int16_t>{c.right}));
    }
  }
}

TEST(AiffReaderLayout, SampleRates) {
  const auto open = [](const std::string& rate) {
    AiffReader reader;
    TempFolder dir;
    WriteFileBytes(dir / "r.aif",
                   Form("AIFF", Chunk("COMM", CommBody(1, 4, 16, rate)) + Ssnd("abcdefgh")));
    return reader.Open(dir / "r.aif", 0) ? reader.GetSampleRate() : -1;
  };
  EXPECT_EQ(open(Extended(44100)), 44100);
  EXPECT_EQ(open(Extended(1)), 1);
  EXPECT_EQ(open(Extended(22050.75)), 22050);
  EXPECT_EQ(open(Extended(2147483647.0)), 2147483647);
  EXPECT_EQ(open(Extended(0)), -1);
  EXPECT_EQ(open(Extended(0.99)), -1);
  EXPECT_EQ(open(Extended(-44100)), -1);
  EXPECT_EQ(open(Extended(2147483648.0)), -1);
  EXPECT_EQ(open(Extended(1e300)), -1);
  EXPECT_EQ(open(Extended(false, 0x7FFF, 0)), -1);                      // infinity
  EXPECT_EQ(open(Extended(false, 0x7FFF, 0xC000000000000000ull)), -1);  // NaN
  EXPECT_EQ(open(Extended(false, 0x7FFE, ~0ull)), -1);
  EXPECT_EQ(open(Extended(false, 1, ~0ull)), -1);  // tiny
  // An unnormalised mantissa still counts by its value.
  EXPECT_EQ(open(Extended(false, 16383 + 23, 0x00AC440000000000ull)), 44100);
}

TEST(AiffReaderLayout, DurationAndBitrate) {
  AiffReader reader;
  TempFolder dir;
  // 16000 frames of 8 kHz mono: 2 s.
  const std::string file = Form("AIFF", AiffComm(1, 16000, 16) + Ssnd(std::string(32000, '\0')));
  WriteFileBytes(dir / "a.aif", file);
  ASSERT_TRUE(reader.Open(dir / "a.aif", 0));
  EXPECT_EQ(reader.GetDuration(), 2);
  EXPECT_EQ(reader.GetBitrate(), static_cast<int>(file.size() / 250));
  EXPECT_EQ(reader.GetLength(), file.size());
  EXPECT_EQ(reader.GetPosition(), file.size() - 32000);

  // A frame count of 0 is taken as 1: duration 0, bitrate from the format.
  WriteFileBytes(dir / "b.aif", Form("AIFF", AiffComm(2, 0, 16) + Ssnd(std::string(64, '\0'))));
  ASSERT_TRUE(reader.Open(dir / "b.aif", 0));
  EXPECT_EQ(reader.GetDuration(), 0);
  EXPECT_EQ(reader.GetBitrate(), 256);
  // The data is still all read.
  const Decoded d = DecodeAll(reader);
  EXPECT_EQ(d.left.size(), 16u);

  reader.Close();
  EXPECT_EQ(reader.GetLength(), 0u);
  EXPECT_EQ(reader.GetSampleRate(), 0);
  EXPECT_EQ(reader.GetChannels(), 0);
  int16_t l[BlockFrames], r[BlockFrames];
  EXPECT_EQ(reader.Read(l, r), 0);
}

TEST(AiffReaderLayout, BlocksAreAtMostBlockFrames) {
  const Result r =
      DecodeBytes(Form("AIFF", AiffComm(6, 3000, 32) + Ssnd(std::string(3000 * 24, '\1'))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left.size(), 3000u);
  EXPECT_EQ(r.d.reads, 3);
}

TEST(AiffReaderLayout, ContainerIdentifiers) {
  const std::string body = AiffComm(1, 1, 16) + Ssnd(Bytes({0, 1}));
  EXPECT_TRUE(DecodeBytes(Form("AIFF", body)).opened);
  EXPECT_FALSE(DecodeBytes(Form("AIFX", body)).opened);
  EXPECT_FALSE(DecodeBytes("RIFF" + Form("AIFF", body).substr(4)).opened);
  EXPECT_FALSE(DecodeBytes("").opened);
  EXPECT_FALSE(DecodeBytes("FORM").opened);
  EXPECT_FALSE(DecodeBytes(Form("AIFF", AiffComm(1, 1, 16))).opened);
  EXPECT_FALSE(DecodeBytes(Form("AIFF", Ssnd(Bytes({0, 1})))).opened);
  AiffReader reader;
  EXPECT_FALSE(reader.Open("/nonexistent/file.aif", 0));
  EXPECT_FALSE(reader.Open("/tmp", 0));
}

TEST(AiffReaderLayout, ReopeningReplacesTheFile) {
  TempFolder dir;
  WriteFileBytes(dir / "a.aif", Form("AIFF", AiffComm(2, 1, 24) + Ssnd(Bytes({1, 2, 3, 4, 5, 6}))));
  WriteFileBytes(dir / "b.aif", Form("AIFC", AifcComm(1, 2, 8, "NONE") + Ssnd(Bytes({0, 1}))));
  AiffReader reader;
  ASSERT_TRUE(reader.Open(dir / "a.aif", 0));
  ASSERT_TRUE(reader.Open(dir / "b.aif", 0));
  const Decoded d = DecodeAll(reader);
  EXPECT_EQ(d.bits, 8);
  EXPECT_EQ(d.left, (std::vector<int16_t>{128, 129}));
  EXPECT_FALSE(reader.Open(dir / "missing.aif", 0));
  EXPECT_EQ(reader.GetBitsPerSample(), 0);
}

// ---- Apple IMA4 -----------------------------------------------------------------------------

// One 34-byte packet: header then 32 bytes of codes.
std::string Ima4Packet(uint16_t header, uint8_t codes) {
  return Be16(header) + std::string(32, static_cast<char>(codes));
}

TEST(AiffReaderIma4, PacketsDecodeFromTheirHeaders) {
  // Predictor 0x1280 (low seven bits are the step index 0); code 0 adds step >> 3 = 0.
  // Right channel: predictor -256, index 100 clamped to 88, code 0x77 adds 32767 each time.
  const std::string block = Ima4Packet(0x1280, 0x00) + Ima4Packet(0xFF00 | 100, 0x77);
  const Result r = DecodeBytes(Form("AIFC", AifcComm(2, 1, 16, "ima4") + Ssnd(block + block)));
  ASSERT_TRUE(r.opened);
  ASSERT_EQ(r.d.left.size(), 128u);
  EXPECT_EQ(r.d.left[0], 0x1280);
  EXPECT_EQ(r.d.left[63], 0x1280);
  EXPECT_EQ(r.d.right[0], 32767);
  EXPECT_EQ(r.d.right[64], 32767);  // the second packet starts over from its header
  EXPECT_EQ(r.d.reads, 2);
}

TEST(AiffReaderIma4, PartialBlockEndsTheData) {
  const std::string block = Ima4Packet(0, 0x11) + Ima4Packet(0, 0x99);
  const Result r =
      DecodeBytes(Form("AIFC", AifcComm(2, 2, 16, "ima4") + Ssnd(block + block.substr(0, 67))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left.size(), 64u);
  EXPECT_EQ(r.d.right.size(), 64u);
}

TEST(AiffReaderIma4, OnlyStereoIsAccepted) {
  const std::string block = Ima4Packet(0, 0) + Ima4Packet(0, 0);
  for (int channels : {1, 3, 4, 6}) {
    EXPECT_FALSE(
        DecodeBytes(Form("AIFC", AifcComm(channels, 1, 16, "ima4") + Ssnd(block + block + block)))
            .opened)
        << channels;
  }
}

TEST(AiffReaderIma4, DurationCountsPackets) {
  AiffReader reader;
  TempFolder dir;
  // 250 blocks of 64 frames at 8 kHz: 2 s, whatever the frame count says.
  WriteFileBytes(dir / "i.aifc",
                 Form("AIFC", AifcComm(2, 7, 16, "ima4") + Ssnd(std::string(250 * 68, '\0'))));
  ASSERT_TRUE(reader.Open(dir / "i.aifc", 0));
  EXPECT_EQ(reader.GetDuration(), 2);
}

// ---- GSM ------------------------------------------------------------------------------------

TEST(AiffReaderGsm, StereoSplitsEachFrameIntoPairs) {
  // A silent GSM frame is not all zero bytes; any 33 bytes with the 0xD signature decode.
  const std::string frame = std::string(1, '\xD0') + std::string(32, '\0');
  const Result r = DecodeBytes(Form("AIFC", AifcComm(2, 160, 16, "GSM ") + Ssnd(frame + frame)));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left.size(), 160u);
  EXPECT_EQ(r.d.right.size(), 160u);
  EXPECT_EQ(r.d.reads, 2);
}

TEST(AiffReaderGsm, ShortTailAndWideLayoutsAreHandled) {
  const std::string frame = std::string(1, '\xD0') + std::string(32, '\0');
  const Result r =
      DecodeBytes(Form("AIFC", AifcComm(1, 320, 16, "GSM ") + Ssnd(frame + frame.substr(0, 32))));
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left.size(), 160u);
  EXPECT_FALSE(DecodeBytes(Form("AIFC", AifcComm(6, 320, 16, "GSM ") + Ssnd(frame))).opened);
}

// ---- DWVW -----------------------------------------------------------------------------------

class ByteString : public DwvwByteSource {
 public:
  explicit ByteString(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t ReadBytes(uint8_t* buffer, size_t size) override {
    const size_t n = std::min(size, bytes_.size() - at_);
    std::memcpy(buffer, bytes_.data() + at_, n);
    at_ += n;
    return n;
  }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

std::vector<int32_t> DecodeDwvw(const std::string& bytes, int bits, int chunk = 1000) {
  DwvwDecoder decoder;
  EXPECT_TRUE(decoder.Init(bits));
  ByteString input(bytes);
  std::vector<int32_t> all, values(static_cast<size_t>(chunk));
  for (int guard = 0; guard < 1'000'000; ++guard) {
    const int n = decoder.Decode(input, values.data(), chunk);
    all.insert(all.end(), values.begin(), values.begin() + n);
    if (n < chunk) {
      EXPECT_TRUE(decoder.Finished());
      EXPECT_EQ(decoder.Decode(input, values.data(), chunk), 0);
      return all;
    }
  }
  ADD_FAILURE() << "the decoder never finished";
  return all;
}

TEST(DwvwDecoder, WidthsOutsideEightToTwentyFourAreRefused) {
  DwvwDecoder d;
  EXPECT_FALSE(d.Init(7));
  EXPECT_FALSE(d.Init(25));
  EXPECT_FALSE(d.Init(0));
  EXPECT_FALSE(d.Valid());
  EXPECT_TRUE(d.Init(8));
  EXPECT_TRUE(d.Init(24));
}

TEST(DwvwDecoder, HandCodedValues) {
  // 16 bits, modifier field of up to 8 zeros. Value 1: modifier "001" (+2) and sign "0",
  // width 2: delta bit "1" -> 0b11 = 3, sign "0": sample 3. Value 2: modifier "1" (0), width
  // 2 again: "0", sign "1": delta -2, sample 1. Value 3: "1" then width 2 "1" "0": +3 -> 4.
  // Bits: 001 0 1 0 | 1 0 1 | 1 1 0 -> 00101010 11100000 with the zero fill.
  const std::vector<int32_t> v = DecodeDwvw(Bytes({0x2A, 0xE0}), 16);
  ASSERT_EQ(v.size(), 3u);  // the zero fill after the last value is not a value
  EXPECT_EQ(v[0], 3 << 16);
  EXPECT_EQ(v[1], 1 << 16);
  EXPECT_EQ(v[2], 4 << 16);
}

TEST(DwvwDecoder, EndsOnEveryInput) {
  EXPECT_TRUE(DecodeDwvw("", 16).empty());
  EXPECT_TRUE(DecodeDwvw("", 8).empty());
  for (int bits : {8, 12, 16, 20, 24}) {
    for (const std::string& fill : {std::string(4096, '\0'), std::string(4096, '\xFF'),
                                    std::string(4096, '\x55'), std::string(1, '\x80')}) {
      // Every value takes at least one coded bit.
      EXPECT_LE(DecodeDwvw(fill, bits).size(), fill.size() * 8) << bits;
    }
  }
  std::mt19937 random(7);
  for (int round = 0; round < 200; ++round) {
    std::string bytes(static_cast<size_t>(random() % 700), '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    const int bits = 8 + static_cast<int>(random() % 17);
    const std::vector<int32_t> all = DecodeDwvw(bytes, bits, 1 + static_cast<int>(random() % 300));
    EXPECT_LE(all.size(), bytes.size() * 8);
    // Decoding in other chunk sizes gives the same values.
    EXPECT_EQ(DecodeDwvw(bytes, bits, 1152), all);
    for (int32_t value : all) {
      EXPECT_EQ(value & ((int64_t{1} << (32 - bits)) - 1), 0) << "not justified to the top";
    }
  }
}

// A DWVW coder written from the format's description, to reach widths no tool writes.
class DwvwEncoder {
 public:
  explicit DwvwEncoder(int bits) : bits_(bits), maxDelta_(1 << (bits - 1)) {}
  void Add(int32_t sample) {
    int32_t delta = sample - last_;
    if (delta >= maxDelta_) delta -= 2 * maxDelta_;
    if (delta < -maxDelta_) delta += 2 * maxDelta_;
    last_ = sample;
    const bool negative = delta < 0;
    const int32_t magnitude = negative ? -delta : delta;
    const int32_t code = std::min(magnitude, maxDelta_ - 1);
    int width = 0;
    while (width < 31 && (int32_t{1} << width) <= code) ++width;
    int modifier = width - lastWidth_;
    if (modifier > bits_ / 2) modifier -= bits_;
    if (modifier < -(bits_ / 2)) modifier += bits_;
    lastWidth_ = width;
    const int zeros = std::abs(modifier);
    for (int i = 0; i < zeros; ++i) Put(0);
    if (zeros < bits_ / 2) Put(1);
    if (modifier != 0) Put(modifier < 0);
    if (width != 0) {
      for (int i = width - 2; i >= 0; --i) Put((code >> i) & 1);
      Put(negative);
      if (code == maxDelta_ - 1) Put(magnitude - code);
    }
  }
  std::string Finish() {
    while (used_ != 0) Put(0);
    return out_;
  }

 private:
  void Put(int bit) {
    byte_ = static_cast<uint8_t>(byte_ << 1 | (bit & 1));
    if (++used_ == 8) {
      out_ += static_cast<char>(byte_);
      used_ = 0;
      byte_ = 0;
    }
  }
  int bits_;
  int32_t maxDelta_;
  int32_t last_ = 0;
  int lastWidth_ = 0;
  uint8_t byte_ = 0;
  int used_ = 0;
  std::string out_;
};

TEST(DwvwDecoder, RoundTripsEveryWidth) {
  std::mt19937 random(11);
  for (int bits = DwvwDecoder::kMinBits; bits <= DwvwDecoder::kMaxBits; ++bits) {
    SCOPED_TRACE(bits);
    const int32_t top = (1 << (bits - 1)) - 1;
    std::vector<int32_t> samples;
    for (int i = 0; i < 3000; ++i) {
      const double tone = std::sin(i * 0.05) * top;
      samples.push_back(i < 1000   ? static_cast<int32_t>(tone)
                        : i < 2000 ? static_cast<int32_t>(random() % (2u * top + 2)) - top - 1
                                   : (i % 2 ? top : -top - 1));  // full-scale jumps
    }
    DwvwEncoder encoder(bits);
    for (int32_t s : samples) encoder.Add(s);
    const std::vector<int32_t> decoded = DecodeDwvw(encoder.Finish(), bits, 777);
    ASSERT_GE(decoded.size(), samples.size());
    for (size_t i = 0; i < samples.size(); ++i) {
      ASSERT_EQ(decoded[i], static_cast<int32_t>(static_cast<uint32_t>(samples[i]) << (32 - bits)))
          << i;
    }
  }
}

TEST(AiffReaderDwvw, WidthRulesAndFrameCount) {
  EXPECT_FALSE(DecodeBytes(Form("AIFC", AifcComm(1, 4, 7, "DWVW") + Ssnd("abcd"))).opened);
  EXPECT_FALSE(DecodeBytes(Form("AIFC", AifcComm(1, 4, 25, "DWVW") + Ssnd("abcd"))).opened);
  // The stored frame count bounds what the coder's flush values would add.
  const std::string coded = std::string(64, '\x55');
  const Result all = DecodeBytes(Form("AIFC", AifcComm(1, 0xFFFFFFFF, 16, "DWVW") + Ssnd(coded)));
  ASSERT_TRUE(all.opened);
  ASSERT_GT(all.d.left.size(), 10u);
  const Result some = DecodeBytes(Form("AIFC", AifcComm(1, 10, 16, "DWVW") + Ssnd(coded)));
  ASSERT_TRUE(some.opened);
  EXPECT_EQ(some.d.left, std::vector<int16_t>(all.d.left.begin(), all.d.left.begin() + 10));
  // Stereo: values alternate between the channels; a lone last value is dropped.
  const Result stereo = DecodeBytes(Form("AIFC", AifcComm(2, 0, 16, "DWVW") + Ssnd(coded)));
  ASSERT_TRUE(stereo.opened);
  ASSERT_EQ(stereo.d.left.size(), all.d.left.size() / 2);
  for (size_t i = 0; i < stereo.d.left.size(); ++i) {
    EXPECT_EQ(stereo.d.left[i], all.d.left[2 * i]);
    EXPECT_EQ(stereo.d.right[i], all.d.left[2 * i + 1]);
  }
}

}  // namespace
}  // namespace sonorell
