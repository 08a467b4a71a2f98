#include "engine/encoders/wav/wav_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "engine/encoders/wav/wav_file_writer.h"
#include "engine/sources/failure_note.h"
#include "engine/sources/wav/wav_reader.h"
#include "tests/support/decoding.h"
#include "tests/support/recording_progress.h"
#include "tests/support/sweep_share.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::ReadFileBytes;
using testing::RecordingProgress;
using testing::SamplePath;
using testing::ShellQuote;
using testing::TempFolder;

uint32_t Le32(const std::string& b, size_t at) {
  return static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8 |
         static_cast<uint8_t>(b[at + 2]) << 16 |
         static_cast<uint32_t>(static_cast<uint8_t>(b[at + 3])) << 24;
}

struct Probe {
  int rate = 0;
  int channels = 0;
  int bits = 0;
  double seconds = 0;
};

// What ffprobe reads from a file, and sox agrees on rate, channels and duration.
Probe ProbeWithOthers(const std::string& path) {
  Probe p;
  const auto out = CommandOutput(
      "ffprobe -v error -select_streams a:0 -show_entries stream=sample_rate,channels,"
      "bits_per_sample,duration -of default=nw=1 " +
      ShellQuote(path));
  if (!out) return p;
  std::sscanf(out->c_str(), "sample_rate=%d\nchannels=%d\nbits_per_sample=%d\nduration=%lf",
              &p.rate, &p.channels, &p.bits, &p.seconds);
  const auto soxRate = CommandOutput("sox --i -r " + ShellQuote(path));
  const auto soxChannels = CommandOutput("sox --i -c " + ShellQuote(path));
  const auto soxSeconds = CommandOutput("sox --i -D " + ShellQuote(path));
  EXPECT_TRUE(soxRate && soxChannels && soxSeconds) << "sox cannot read " << path;
  if (soxRate && soxChannels && soxSeconds) {
    EXPECT_EQ(std::stoi(*soxRate), p.rate);
    EXPECT_EQ(std::stoi(*soxChannels), p.channels);
    EXPECT_NEAR(std::stod(*soxSeconds), p.seconds, 0.001);
  }
  return p;
}

class WavOutput : public ::testing::Test {
 protected:
  int Encode(const std::string& source, const std::string& target, InputTypeCode type = kInputWav) {
    const EncodeContext context{settings, 1};
    return EncodeWavFile(type, source, target, progress, context);
  }
  void Fixed(int rate, int channels, int bits) {
    settings.AutoDestWAVEncodingParam = 0;
    settings.WAVSampleRate = rate;
    settings.WAVChannelNum = channels;
    settings.WAVBitsPerSample = bits;
  }

  TempFolder dir;
  Settings settings;
  RecordingProgress progress;
};

TEST_F(WavOutput, AutoCopiesTheSourcePcmExactlyBehindACanonicalHeader) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  const std::string out = dir / "copy.wav";
  ASSERT_EQ(Encode(SamplePath("chord-16bit.wav"), out), 1);
  const std::string bytes = ReadFileBytes(out);
  ASSERT_GT(bytes.size(), 44u);
  EXPECT_EQ(bytes.substr(0, 4), "RIFF");
  EXPECT_EQ(bytes.substr(8, 8), "WAVEfmt ");
  EXPECT_EQ(bytes.substr(36, 4), "data");
  EXPECT_EQ(Le32(bytes, 4), bytes.size() - 8);
  EXPECT_EQ(Le32(bytes, 40), bytes.size() - 44);
  const auto ours = testing::SoxDecode16(out);
  const auto theirs = testing::SoxDecode16(SamplePath("chord-16bit.wav"));
  ASSERT_TRUE(ours && theirs);
  EXPECT_TRUE(*ours == *theirs) << "same-rate 16-bit output must be bit-exact";
  EXPECT_EQ(progress.fileLines.back(), "Converting chord-16bit.wav...100%");
}

// Every native sample at its own rate and at the common rates, mono and stereo, 8 and
// 16 bits: other programs read the rate, channels and duration we meant.
TEST_F(WavOutput, EverySampleConvertsToTheRatesChannelsAndWidthsAsked) {
  const char* samples[] = {"chord-16bit.wav", "chord-alaw.wav",      "chord-ulaw.wav",
                           "chord-float.wav", "chord-ima-adpcm.wav", "chord-ms-adpcm.wav",
                           "chord-gsm.wav",   "speech-mono-48k.wav", "chord.aiff",
                           "chord-ulaw.aifc", "chord-ulaw.au",       "chord-16bit.au"};
  const int rates[] = {0, 8000, 22050, 44100, 48000};
  testing::SweepShare share;
  int checked = 0;
  for (const char* name : samples) {
    const std::string source = SamplePath(name);
    if (!std::filesystem::exists(source)) continue;
    const auto soxSeconds = CommandOutput("sox --i -D " + ShellQuote(source));
    ASSERT_TRUE(soxSeconds);
    const double sourceSeconds = std::stod(*soxSeconds);
    const InputTypeCode type = std::string(name).find(".wav") != std::string::npos  ? kInputWav
                               : std::string(name).find(".au") != std::string::npos ? kInputSunAudio
                                                                                    : kInputAiff;
    for (int rate : rates) {
      for (int channels : {1, 2}) {
        for (int bits : {8, 16}) {
          // Every rate mono 8-bit and stereo 16-bit; the other pairs at the source's rate.
          if (rate != 0 && (channels == 1) != (bits == 8)) continue;
          if (!share.Take()) continue;
          Fixed(rate, channels, bits);
          const std::string out =
              dir / (std::string(name) + "-" + std::to_string(rate) + "-" +
                     std::to_string(channels) + "-" + std::to_string(bits) + ".wav");
          ClearFailureNote();
          if (Encode(source, out, type) != 1) {
            ADD_FAILURE() << name << " to " << out << ": " << GetFailureNote();
            continue;
          }
          const Probe p = ProbeWithOthers(out);
          if (rate != 0) {
            EXPECT_EQ(p.rate, rate) << out;
          }
          EXPECT_EQ(p.channels, channels) << out;
          EXPECT_EQ(p.bits, bits) << out;
          EXPECT_NEAR(p.seconds, sourceSeconds, 0.010) << out;
          std::filesystem::remove(out);
          ++checked;
        }
      }
    }
  }
  if (checked == 0) GTEST_SKIP() << "no samples present";
}

TEST_F(WavOutput, MonoTypePicksOrMixesTheChannels) {
  // A stereo source with different channels: left rising, right falling.
  const std::string source = dir / "lr.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 8000 -c 2 -b 16 " + source +
                            " synth 0.5 sine 300 sine 500 remix 1 2"));
  const auto src = testing::SoxDecode16(source);
  ASSERT_TRUE(src);
  std::vector<int16_t> l, r;
  testing::SplitChannels(*src, 2, 1, l, r);

  Fixed(0, 1, 0);
  for (int monoType : {0, 1, 2}) {
    settings.MonoType = monoType;
    const std::string out = dir / ("mono" + std::to_string(monoType) + ".wav");
    ASSERT_EQ(Encode(source, out), 1);
    const auto got = testing::SoxDecode16(out);
    ASSERT_TRUE(got);
    ASSERT_EQ(got->size(), l.size());
    for (size_t i = 0; i < l.size(); ++i) {
      const int expected = monoType == 1   ? l[i]
                           : monoType == 2 ? r[i]
                                           : (static_cast<int>(l[i]) + r[i]) >> 1;
      ASSERT_EQ((*got)[i], expected) << "MonoType " << monoType << " sample " << i;
    }
  }
}

TEST_F(WavOutput, MonoSourceBecomesTwoIdenticalChannels) {
  SONORELL_REQUIRE_SAMPLE("speech-mono-48k.wav");
  Fixed(0, 2, 0);
  const std::string out = dir / "stereo.wav";
  ASSERT_EQ(Encode(SamplePath("speech-mono-48k.wav"), out), 1);
  const auto got = testing::SoxDecode16(out);
  const auto src = testing::SoxDecode16(SamplePath("speech-mono-48k.wav"));
  ASSERT_TRUE(got && src);
  ASSERT_EQ(got->size(), 2 * src->size());
  for (size_t i = 0; i < src->size(); ++i) {
    ASSERT_EQ((*got)[2 * i], (*src)[i]);
    ASSERT_EQ((*got)[2 * i + 1], (*src)[i]);
  }
}

TEST_F(WavOutput, GainFollowsTheTruncatingArithmeticAtTheExtremes) {
  // Full scale, the most negative value and small values through 16- and 8-bit outputs.
  const std::string source = dir / "extremes.wav";
  const std::string raw = dir / "extremes.raw";
  std::string pcm;
  for (int16_t v : {int16_t{32767}, int16_t{-32768}, int16_t{3}, int16_t{-3}, int16_t{10000}}) {
    pcm.push_back(static_cast<char>(v & 0xFF));
    pcm.push_back(static_cast<char>((v >> 8) & 0xFF));
  }
  testing::WriteFileBytes(raw, pcm);
  ASSERT_TRUE(CommandOutput("sox -t raw -r 8000 -c 1 -e signed -b 16 -L " + raw + " " + source));
  settings.AmplifyWav = 1;
  settings.AmplifyWavCoeff = 50;
  ASSERT_EQ(Encode(source, dir / "half.wav"), 1);
  EXPECT_EQ(*testing::SoxDecode16(dir / "half.wav"),
            (std::vector<int16_t>{16383, -16384, 1, -1, 5000}));
  settings.AmplifyWavCoeff = 1000;
  ASSERT_EQ(Encode(source, dir / "loud.wav"), 1);
  EXPECT_EQ(*testing::SoxDecode16(dir / "loud.wav"),
            (std::vector<int16_t>{32767, -32767, 30, -30, 32767}));
  // 8-bit output takes the high byte plus 128 (32767 -> 255, -3 -> 127, 10000 -> 167);
  // 200% then doubles the distance from 128 and clamps at 255 and 0.
  Fixed(0, 0, 8);
  settings.AmplifyWavCoeff = 200;
  ASSERT_EQ(Encode(source, dir / "eight.wav"), 1);
  const std::string eight = ReadFileBytes(dir / "eight.wav").substr(44);
  EXPECT_EQ(eight, std::string("\xFF\x00\x80\x7E\xCE", 5));
}

TEST_F(WavOutput, ResampledLengthIsTheSourceTimesTheRatio) {
  const std::string source = dir / "tone.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source + " synth 3.3 sine 1000"));
  Fixed(48000, 0, 0);
  ASSERT_EQ(Encode(source, dir / "48k.wav"), 1);
  WavReader reader;
  ASSERT_TRUE(reader.Open(dir / "48k.wav", 0));
  const testing::Decoded d = testing::DecodeAll(reader);
  EXPECT_EQ(d.sampleRate, 48000);
  EXPECT_NEAR(static_cast<double>(d.left.size()), 3.3 * 48000, 3);
  // The very end still holds the tone: nothing was left in the resampler.
  double tail = 0;
  for (size_t i = d.left.size() - 200; i < d.left.size() - 20; ++i) tail += std::abs(d.left[i]);
  EXPECT_GT(tail / 180, 1000);
}

TEST_F(WavOutput, CancelDuringTheFirstBlockLeavesNoFile) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  progress.onPump = [](RecordingProgress& p) { p.cancel = true; };
  EXPECT_EQ(Encode(SamplePath("chord-16bit.wav"), dir / "c.wav"), 0);
  EXPECT_EQ(testing::ListFolder(dir.path()), "");
}

TEST_F(WavOutput, UnreadableSourceFailsWithTheFactoryNoteAndCreatesNothing) {
  testing::WriteFileBytes(dir / "bad.wav", "RIFF....WAVEjunk");
  ClearFailureNote();
  EXPECT_EQ(Encode(dir / "bad.wav", dir / "out.wav"), 0);
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(testing::ListFolder(dir.path()), "bad.wav\n");
}

TEST_F(WavOutput, AbsurdStoredRateIsRefusedNotAllocated) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  Fixed(2000000000, 0, 0);
  ClearFailureNote();
  EXPECT_EQ(Encode(SamplePath("chord-16bit.wav"), dir / "x.wav"), 0);
  EXPECT_NE(GetFailureNote().find("sample rate"), std::string::npos);
  EXPECT_EQ(testing::ListFolder(dir.path()), "");
}

TEST(WavFileWriter, RefusesToPassTheSizeItsHeaderCanHold) {
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "big.wav"));
  WavFileWriter writer(out, /*maxDataBytes=*/4000);
  ASSERT_TRUE(writer.Open(true, 16, 44100));
  std::vector<int16_t> l(250), r(250);
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(writer.WritePcm(l.data(), r.data(), 250));  // 4000
  EXPECT_FALSE(writer.WritePcm(l.data(), r.data(), 1));
  EXPECT_TRUE(writer.TooLarge());
  EXPECT_EQ(WavFileWriter::kMaxDataBytes + 44 - 8, 0xFFFFFFFFull);  // RIFF size at the limit
}

}  // namespace
}  // namespace sonorell
