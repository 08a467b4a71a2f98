#include "engine/sources/ffmpeg/ffmpeg_source.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/sources/ffmpeg/ffmpeg_probe.h"
#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::DecodeAll;
using testing::Decoded;
using testing::FfmpegS16;
using testing::FfprobeNumber;
using testing::MakeWithFfmpeg;
using testing::MaxAbsDiff;
using testing::ReadFileBytes;
using testing::SamplePath;
using testing::SplitChannels;
using testing::TempFolder;
using testing::WriteFileBytes;

// Decoders whose output is float: our truncation and ffmpeg's rounding to 16 bits may part
// by one step, nothing more, as both take the very same decoder output.
constexpr int kFloatTolerance = 1;

struct Reference {
  std::vector<int16_t> left;
  std::vector<int16_t> right;
};

// ffmpeg's own 16-bit decoding of a file, split as our block contract splits it.
std::optional<Reference> FfmpegReference(const std::string& path, int channels,
                                         const std::string& before = "",
                                         const std::string& after = "") {
  const auto samples = FfmpegS16(path, before, after);
  if (!samples) return std::nullopt;
  Reference ref;
  SplitChannels(*samples, channels, 1, ref.left, ref.right);
  return ref;
}

// 8-bit blocks hold unsigned samples; ffmpeg's 16-bit view of them is (x - 128) * 256.
std::vector<int16_t> Widen8(const std::vector<int16_t>& unsigned8) {
  std::vector<int16_t> out;
  out.reserve(unsigned8.size());
  for (int16_t v : unsigned8) out.push_back(static_cast<int16_t>((v - 128) * 256));
  return out;
}

struct Result {
  bool opened = false;
  Decoded d;
};

Result DecodeFile(const std::string& path) {
  FfmpegSource source;
  Result r;
  r.opened = source.Open(path, 44100);
  if (r.opened) r.d = DecodeAll(source);
  return r;
}

void ExpectMatches(const Decoded& d, const Reference& ref, int tolerance) {
  std::vector<int16_t> left = d.left, right = d.right;
  if (d.bits == 8) {
    left = Widen8(left);
    right = Widen8(right);
  }
  ASSERT_EQ(left.size(), ref.left.size());
  EXPECT_LE(MaxAbsDiff(left, ref.left), tolerance);
  if (d.outputChannels == 2) {
    ASSERT_EQ(right.size(), ref.right.size());
    EXPECT_LE(MaxAbsDiff(right, ref.right), tolerance);
  }
}

// ---- every shared sample FFmpeg reads ----

struct SampleCase {
  const char* name;
  bool exact;  // integer decoder output: bit-exact against ffmpeg
};

// The recordings of the sample folder that FFmpeg reads (the MIDI file it does not).
constexpr SampleCase kSamples[] = {
    {"chord.flac", true},           {"chord.wv", true},
    {"chord-16bit.wav", true},      {"speech-mono-48k.wav", true},
    {"chord-alaw.wav", true},       {"chord-ulaw.wav", true},
    {"chord-ima-adpcm.wav", true},  {"chord-ms-adpcm.wav", true},
    {"chord-gsm.wav", true},        {"chord.aiff", true},
    {"chord-ulaw.aifc", true},      {"chord-16bit.au", true},
    {"chord-ulaw.au", true},        {"chord-float.wav", false},
    {"chord.mp3", false},           {"chord.m4a", false},
    {"chord.wma", false},           {"complete.oga", false},
    {"clip-with-video.mp4", false}, {"the-big-march-in-space.it", false},
};

class FfmpegSourceSample : public ::testing::TestWithParam<SampleCase> {};

TEST_P(FfmpegSourceSample, DecodesLikeFfmpegWithItsLength) {
  SONORELL_REQUIRE_FFMPEG();
  const SampleCase c = GetParam();
  SONORELL_REQUIRE_SAMPLE(c.name);
  const std::string path = SamplePath(c.name);
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  const Decoded& d = r.d;
  const auto channels = FfprobeNumber(path, "stream=channels", "a:0");
  const auto rate = FfprobeNumber(path, "stream=sample_rate", "a:0");
  const auto container = FfprobeNumber(path, "format=duration");
  const auto decodedSeconds = testing::FfprobeDecodedSeconds(path);
  ASSERT_TRUE(channels && rate && container && decodedSeconds);

  EXPECT_EQ(d.channels, static_cast<int>(*channels));
  EXPECT_EQ(d.outputChannels, *channels < 2 ? 1 : 2);
  EXPECT_EQ(d.sampleRate, static_cast<int>(*rate));
  EXPECT_EQ(d.duration, static_cast<int>(*container));  // whole seconds, truncated
  EXPECT_EQ(d.length, std::filesystem::file_size(path));
  EXPECT_LE(d.finalPosition, d.length);

  // The sound lasts as long as ffprobe decodes it.
  const double ours = static_cast<double>(d.left.size()) / d.sampleRate;
  EXPECT_NEAR(ours, *decodedSeconds, 0.030) << "container says " << *container;

  const auto ref = FfmpegReference(path, static_cast<int>(*channels));
  ASSERT_TRUE(ref);
  ExpectMatches(d, *ref, c.exact ? 0 : kFloatTolerance);
}

INSTANTIATE_TEST_SUITE_P(Samples, FfmpegSourceSample, ::testing::ValuesIn(kSamples),
                         [](const ::testing::TestParamInfo<SampleCase>& info) {
                           std::string n = info.param.name;
                           for (char& ch : n) {
                             if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
                           }
                           return n;
                         });

// ---- properties and tags ----

TEST(FfmpegSource, ReportsMp3PropertiesAndTags) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string path = SamplePath("chord.mp3");
  FfmpegSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetBitsPerSample(), 16);
  EXPECT_EQ(source.GetChannelMode(), 0);
  EXPECT_EQ(source.GetBitrate(), 128);
  EXPECT_EQ(source.GetLength(), std::filesystem::file_size(path));

  std::string title = "x", artist = "x", album = "x", year = "x", genre = "x", comment = "x",
              track = "x", composer = "x", copyright = "x";
  ASSERT_TRUE(
      source.ReadTags(title, artist, album, year, genre, comment, track, composer, copyright));
  EXPECT_EQ(title, testing::Ffprobe(path, "format_tags=title").value_or(""));
  EXPECT_EQ(artist, testing::Ffprobe(path, "format_tags=artist").value_or(""));
  EXPECT_EQ(album, testing::Ffprobe(path, "format_tags=album").value_or(""));
  EXPECT_EQ(genre, testing::Ffprobe(path, "format_tags=genre").value_or(""));
  EXPECT_FALSE(title.empty());
  EXPECT_FALSE(year.empty());
  EXPECT_FALSE(track.empty());
  EXPECT_EQ(composer, "");
}

TEST(FfmpegSource, TakesLeadingNumbersOfDateAndTrack) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "tagged.flac";
  ASSERT_TRUE(
      MakeWithFfmpeg("-f lavfi -i sine=d=0.5 -metadata title=Song -metadata author=Someone "
                     "-metadata date=2004-05-01 -metadata track=3/12 -metadata copyright=Us "
                     "-metadata comment=Fine -metadata composer=Writer",
                     path));
  FfmpegSource source;
  ASSERT_TRUE(source.Open(path, 0));
  std::string title, artist, album = "old", year, genre, comment, track, composer = "old",
                             copyright;
  ASSERT_TRUE(
      source.ReadTags(title, artist, album, year, genre, comment, track, composer, copyright));
  EXPECT_EQ(title, "Song");
  EXPECT_EQ(artist, "Someone");
  EXPECT_EQ(album, "");
  EXPECT_EQ(year, "2004");
  EXPECT_EQ(track, "3");
  EXPECT_EQ(comment, "Fine");
  EXPECT_EQ(copyright, "Us");
  EXPECT_EQ(composer, "");  // never taken from the file
}

TEST(FfmpegSource, FileWithoutTagsReportsNoneAndLeavesFields) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "bare.wav";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=0.2 -fflags +bitexact -map_metadata -1", path));
  FfmpegSource source;
  ASSERT_TRUE(source.Open(path, 0));
  std::string title = "keep", a, b, c, d, e, f, g, h;
  EXPECT_FALSE(source.ReadTags(title, a, b, c, d, e, f, g, h));
  EXPECT_EQ(title, "keep");
}

TEST(FfmpegSource, MonoWritesOnlyTheLeftBuffer) {
  SONORELL_REQUIRE_SAMPLE("speech-mono-48k.wav");
  FfmpegSource source;
  ASSERT_TRUE(source.Open(SamplePath("speech-mono-48k.wav"), 0));
  EXPECT_EQ(source.GetChannels(), 1);
  EXPECT_EQ(source.GetOutputChannels(), 1);
  EXPECT_EQ(source.GetChannelMode(), 3);
  std::vector<int16_t> left(BlockFrames);
  EXPECT_EQ(source.Read(left.data(), nullptr), BlockFrames);
}

TEST(FfmpegSource, DeliversUnsigned8BitUnchanged) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "u8.wav";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=0.3 -ac 2 -c:a pcm_u8", path));
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.bits, 8);
  const std::string bytes = ReadFileBytes(path);
  const size_t data = bytes.find("data") + 8;
  ASSERT_EQ(r.d.left.size() * 2, bytes.size() - data);
  for (size_t i = 0; i < r.d.left.size(); ++i) {
    ASSERT_EQ(r.d.left[i], static_cast<uint8_t>(bytes[data + 2 * i])) << i;
    ASSERT_EQ(r.d.right[i], static_cast<uint8_t>(bytes[data + 2 * i + 1])) << i;
  }
}

// A decoder frame longer than a block is handed out over the following reads before the
// next packet is decoded: every read but the last is full.
TEST(FfmpegSource, SpreadsLongDecoderFramesOverFullBlocks) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "long-frames.flac";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=2 -ac 2 -frame_size 4608", path));
  FfmpegSource source;
  ASSERT_TRUE(source.Open(path, 0));
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  std::vector<int> counts;
  for (int n; (n = source.Read(l.data(), r.data())) > 0;) counts.push_back(n);
  ASSERT_GT(counts.size(), 2u);
  for (size_t i = 0; i + 1 < counts.size(); ++i) ASSERT_EQ(counts[i], BlockFrames) << i;
  EXPECT_EQ((counts.size() - 1) * BlockFrames + counts.back(), 88200u);
  EXPECT_EQ(source.Read(l.data(), r.data()), 0);
  // Having read everything, progress stands at the end of the file.
  EXPECT_EQ(source.GetPosition(), source.GetLength());
}

// Float decoders: full scale maps to the extremes, and beyond it is clamped, not wrapped.
TEST(FfmpegSource, FloatFullScaleAndBeyond) {
  TempFolder dir;
  const std::string path = dir / "float.wav";
  const std::vector<float> values = {1.0f, -1.0f, 0.5f, -0.5f, 0.0f, 1.5f, -2.0f, 1e-9f};
  std::string wav = "RIFF";
  const auto put32 = [&](uint32_t v) { wav.append(reinterpret_cast<const char*>(&v), 4); };
  const auto put16 = [&](uint16_t v) { wav.append(reinterpret_cast<const char*>(&v), 2); };
  put32(static_cast<uint32_t>(36 + values.size() * 4));
  wav += "WAVEfmt ";
  put32(16);
  put16(3);  // IEEE float
  put16(1);
  put32(8000);
  put32(32000);
  put16(4);
  put16(32);
  wav += "data";
  put32(static_cast<uint32_t>(values.size() * 4));
  wav.append(reinterpret_cast<const char*>(values.data()), values.size() * 4);
  WriteFileBytes(path, wav);

  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  const std::vector<int16_t> expected = {32767, -32768, 16383, -16384, 0, 32767, -32768, 0};
  EXPECT_EQ(r.d.left, expected);
}

// ---- stream selection ----

TEST(FfmpegSource, VideoFileGivesItsSoundTrack) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("clip-with-video.mp4");
  const std::string path = SamplePath("clip-with-video.mp4");
  ASSERT_EQ(testing::Ffprobe(path, "stream=codec_type", "0").value_or(""), "video");
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  const auto ref = FfmpegReference(path, 2, "", "-map 0:a:0");
  ASSERT_TRUE(ref);
  ExpectMatches(r.d, *ref, kFloatTolerance);
}

TEST(FfmpegSource, AudioAfterVideoInMatroskaAndAvi) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  for (const char* name : {"clip.mkv", "clip.avi"}) {
    SCOPED_TRACE(name);
    const std::string path = dir / name;
    ASSERT_TRUE(MakeWithFfmpeg(
        "-f lavfi -i testsrc=size=64x48:rate=10:duration=1 -f lavfi -i sine=f=500:d=1 "
        "-map 0:v -map 1:a -c:v mpeg4 -c:a pcm_s16le -ac 2",
        path));
    ASSERT_EQ(testing::Ffprobe(path, "stream=codec_type", "1").value_or(""), "audio");
    const Result r = DecodeFile(path);
    ASSERT_TRUE(r.opened);
    EXPECT_EQ(r.d.sampleRate, 44100);
    const auto ref = FfmpegReference(path, 2, "", "-map 0:a:0");
    ASSERT_TRUE(ref);
    ExpectMatches(r.d, *ref, 0);
  }
}

TEST(FfmpegSource, TwoAudioStreamsDecodeOnlyTheFirst) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "two.mkv";
  ASSERT_TRUE(MakeWithFfmpeg(
      "-f lavfi -i sine=f=300:d=1 -f lavfi -i sine=f=3000:d=2 -map 0:a -map 1:a -c:a flac", path));
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.left.size(), 44100u);  // the first stream's second, not the other's two
  const auto first = FfmpegReference(path, 1, "", "-map 0:a:0");
  ASSERT_TRUE(first);
  ExpectMatches(r.d, *first, 0);
}

TEST(FfmpegSource, SixChannelAc3IsMixedToStereo) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "surround.ac3";
  ASSERT_TRUE(
      MakeWithFfmpeg("-f lavfi -i sine=f=440:d=1 -f lavfi -i sine=f=660:d=1 -filter_complex "
                     "[0][1][0][1][0][1]amerge=inputs=6,aformat=channel_layouts=5.1 -c:a ac3",
                     path));
  ASSERT_EQ(FfprobeNumber(path, "stream=channels", "a:0").value_or(0), 6);
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.channels, 2);
  EXPECT_EQ(r.d.outputChannels, 2);
  // The decoder's own downmix, as ffmpeg gets it when asking the decoder the same way.
  const auto ref = FfmpegReference(path, 2, "-downmix stereo");
  ASSERT_TRUE(ref);
  ExpectMatches(r.d, *ref, kFloatTolerance);

  // Adding the file only reads the container: it still shows six channels.
  FfmpegProbe probe;
  ASSERT_TRUE(probe.Open(path, 0));
  EXPECT_EQ(probe.GetChannels(), 6);
  EXPECT_EQ(probe.GetOutputChannels(), 2);
}

TEST(FfmpegSource, SixChannelFlacDeliversTheFirstTwo) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "six.flac";
  ASSERT_TRUE(
      MakeWithFfmpeg("-f lavfi -i sine=f=440:d=0.5 -f lavfi -i sine=f=660:d=0.5 -f lavfi -i "
                     "anoisesrc=d=0.5 -filter_complex [2][1][0][0][1][2]amerge=inputs=6 -c:a flac",
                     path));
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  EXPECT_EQ(r.d.channels, 6);
  EXPECT_EQ(r.d.outputChannels, 2);
  const auto ref = FfmpegReference(path, 6);
  ASSERT_TRUE(ref);
  ExpectMatches(r.d, *ref, 0);
}

// ---- the probe ----

TEST(FfmpegProbe, ReadsPropertiesAndDeliversNoSound) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("chord.m4a");
  const std::string path = SamplePath("chord.m4a");
  FfmpegProbe probe;
  ASSERT_TRUE(probe.Open(path, 0));
  EXPECT_EQ(probe.GetSampleRate(), 44100);
  EXPECT_EQ(probe.GetChannels(), 2);
  EXPECT_EQ(probe.GetOutputChannels(), 2);
  EXPECT_EQ(probe.GetChannelMode(), 0);
  EXPECT_EQ(probe.GetBitsPerSample(), 16);
  EXPECT_EQ(probe.GetDuration(), 6);
  EXPECT_EQ(probe.GetBitrate(),
            static_cast<int>(FfprobeNumber(path, "stream=bit_rate", "a:0").value_or(0) / 1000));
  EXPECT_EQ(probe.GetLength(), 0u);
  EXPECT_EQ(probe.GetPosition(), 0u);
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  EXPECT_EQ(probe.Read(l.data(), r.data()), 0);
  std::string a, b, c, d, e, f, g, h, i;
  EXPECT_FALSE(probe.ReadTags(a, b, c, d, e, f, g, h, i));
}

TEST(FfmpegProbe, EightBitStreamShowsEightBits) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "u8.wav";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=0.3 -c:a pcm_u8", path));
  FfmpegProbe probe;
  ASSERT_TRUE(probe.Open(path, 0));
  EXPECT_EQ(probe.GetBitsPerSample(), 8);
  EXPECT_EQ(probe.GetChannelMode(), 3);
}

// Only a file a decoder gives sound from is added: a video without sound would be listed
// and then never convert. One with sound is listed with its sound's properties.
TEST(FfmpegProbe, VideoWithoutSoundIsRefusedOneWithSoundIsListed) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "silent-film.mp4";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=2 -c:v mpeg4", path));
  FfmpegProbe probe;
  EXPECT_FALSE(probe.Open(path, 0));
  EXPECT_EQ(probe.GetSampleRate(), 0);
  EXPECT_EQ(probe.GetChannels(), 0);
  EXPECT_EQ(probe.GetDuration(), 0);

  const std::string sound = dir / "film.mkv";
  ASSERT_TRUE(
      MakeWithFfmpeg("-f lavfi -i testsrc=size=64x48:rate=10:duration=2 -f lavfi -i "
                     "sine=d=2:sample_rate=32000 -c:v mpeg4 -c:a libvorbis -ac 2",
                     sound));
  ASSERT_TRUE(probe.Open(sound, 0));
  EXPECT_EQ(probe.GetSampleRate(), 32000);
  EXPECT_EQ(probe.GetChannels(), 2);
  EXPECT_EQ(probe.GetDuration(), 2);

  FfmpegSource source;
  EXPECT_FALSE(source.Open(path, 0));
  EXPECT_EQ(source.GetSampleRate(), 0);
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  EXPECT_EQ(source.Read(l.data(), r.data()), 0);
}

// ---- bad input ----

TEST(FfmpegSourceBadInput, EmptyMissingAndRandomFilesFailCleanly) {
  TempFolder dir;
  WriteFileBytes(dir / "empty.mp3", "");
  std::mt19937 rng(7);
  std::string noise(200'000, '\0');
  for (char& c : noise) c = static_cast<char>(rng());
  WriteFileBytes(dir / "noise.mp3", noise);
  WriteFileBytes(dir / "noise.bin", noise);
  for (const char* name : {"empty.mp3", "noise.mp3", "noise.bin", "missing.flac"}) {
    SCOPED_TRACE(name);
    FfmpegSource source;
    const bool opened = source.Open(dir / name, 0);
    if (opened) {
      // Whatever FFmpeg takes random bytes for, decoding them ends.
      const Decoded d = DecodeAll(source, 100'000);
      EXPECT_LT(d.reads, 100'000);
    } else {
      EXPECT_EQ(source.GetChannels(), 0);
      EXPECT_EQ(source.GetLength(), 0u);
    }
    FfmpegProbe probe;
    if (std::string(name) == "empty.mp3" || std::string(name) == "missing.flac") {
      EXPECT_FALSE(probe.Open(dir / name, 0));
      EXPECT_FALSE(opened);
    }
  }
}

TEST(FfmpegSourceBadInput, TruncatedFilesDecodeWhatIsThere) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  for (const char* name : {"chord.mp3", "chord.flac", "chord.m4a", "chord.wv"}) {
    SCOPED_TRACE(name);
    if (!std::filesystem::exists(SamplePath(name))) continue;
    const std::string whole = ReadFileBytes(SamplePath(name));
    const std::string path = dir / (std::string("half-") + name);
    WriteFileBytes(path, whole.substr(0, whole.size() / 2));
    FfmpegSource source;
    if (!source.Open(path, 0)) {
      EXPECT_EQ(std::string(name), "chord.m4a");  // its index sits at the end
      continue;
    }
    const Decoded d = DecodeAll(source);
    EXPECT_GT(d.left.size(), 44100u);   // most of the first half
    EXPECT_LT(d.left.size(), 264600u);  // not the whole
    EXPECT_LE(d.finalPosition, d.length);
  }
}

TEST(FfmpegSourceBadInput, DamagedMiddleDecodesOnToTheEnd) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  TempFolder dir;
  std::string bytes = ReadFileBytes(SamplePath("chord.mp3"));
  std::mt19937 rng(11);
  for (size_t i = bytes.size() / 3; i < bytes.size() / 3 + 3000; ++i) {
    bytes[i] = static_cast<char>(rng());
  }
  const std::string path = dir / "damaged.mp3";
  WriteFileBytes(path, bytes);
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  // The damage costs a few frames, not the rest of the file.
  EXPECT_GT(r.d.left.size(), 264600u * 8 / 10);
  EXPECT_LE(r.d.left.size(), 264600u + 2 * 1152u);
}

TEST(FfmpegSourceBadInput, FlacNamedMp3IsDecodedAsFlac) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  TempFolder dir;
  const std::string path = dir / "really-flac.mp3";
  std::filesystem::copy_file(SamplePath("chord.flac"), path);
  const Result r = DecodeFile(path);
  ASSERT_TRUE(r.opened);
  const auto ref = FfmpegReference(SamplePath("chord.flac"), 2);
  ASSERT_TRUE(ref);
  ExpectMatches(r.d, *ref, 0);
}

TEST(FfmpegSource, ReopenAndCloseResetEverything) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  SONORELL_REQUIRE_SAMPLE("speech-mono-48k.wav");
  FfmpegSource source;
  ASSERT_TRUE(source.Open(SamplePath("chord.flac"), 0));
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  ASSERT_EQ(source.Read(l.data(), r.data()), BlockFrames);
  ASSERT_TRUE(source.Open(SamplePath("speech-mono-48k.wav"), 0));
  EXPECT_EQ(source.GetChannels(), 1);
  EXPECT_EQ(source.GetSampleRate(), 48000);
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left.size(), 68545u);
  source.Close();
  EXPECT_EQ(source.GetChannelMode(), 4);
  EXPECT_EQ(source.GetLength(), 0u);
  EXPECT_EQ(source.Read(l.data(), r.data()), 0);
  source.Close();  // twice is fine
}

}  // namespace
}  // namespace sonorell
