#include "platform/ffmpeg/audio_stream_decoder.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform::ffmpeg {
namespace {

using sonorell::testing::FfmpegRaw;
using sonorell::testing::FfprobeNumber;
using sonorell::testing::MakeWithFfmpeg;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::SamplePath;
using sonorell::testing::TempFolder;
using sonorell::testing::WriteFileBytes;

struct Everything {
  std::string bytes;  // all runs, back to back
  size_t frames = 0;
  size_t runs = 0;
};

Everything DecodeEverything(AudioStreamDecoder& decoder) {
  Everything all;
  const size_t frameBytes =
      static_cast<size_t>(decoder.Channels()) * static_cast<size_t>(BytesPerSample(decoder.Type()));
  for (PcmRun run; (run = decoder.Next()).frames > 0;) {
    all.bytes.append(reinterpret_cast<const char*>(run.data), run.frames * frameBytes);
    all.frames += run.frames;
    ++all.runs;
    if (all.runs > 10'000'000) break;
  }
  return all;
}

// Each decoder output format comes out packed in its matching layout, and the values are
// exactly those ffmpeg's converter gives for the same layout: nothing but the arrangement
// (and, for wider formats, the width) changes.
struct FormatCase {
  const char* name;
  const char* make;           // ffmpeg arguments writing the file
  const char* decoderFormat;  // what ffprobe says the decoder puts out
  SampleType type;
  const char* raw;  // ffmpeg's raw format of the same layout
};

constexpr FormatCase kFormats[] = {
    {"s16.wav", "-f lavfi -i sine=d=0.5 -ac 2 -c:a pcm_s16le", "s16", SampleType::kS16, "s16le"},
    {"s16p.wv", "-f lavfi -i sine=d=0.5 -ac 2 -c:a wavpack", "s16p", SampleType::kS16, "s16le"},
    {"s32p.wv", "-f lavfi -i sine=d=0.5 -ac 2 -sample_fmt s32p -c:a wavpack", "s32p",
     SampleType::kS32, "s32le"},
    {"s32.flac", "-f lavfi -i sine=d=0.5 -ac 2 -sample_fmt s32 -c:a flac", "s32", SampleType::kS32,
     "s32le"},
    {"fltp.mp3", "-f lavfi -i sine=d=0.5 -ac 2 -c:a libmp3lame", "fltp", SampleType::kFloat,
     "f32le"},
    {"flt.wav", "-f lavfi -i sine=d=0.5 -ac 2 -c:a pcm_f32le", "flt", SampleType::kFloat, "f32le"},
    {"dbl.wav", "-f lavfi -i sine=d=0.5 -ac 2 -c:a pcm_f64le", "dbl", SampleType::kFloat, "f32le"},
    {"s64.nut", "-f lavfi -i sine=d=0.5 -ac 2 -c:a pcm_s64le", "s64", SampleType::kS32, "s32le"},
    {"u8.wav", "-f lavfi -i sine=d=0.5 -ac 2 -c:a pcm_u8", "u8", SampleType::kU8, "u8"},
};

class DecoderFormat : public ::testing::TestWithParam<FormatCase> {};

TEST_P(DecoderFormat, ComesOutPackedInItsMatchingLayout) {
  SONORELL_REQUIRE_FFMPEG();
  const FormatCase c = GetParam();
  TempFolder dir;
  const std::string path = dir / c.name;
  ASSERT_TRUE(MakeWithFfmpeg(c.make, path));
  ASSERT_EQ(sonorell::testing::Ffprobe(path, "stream=sample_fmt", "a:0").value_or(""),
            c.decoderFormat);
  AudioStreamDecoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  EXPECT_EQ(decoder.Type(), c.type);
  EXPECT_EQ(decoder.Channels(), 2);
  EXPECT_EQ(decoder.SampleRate(), 44100);
  const Everything all = DecodeEverything(decoder);
  const auto reference = FfmpegRaw(path, c.raw);
  ASSERT_TRUE(reference);
  ASSERT_EQ(all.bytes.size(), reference->size());
  EXPECT_TRUE(all.bytes == *reference);
}

INSTANTIATE_TEST_SUITE_P(Formats, DecoderFormat, ::testing::ValuesIn(kFormats),
                         [](const ::testing::TestParamInfo<FormatCase>& info) {
                           std::string n = info.param.name;
                           for (char& ch : n) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

TEST(AudioStreamDecoder, EndStaysTheEnd) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  AudioStreamDecoder decoder;
  ASSERT_TRUE(decoder.Open(SamplePath("chord.flac")));
  const Everything all = DecodeEverything(decoder);
  EXPECT_EQ(all.frames, 264600u);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(decoder.Next().frames, 0u);
  EXPECT_EQ(decoder.File().BytePosition(), decoder.File().FileSize());
  decoder.Close();
  EXPECT_FALSE(decoder.IsOpen());
  EXPECT_EQ(decoder.Next().frames, 0u);
  EXPECT_EQ(decoder.Channels(), 0);
}

// The decoder's last frames come out when the packets end (an MP3 decoder holds none back,
// but its encoder padding is only trimmed at the very end).
TEST(AudioStreamDecoder, DeliversAsManyFramesAsFfmpeg) {
  SONORELL_REQUIRE_FFMPEG();
  for (const char* name : {"chord.mp3", "chord.m4a", "chord.wma", "complete.oga", "chord.wv"}) {
    SCOPED_TRACE(name);
    if (!std::filesystem::exists(SamplePath(name))) continue;
    AudioStreamDecoder decoder;
    ASSERT_TRUE(decoder.Open(SamplePath(name)));
    const Everything all = DecodeEverything(decoder);
    const auto reference = FfmpegRaw(SamplePath(name), "s16le");
    ASSERT_TRUE(reference);
    EXPECT_EQ(all.frames, reference->size() / 2 / static_cast<size_t>(decoder.Channels()));
  }
}

TEST(AudioStreamDecoder, AskedForStereoSurroundDecodersMixDown) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "surround.ac3";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=0.5 -ac 6 -c:a ac3", path));
  AudioStreamDecoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  EXPECT_EQ(decoder.File().AudioStream().channels, 6);  // what the container says
  EXPECT_EQ(decoder.Channels(), 2);                     // what is delivered
  const Everything all = DecodeEverything(decoder);
  const auto reference = FfmpegRaw(path, "f32le", "-downmix stereo");
  ASSERT_TRUE(reference);
  EXPECT_TRUE(all.bytes == *reference);
}

TEST(AudioStreamDecoder, FirstAudioStreamAfterVideo) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "clip.mkv";
  ASSERT_TRUE(MakeWithFfmpeg(
      "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i sine=f=300:d=1 "
      "-f lavfi -i sine=f=900:d=1 -map 0:v -map 1:a -map 2:a -c:v mpeg4 -c:a pcm_s16le",
      path));
  AudioStreamDecoder decoder;
  ASSERT_TRUE(decoder.Open(path));
  EXPECT_EQ(decoder.File().AudioStream().index, 1);
  EXPECT_EQ(decoder.File().StreamCount(), 3);
  const Everything all = DecodeEverything(decoder);
  const auto first = FfmpegRaw(path, "s16le", "", "-map 0:a:0");
  ASSERT_TRUE(first);
  EXPECT_TRUE(all.bytes == *first);
}

// Streams glued together from pieces of different formats: the decoder changes its channel
// count or rate in mid-stream, and what comes out keeps the format the stream opened with.
std::string Glue(const TempFolder& dir, const std::string& name,
                 const std::vector<std::string>& pieces) {
  std::string bytes;
  for (size_t i = 0; i < pieces.size(); ++i) {
    const std::string piece = dir / (name + std::to_string(i) + ".mp3");
    if (!MakeWithFfmpeg(pieces[i] + " -c:a libmp3lame -write_xing 0 -id3v2_version 0", piece)) {
      return {};
    }
    bytes += ReadFileBytes(piece);
  }
  WriteFileBytes(dir / name, bytes);
  return dir / name;
}

TEST(AudioStreamDecoder, MidStreamChangesKeepTheOpeningFormat) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string stereoThenMono =
      Glue(dir, "sm.mp3", {"-f lavfi -i sine=f=440:d=1 -ac 2", "-f lavfi -i sine=f=660:d=1"});
  ASSERT_FALSE(stereoThenMono.empty());
  AudioStreamDecoder decoder;
  ASSERT_TRUE(decoder.Open(stereoThenMono));
  EXPECT_EQ(decoder.Channels(), 2);
  const Everything sm = DecodeEverything(decoder);
  EXPECT_NEAR(static_cast<double>(sm.frames), 2 * 44100.0, 0.1 * 44100);
  // The mono part is spread over both channels alike, and it is not silence.
  std::vector<float> samples(sm.bytes.size() / 4);
  std::memcpy(samples.data(), sm.bytes.data(), samples.size() * 4);
  float loudest = 0;
  for (size_t f = sm.frames * 3 / 4; f < sm.frames * 9 / 10; ++f) {
    ASSERT_EQ(samples[2 * f], samples[2 * f + 1]) << f;
    loudest = std::max(loudest, std::abs(samples[2 * f]));
  }
  EXPECT_GT(loudest, 0.05f);  // the tone is at 1/8 of full scale

  const std::string monoThenStereo =
      Glue(dir, "ms.mp3", {"-f lavfi -i sine=f=440:d=1", "-f lavfi -i sine=f=660:d=1 -ac 2"});
  ASSERT_TRUE(decoder.Open(monoThenStereo));
  EXPECT_EQ(decoder.Channels(), 1);
  EXPECT_NEAR(static_cast<double>(DecodeEverything(decoder).frames), 2 * 44100.0, 0.1 * 44100);

  const std::string rateChange =
      Glue(dir, "rate.mp3",
           {"-f lavfi -i sine=d=1 -ac 2 -ar 44100", "-f lavfi -i sine=d=1 -ac 2 -ar 22050"});
  ASSERT_TRUE(decoder.Open(rateChange));
  const int rate = decoder.SampleRate();
  const Everything rc = DecodeEverything(decoder);
  EXPECT_NEAR(static_cast<double>(rc.frames) / rate, 2.0, 0.2);
}

TEST(AudioStreamDecoder, RefusesWhatHasNoSound) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string film = dir / "film.mp4";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -c:v mpeg4", film));
  WriteFileBytes(dir / "empty.wav", "");
  std::mt19937 rng(3);
  std::string noise(65536, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  WriteFileBytes(dir / "noise.flac", noise);
  // A WAV header that promises data and has none.
  const std::string wav = ReadFileBytes(SamplePath("chord-16bit.wav"));
  WriteFileBytes(dir / "header-only.wav", wav.substr(0, 44));
  for (const std::string name :
       {"film.mp4", "empty.wav", "noise.flac", "missing.mp3", "header-only.wav"}) {
    SCOPED_TRACE(name);
    AudioStreamDecoder decoder;
    EXPECT_FALSE(decoder.Open(dir / name));
    EXPECT_FALSE(decoder.IsOpen());
    EXPECT_EQ(decoder.Next().frames, 0u);
  }
}

TEST(AudioStreamDecoder, ContainerFiguresForTheLength) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  AudioStreamDecoder flac;
  ASSERT_TRUE(flac.Open(SamplePath("chord.flac")));
  EXPECT_EQ(flac.ExpectedFrames().value_or(-1), 264600);
  // The MP3's LAME header makes the decoder drop the encoder delay, which the container
  // counts in its duration; only the end padding is left (under 10 ms here).
  AudioStreamDecoder mp3;
  ASSERT_TRUE(mp3.Open(SamplePath("chord.mp3")));
  const int64_t expected = mp3.ExpectedFrames().value_or(-1);
  EXPECT_NEAR(static_cast<double>(expected), 264600.0, 0.010 * 44100);
}

// Raw AAC and MP3 without a VBR header only guess their length from the bit rate; counting
// the packets gives the decoded length.
TEST(AudioStreamDecoder, GuessedLengthsAreCountedByScanning) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const struct {
    const char* name;
    const char* make;
  } cases[] = {
      {"raw.aac", "-f lavfi -i sine=d=3 -ac 2 -c:a aac -f adts"},
      {"vbr.mp3", "-f lavfi -i anoisesrc=d=3:a=0.2 -ac 2 -c:a libmp3lame -q:a 2 -write_xing 0"},
      {"cbr.mp3", "-f lavfi -i sine=d=3 -ac 2 -c:a libmp3lame -b:a 128k -write_xing 0"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = dir / c.name;
    ASSERT_TRUE(MakeWithFfmpeg(c.make, path));
    AudioStreamDecoder decoder;
    ASSERT_TRUE(decoder.Open(path));
    EXPECT_TRUE(decoder.File().DurationFromBitRate());
    EXPECT_FALSE(decoder.ExpectedFrames());
    const Everything all = DecodeEverything(decoder);
    const auto scanned = ScanAudioFrames(path, decoder.SampleRate());
    ASSERT_TRUE(scanned);
    EXPECT_NEAR(static_cast<double>(*scanned), static_cast<double>(all.frames), 0.030 * 44100);
  }
}

TEST(AudioStreamDecoder, FirstPacketPositionIsWhereTheAudioStarts) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  AudioStreamDecoder wav;
  ASSERT_TRUE(wav.Open(SamplePath("chord-16bit.wav")));
  const std::string bytes = ReadFileBytes(SamplePath("chord-16bit.wav"));
  EXPECT_EQ(wav.FirstPacketPosition(), static_cast<int64_t>(bytes.find("data") + 8));
}

TEST(ScanAudioFrames, RefusesWhatItCannotCount) {
  TempFolder dir;
  WriteFileBytes(dir / "empty.aac", "");
  EXPECT_FALSE(ScanAudioFrames(dir / "empty.aac", 44100));
  EXPECT_FALSE(ScanAudioFrames(dir / "missing.aac", 44100));
  if (std::filesystem::exists(SamplePath("chord.flac"))) {
    EXPECT_FALSE(ScanAudioFrames(SamplePath("chord.flac"), 0));
    EXPECT_EQ(ScanAudioFrames(SamplePath("chord.flac"), 44100).value_or(-1), 264600);
  }
}

}  // namespace
}  // namespace platform::ffmpeg
