#include "engine/sources/bass/bass_source.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "engine/sources/bass/default_sound_font.h"
#include "platform/bass/bass.h"
#include "platform/bass/plugin_families.h"
#include "tests/platform/bass/synth_files.h"
#include "tests/support/decoding.h"
#include "tests/support/latin1_locale.h"
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

constexpr platform::QWORD kNoPosition = static_cast<platform::QWORD>(-1);

// Each test runs with the library started as the program starts it, and the General MIDI
// sound font as the default.
class BassSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::BASS_Free();  // start fresh; the test program had started it
    platform::BASS_PluginFree(0);
    ASSERT_TRUE(platform::BASS_Init(0, 44100, 0, nullptr, nullptr));
    ASSERT_TRUE(LoadDefaultSoundFont(""));
  }
  void TearDown() override {
    platform::BASS_Free();
    platform::BASS_PluginFree(0);
    platform::BASS_Init(0, 44100, 0, nullptr, nullptr);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ / name;
    WriteFileBytes(path, bytes);
    return path;
  }

  // A file made by ffmpeg from a shared sample; empty when ffmpeg fails.
  std::string Make(const std::string& name, const std::string& input, const std::string& args) {
    const std::string path = folder_ / name;
    if (!CommandOutput("ffmpeg -nostdin -v error -y -i " + ShellQuote(input) + " " + args + " " +
                       ShellQuote(path))) {
      return {};
    }
    return path;
  }

  TempFolder folder_;
};

std::optional<double> FfprobeSeconds(const std::string& path) {
  const auto out = CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                 ShellQuote(path));
  if (!out || out->empty()) return std::nullopt;
  return std::stod(*out);
}

std::string FfprobeTag(const std::string& path, const std::string& key) {
  const auto out = CommandOutput("ffprobe -v error -show_entries format_tags=" + key +
                                 " -of default=nw=1:nk=1 " + ShellQuote(path));
  if (!out) return {};
  return out->substr(0, out->find('\n'));
}

// Largest difference between two sample sequences over their common length.
int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    worst = std::max(worst, std::abs(a[i] - b[i]));
  }
  return worst;
}

double SecondsOfLength(const BassSource& source) {
  return platform::BASS_ChannelBytes2Seconds(source.GetHandle(), source.GetLength());
}

// ---- Shared samples against ffmpeg ---------------------------------------------------------

struct Expectation {
  const char* name;
  int maxDifference;  // 0: bit-exact against ffmpeg's own 16-bit decoding
};

class SampleDecoding : public BassSourceTest, public ::testing::WithParamInterface<Expectation> {};

TEST_P(SampleDecoding, MatchesFfmpeg) {
  const Expectation e = GetParam();
  SONORELL_REQUIRE_SAMPLE(e.name);
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string path = SamplePath(e.name);
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetKind(), std::string(e.name).ends_with(".mp3") ? BassSource::Kind::kMp3
                                                                    : BassSource::Kind::kGeneral);
  const auto expectedSeconds = FfprobeSeconds(path);
  ASSERT_TRUE(expectedSeconds);
  const double seconds = SecondsOfLength(source);
  EXPECT_NEAR(seconds, *expectedSeconds, 0.03);
  EXPECT_EQ(source.GetDuration(), static_cast<int>(seconds));
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.channels, 2);
  EXPECT_EQ(d.outputChannels, 2);
  EXPECT_EQ(d.bits, 16);
  EXPECT_EQ(d.sampleRate, 44100);
  const auto reference = testing::FfmpegDecode16(path);
  ASSERT_TRUE(reference);
  std::vector<int16_t> left, right;
  SplitChannels(*reference, 2, 1, left, right);
  // The same decoder: the same number of frames as ffmpeg plays.
  EXPECT_EQ(d.left.size(), left.size());
  const int diff = std::max(MaxDifference(d.left, left), MaxDifference(d.right, right));
  EXPECT_LE(diff, e.maxDifference);
  std::printf(
      "[ measure  ] %s: length %.4f s, ffprobe %.4f s, decoded %zu frames, ffmpeg %zu, "
      "max difference %d\n",
      e.name, seconds, *expectedSeconds, d.left.size(), left.size(), diff);
  EXPECT_EQ(d.finalPosition, d.left.size() * 4);
}

INSTANTIATE_TEST_SUITE_P(Samples, SampleDecoding,
                         ::testing::Values(Expectation{"chord.flac", 0}, Expectation{"chord.wv", 0},
                                           Expectation{"chord-16bit.wav", 0},
                                           // Lossy: within one step of ffmpeg's rounding.
                                           Expectation{"chord.mp3", 1},
                                           Expectation{"chord.m4a", 1}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& c : n)
                             c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           return n;
                         });

TEST_F(BassSourceTest, ImpulseTrackerSampleRendersAsAModule) {
  SONORELL_REQUIRE_SAMPLE("the-big-march-in-space.it");
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string path = SamplePath("the-big-march-in-space.it");
  BassSource source;
  ASSERT_TRUE(source.Open(path, 32000));
  EXPECT_EQ(source.GetKind(), BassSource::Kind::kModule);
  EXPECT_EQ(source.GetSampleRate(), 32000);
  const auto expected = FfprobeSeconds(path);  // ffprobe reads modules through libopenmpt
  ASSERT_TRUE(expected);
  EXPECT_NEAR(SecondsOfLength(source), *expected, 0.03);
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left.size() * 4, d.length) << "ends exactly at its length";
  EXPECT_NEAR(static_cast<double>(d.left.size()) / 32000, *expected, 0.03);
  std::printf("[ measure  ] the-big-march-in-space.it: %.4f s rendered, ffprobe %.4f s\n",
              d.left.size() / 32000.0, *expected);
  // No module: no file-based bit rate, so the PCM rate is reported.
  EXPECT_EQ(source.GetBitrate(), 16 * 32000 * 2 / 1000);
}

TEST_F(BassSourceTest, MidiSampleRendersForItsTempoMapLength) {
  SONORELL_REQUIRE_SAMPLE("train-filled-with-cash.mid");
  const std::string path = SamplePath("train-filled-with-cash.mid");
  const auto mido = CommandOutput(
      "/usr/bin/python3 -c 'import mido,sys; "
      "print(mido.MidiFile(sys.argv[1]).length)' " +
      ShellQuote(path));
  if (!mido) GTEST_SKIP() << "python3-mido is not installed";
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetKind(), BassSource::Kind::kMidi);
  const Decoded d = DecodeAll(source);
  const double seconds = static_cast<double>(d.left.size()) / 44100;
  EXPECT_NEAR(seconds, std::stod(*mido), 0.03);
  std::printf("[ measure  ] train-filled-with-cash.mid: %.4f s rendered, mido %.4f s\n", seconds,
              std::stod(*mido));
  int peak = 0;
  for (const int16_t s : d.left) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GT(peak, 3000);
  EXPECT_EQ(source.GetDuration(), static_cast<int>(std::stod(*mido)));
}

TEST_F(BassSourceTest, RenderingRateZeroLetsTheLibraryChoose) {
  const std::string path = Write("tune.mod", testing::ProTrackerModule(1));
  BassSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetSampleRate(), 44100);
}

// ---- Files written here -------------------------------------------------------------------------

TEST_F(BassSourceTest, HandMadeModuleEndsAtItsLengthAndIsHeard) {
  const std::string path = Write("tune.mod", testing::ProTrackerModule(2));
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetKind(), BassSource::Kind::kModule);
  EXPECT_EQ(source.GetDuration(), 15);  // 15.36 s
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left.size(), static_cast<size_t>(std::llround(15.36 * 44100)));
  EXPECT_EQ(d.finalPosition, d.length);
  int peak = 0;
  for (const int16_t s : d.right) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GT(peak, 3000);
}

TEST_F(BassSourceTest, HandMadeMidiEndsAtItsLengthAndIsHeard) {
  const std::string path = Write("song.mid", testing::TwoTempoMidi());
  BassSource source;
  ASSERT_TRUE(source.Open(path, 48000));
  EXPECT_EQ(source.GetSampleRate(), 48000);
  EXPECT_EQ(source.GetDuration(), 3);
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left.size(), 3u * 48000);
  int peak = 0;
  for (const int16_t s : d.left) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GT(peak, 2000);
}

TEST_F(BassSourceTest, MidiWithTrackRunningPastTheEndDecodesWhatIsThere) {
  std::string events = testing::TwoTempoEvents();
  events.resize(events.size() - 2);
  const std::string path =
      Write("cut.mid", testing::MidiHeader(1, 2, 96) + testing::MidiTrack(events, 0x7FFFFFFF));
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  const Decoded d = DecodeAll(source, 10000);
  EXPECT_LT(d.reads, 10000) << "the stream ends";
  EXPECT_EQ(d.left.size(), static_cast<size_t>(2.75 * 44100));
}

TEST_F(BassSourceTest, EmptySongHasNoLengthAndFails) {
  const std::string path =
      Write("silent.mid", testing::MidiHeader(0, 1, 96) + testing::MidiTrack(testing::kEndOfTrack));
  BassSource source;
  EXPECT_FALSE(source.Open(path, 44100));
  EXPECT_EQ(source.GetHandle(), 0u);
  EXPECT_EQ(source.GetLength(), 0u);
}

// ---- Kinds and the order of attempts ----------------------------------------------------------

TEST_F(BassSourceTest, MidiFileThatBassMidiRefusesIsNotTriedAsAModule) {
  const std::string module = testing::ProTrackerModule(1);
  BassSource source;
  ASSERT_TRUE(source.Open(Write("tune.mod", module), 44100)) << "the bytes are a good module";
  for (const char* name : {"tune.mid", "tune.MIDI", "tune.rmi", "tune.kar"}) {
    EXPECT_FALSE(source.Open(Write(name, module), 44100)) << name;
    EXPECT_EQ(platform::BASS_ErrorGetCode(), platform::BASS_ERROR_FILEFORM) << name;
  }
}

TEST_F(BassSourceTest, FastTrackerModuleIsOpenedAndFreedAsMusic) {
  const std::string path = Write("empty.xm", testing::FastTrackerModule());
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetKind(), BassSource::Kind::kModule);
  EXPECT_EQ(source.GetDuration(), 7);  // 64 rows × 0.12 s
  const platform::DWORD handle = source.GetHandle();
  EXPECT_FALSE(platform::BASS_StreamFree(handle)) << "music is no stream";
  source.Close();
  EXPECT_EQ(source.GetHandle(), 0u);
  EXPECT_EQ(source.GetKind(), BassSource::Kind::kGeneral);
  EXPECT_EQ(platform::BASS_ChannelGetLength(handle, platform::BASS_POS_BYTE), kNoPosition);
  EXPECT_EQ(platform::BASS_ErrorGetCode(), platform::BASS_ERROR_HANDLE) << "freed";
}

// ---- MP3 specifics
// --------------------------------------------------------------------------------

// chord.mp3 without the Info frame that ffmpeg's muxer puts first (that frame carries the
// length, no sound, and its own mode field): the audio starts with a frame of the stream.
std::string Mp3WithoutInfoFrame(const std::string& mp3) {
  const size_t tag =
      10 + ((mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F));
  // MPEG-1 layer III at 44.1 kHz: 144000 × kbit/s ÷ 44100 bytes, plus the padding byte.
  static constexpr int kKbits[] = {0,   32,  40,  48,  56,  64,  80, 96,
                                   112, 128, 160, 192, 224, 256, 320};
  const auto h2 = static_cast<uint8_t>(mp3[tag + 2]);
  const size_t frame = 144000 * kKbits[h2 >> 4] / 44100 + ((h2 >> 1) & 1);
  return mp3.substr(0, tag) + mp3.substr(tag + frame);
}

TEST_F(BassSourceTest, Mp3ChannelModeComesFromTheFrameHeaderAtTheAudioStart) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  SONORELL_REQUIRE_TOOL("mediainfo");
  const std::string path =
      Write("joint.mp3", Mp3WithoutInfoFrame(ReadFileBytes(SamplePath("chord.mp3"))));
  const auto mode =
      CommandOutput("mediainfo --Inform='Audio;%Format_Settings_Mode%' " + ShellQuote(path));
  ASSERT_TRUE(mode);
  ASSERT_EQ(mode->substr(0, 12), "Joint stereo");
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetChannelMode(), 1);
  // The mode field of whatever valid header is there, in each of its values.
  std::string bytes = ReadFileBytes(path);
  const size_t start =
      platform::BASS_StreamGetFilePosition(source.GetHandle(), platform::BASS_FILEPOS_START);
  ASSERT_EQ(static_cast<uint8_t>(bytes[start]), 0xFF);
  for (const int m : {0, 2}) {
    bytes[start + 3] = static_cast<char>((bytes[start + 3] & 0x3F) | (m << 6));
    ASSERT_TRUE(source.Open(Write("mode.mp3", bytes), 44100));
    EXPECT_EQ(source.GetChannelMode(), m);
  }
}

TEST_F(BassSourceTest, Mp3BitrateIsFileBytesOverPlayingTime) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string path = SamplePath("chord.mp3");
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  const double seconds = SecondsOfLength(source);
  const auto bytes = static_cast<double>(std::filesystem::file_size(path));
  EXPECT_EQ(source.GetBitrate(), static_cast<int>(bytes / (seconds * 125) + 0.5));
  EXPECT_NEAR(source.GetBitrate(), 128, 3);  // a 128 kbit/s file, tags included
}

TEST_F(BassSourceTest, InvalidHeaderAtTheAudioStartLeavesTheModeUnknown) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string mp3 = ReadFileBytes(SamplePath("chord.mp3"));
  const size_t tag =
      10 + ((mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F));
  struct Case {
    const char* name;
    std::string header;
  } cases[] = {
      {"free-format.mp3", std::string("\xFF\xFB\x00\x44", 4)},  // bitrate index 0
      {"bad-bitrate.mp3", std::string("\xFF\xFB\xF0\x44", 4)},  // bitrate index 15
      {"bad-layer.mp3", std::string("\xFF\xF9\x90\x44", 4)},    // layer 0
      {"bad-version.mp3", std::string("\xFF\xEB\x90\x44", 4)},  // version 1
  };
  for (const Case& c : cases) {
    const std::string path = Write(c.name, mp3.substr(0, tag) + c.header + mp3.substr(tag));
    BassSource source;
    ASSERT_TRUE(source.Open(path, 44100)) << c.name;
    EXPECT_EQ(source.GetChannelMode(), 4) << c.name;
  }
}

TEST_F(BassSourceTest, MonoMp3FillsOnlyTheLeftBuffer) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string path =
      Make("mono.mp3", SamplePath("chord-16bit.wav"), "-ac 1 -c:a libmp3lame -b:a 64k");
  ASSERT_FALSE(path.empty());
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetChannelMode(), 3);
  EXPECT_EQ(source.GetChannels(), 1);
  EXPECT_EQ(source.GetOutputChannels(), 1);
  std::vector<int16_t> left(BlockFrames), right(BlockFrames, 0x5A5A);
  int total = 0;
  for (int n; (n = source.Read(left.data(), right.data())) > 0;) {
    EXPECT_LE(n, BlockFrames);
    total += n;
  }
  EXPECT_EQ(right, std::vector<int16_t>(BlockFrames, 0x5A5A));
  const auto reference = testing::FfmpegDecode16(path);
  ASSERT_TRUE(reference);
  EXPECT_EQ(static_cast<size_t>(total), reference->size());
  // And with no right buffer at all.
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_GT(source.Read(left.data(), nullptr), 0);
}

// ---- Raw ID3 blocks
// ------------------------------------------------------------------------------

TEST_F(BassSourceTest, Id3v2TagIsTheFilesOwnBytes) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string path = SamplePath("chord.mp3");
  const std::string bytes = ReadFileBytes(path);
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  size_t size = 0;
  const uint8_t* tag = source.GetId3v2Tag(size);
  ASSERT_NE(tag, nullptr);
  const size_t declared = 10 + ((bytes[6] & 0x7F) << 21 | (bytes[7] & 0x7F) << 14 |
                                (bytes[8] & 0x7F) << 7 | (bytes[9] & 0x7F));
  ASSERT_EQ(size, declared);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(tag), size), bytes.substr(0, size));
  size_t again = 0;
  EXPECT_EQ(source.GetId3v2Tag(again), tag) << "kept, not read anew";
  EXPECT_EQ(again, size);
  EXPECT_EQ(source.GetId3v1Tag(), nullptr);
  source.Close();
  EXPECT_EQ(source.GetId3v2Tag(size), nullptr);
  EXPECT_EQ(size, 0u);
}

TEST_F(BassSourceTest, Id3v2HeaderDeclaringAThousandBytesGivesTenMore) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string mp3 = ReadFileBytes(SamplePath("chord.mp3"));
  const size_t tag =
      10 + ((mp3[6] & 0x7F) << 21 | (mp3[7] & 0x7F) << 14 | (mp3[8] & 0x7F) << 7 | (mp3[9] & 0x7F));
  // 1000 = 7 × 128 + 104, synch-safe.
  const std::string header("ID3\x03\x00\x00\x00\x00\x07\x68", 10);
  const std::string path =
      Write("thousand.mp3", header + std::string(1000, '\0') + mp3.substr(tag));
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  size_t size = 0;
  const uint8_t* copy = source.GetId3v2Tag(size);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(size, 1010u);
  EXPECT_EQ(std::memcmp(copy, header.data(), 10), 0);
}

TEST_F(BassSourceTest, Id3v1BlockIsTheLast128Bytes) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  std::string v1 = "TAG" + std::string(125, ' ');
  v1.replace(3, 4, "Test");
  v1[127] = 17;
  const std::string path = Write("v1.mp3", ReadFileBytes(SamplePath("chord.mp3")) + v1);
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  const uint8_t* block = source.GetId3v1Tag();
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(block), 128), v1);
  EXPECT_EQ(source.GetId3v1Tag(), block);
}

TEST_F(BassSourceTest, OnlyMp3FilesHandOutRawTags) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  std::string v1 = "TAG" + std::string(125, ' ');
  const std::string path = Write("not-an-mp3.flac", ReadFileBytes(SamplePath("chord.flac")) + v1);
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  size_t size = 7;
  EXPECT_EQ(source.GetId3v1Tag(), nullptr);
  EXPECT_EQ(source.GetId3v2Tag(size), nullptr);
  EXPECT_EQ(size, 0u);
}

// ---- Tag text
// --------------------------------------------------------------------------------------

TEST_F(BassSourceTest, TagsAreWhatFfprobeReports) {
  SONORELL_REQUIRE_TOOL("ffprobe");
  for (const char* name : {"chord.mp3", "chord.flac", "chord.m4a"}) {
    if (!std::filesystem::exists(SamplePath(name))) continue;
    const std::string path = SamplePath(name);
    BassSource source;
    ASSERT_TRUE(source.Open(path, 44100)) << name;
    std::string title, artist, album, year, genre, comment, track, composer, copyright = "keep";
    ASSERT_TRUE(
        source.ReadTags(title, artist, album, year, genre, comment, track, composer, copyright))
        << name;
    EXPECT_EQ(title, FfprobeTag(path, "title")) << name;
    EXPECT_EQ(artist, FfprobeTag(path, "artist")) << name;
    EXPECT_EQ(album, FfprobeTag(path, "album")) << name;
    EXPECT_EQ(year, FfprobeTag(path, "date")) << name;
    EXPECT_EQ(genre, FfprobeTag(path, "genre")) << name;
    EXPECT_EQ(track, FfprobeTag(path, "track")) << name;
    EXPECT_EQ(comment, FfprobeTag(path, "comment")) << name;
    EXPECT_EQ(composer, "") << name;
    EXPECT_EQ(copyright, "") << name << ": the eighth line break is there, so it is assigned";
    EXPECT_FALSE(title.empty()) << name;
  }
}

TEST_F(BassSourceTest, FileWithoutTagsReportsNone) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  BassSource source;
  ASSERT_TRUE(source.Open(SamplePath("chord-16bit.wav"), 44100));
  std::string fields[9] = {"a", "b", "c", "d", "e", "f", "g", "h", "i"};
  EXPECT_FALSE(source.ReadTags(fields[0], fields[1], fields[2], fields[3], fields[4], fields[5],
                               fields[6], fields[7], fields[8]));
  EXPECT_EQ(fields[0], "a");
  EXPECT_EQ(fields[8], "i");
}

// Switches the program's locale for one test and back.
class LocaleSwitch {
 public:
  explicit LocaleSwitch(const char* name) : previous_(std::setlocale(LC_ALL, nullptr)) {
    ok_ = std::setlocale(LC_ALL, name) != nullptr;
  }
  ~LocaleSwitch() { std::setlocale(LC_ALL, previous_.c_str()); }
  bool ok() const { return ok_; }

 private:
  std::string previous_;
  bool ok_ = false;
};

// The tag reader hands out UTF-8 for MP3 and every other kind alike, so every kind becomes
// locale text; what the locale cannot hold costs that character, never the other fields.
TEST_F(BassSourceTest, TagTextOfEveryKindBecomesLocaleText) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string wav = SamplePath("chord-16bit.wav");
  const std::string title =
      "Gr\xC3\xBC\xC3\x9F"
      "e";  // "Grüße" in UTF-8
  const std::string meta =
      "-metadata title=" + ShellQuote(title) + " -metadata artist=" + ShellQuote("Пётр") + " -t 1";
  const std::string mp3 = Make("umlaut.mp3", wav, meta + " -c:a libmp3lame");
  const std::string flac = Make("umlaut.flac", wav, meta + " -c:a flac");
  ASSERT_FALSE(mp3.empty() || flac.empty());
  struct Read {
    bool found = false;
    std::string title, artist;
    bool replaced = false;
  };
  const auto read = [](const std::string& path) {
    BassSource source;
    Read r;
    std::string c, d, e, f, g, h, i;
    r.found = source.Open(path, 44100) && source.ReadTags(r.title, r.artist, c, d, e, f, g, h, i);
    r.replaced = source.TagTextReplaced();
    return r;
  };
  {
    // The C locale's ASCII counts as UTF-8: the text goes through as it is.
    LocaleSwitch c("C");
    ASSERT_TRUE(c.ok());
    for (const std::string& path : {mp3, flac}) {
      SCOPED_TRACE(path);
      const Read r = read(path);
      EXPECT_TRUE(r.found);
      EXPECT_EQ(r.title, title);
      EXPECT_EQ(r.artist, "Пётр");
      EXPECT_FALSE(r.replaced);
    }
  }
  const testing::InLatin1Locale latin1;
  if (!latin1.ok()) GTEST_SKIP() << "localedef cannot make a Latin-1 locale here";
  for (const std::string& path : {mp3, flac}) {
    SCOPED_TRACE(path);
    const Read r = read(path);
    EXPECT_TRUE(r.found);
    EXPECT_EQ(r.title,
              "Gr\xFC\xDF"
              "e");
    EXPECT_EQ(r.artist, "????");
    EXPECT_TRUE(r.replaced);
  }
}

// ---- Many channels -----------------------------------------------------------------------------

TEST_F(BassSourceTest, SixChannelsGiveUpTo384FramesOfTheFirstTwo) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  for (const int channels : {6, 5, 7}) {
    std::string pan = "pan=" + std::to_string(channels) + "c";
    for (int c = 0; c < channels; ++c) {
      pan += "|c" + std::to_string(c) + "=" + std::to_string(0.9 - 0.1 * c) + "*c" +
             std::to_string(c % 2);
    }
    const std::string path = Make("many-" + std::to_string(channels) + ".flac",
                                  SamplePath("chord-16bit.wav"), "-af '" + pan + "' -c:a flac");
    ASSERT_FALSE(path.empty()) << channels;
    BassSource source;
    ASSERT_TRUE(source.Open(path, 44100));
    EXPECT_EQ(source.GetChannels(), channels);
    EXPECT_EQ(source.GetOutputChannels(), 2);
    const int most = 2 * BlockFrames / channels;
    std::vector<int16_t> left, right, l(BlockFrames), r(BlockFrames);
    int fullReads = 0;
    for (int n; (n = source.Read(l.data(), r.data())) > 0;) {
      EXPECT_LE(n, most);
      fullReads += n == most;
      left.insert(left.end(), l.begin(), l.begin() + n);
      right.insert(right.end(), r.begin(), r.begin() + n);
    }
    EXPECT_GT(fullReads, 100);
    const auto reference = testing::FfmpegDecode16(path);
    ASSERT_TRUE(reference);
    std::vector<int16_t> refLeft, refRight;
    SplitChannels(*reference, channels, 1, refLeft, refRight);
    EXPECT_EQ(left, refLeft) << channels << " channels: first channel, no drift";
    EXPECT_EQ(right, refRight) << channels << " channels: second channel, no drift";
  }
  EXPECT_EQ(BassSource::SamplesPerRequest(6), 2304);
  EXPECT_EQ(BassSource::SamplesPerRequest(5), 2300);
  EXPECT_EQ(BassSource::SamplesPerRequest(7), 2303);
  EXPECT_EQ(BassSource::SamplesPerRequest(2305), 0);
}

TEST_F(BassSourceTest, EightBitSamplesStayUnsigned) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string path = Make("u8.wav", SamplePath("chord-16bit.wav"), "-c:a pcm_u8");
  ASSERT_FALSE(path.empty());
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  ASSERT_EQ(source.GetBitsPerSample(), 8);
  EXPECT_EQ(
      source.GetBitrate(),
      static_cast<int>(std::filesystem::file_size(path) / (SecondsOfLength(source) * 125) + 0.5));
  const Decoded d = DecodeAll(source);
  const auto reference = testing::FfmpegDecode16(path);
  ASSERT_TRUE(reference);
  std::vector<int16_t> refLeft, refRight;
  SplitChannels(*reference, 2, 1, refLeft, refRight);
  ASSERT_EQ(d.left.size(), refLeft.size());
  for (size_t i = 0; i < refLeft.size(); i += 997) {
    EXPECT_EQ((d.left[i] - 128) * 256, refLeft[i]) << i;
    EXPECT_EQ((d.right[i] - 128) * 256, refRight[i]) << i;
  }
}

// ---- Position
// ------------------------------------------------------------------------------------

TEST_F(BassSourceTest, PositionIsAskedOfTheLibraryEveryTime) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  BassSource source;
  ASSERT_TRUE(source.Open(SamplePath("chord.flac"), 44100));
  EXPECT_EQ(source.GetPosition(), 0u);
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  uint64_t delivered = 0;
  for (int i = 0; i < 10; ++i) {
    const int n = source.Read(l.data(), r.data());
    ASSERT_GT(n, 0);
    delivered += static_cast<uint64_t>(n) * 4;
    EXPECT_EQ(source.GetPosition(), delivered);
    EXPECT_EQ(source.GetPosition(),
              platform::BASS_ChannelGetPosition(source.GetHandle(), platform::BASS_POS_BYTE));
  }
  source.Close();
  EXPECT_EQ(source.GetPosition(), 0u);
}

// ---- Bad input ---------------------------------------------------------------------------------

TEST_F(BassSourceTest, TruncatedFilesDecodeWhatIsThere) {
  for (const char* name : {"chord.mp3", "chord.flac"}) {
    if (!std::filesystem::exists(SamplePath(name))) continue;
    const std::string bytes = ReadFileBytes(SamplePath(name));
    for (const size_t keep : {bytes.size() / 2, size_t{300}, size_t{20}}) {
      const std::string path = Write(std::string("cut-") + name, bytes.substr(0, keep));
      BassSource source;
      if (!source.Open(path, 44100)) continue;  // too little left to be a stream: a clean refusal
      const Decoded d = DecodeAll(source, 100000);
      EXPECT_LT(d.reads, 100000) << name << " " << keep;
      EXPECT_LE(d.left.size(), 264600u) << name << " " << keep;
    }
  }
}

TEST_F(BassSourceTest, FlacNamedMp3DecodesAsFlacWithNoMpegMode) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const std::string path = Write("really-flac.mp3", ReadFileBytes(SamplePath("chord.flac")));
  BassSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetKind(), BassSource::Kind::kMp3);
  EXPECT_EQ(source.GetChannelMode(), 4);
  size_t size = 0;
  EXPECT_EQ(source.GetId3v2Tag(size), nullptr);
  const Decoded d = DecodeAll(source);
  EXPECT_EQ(d.left.size(), 264600u);
}

TEST_F(BassSourceTest, RandomBytesAndEmptyFilesFail) {
  std::string noise(64 * 1024, '\0');
  uint32_t x = 2024;
  for (char& c : noise) c = static_cast<char>((x = x * 1664525 + 1013904223) >> 24);
  BassSource source;
  for (const char* name : {"noise.mp3", "noise.flac", "noise.xm", "noise.mid", "noise"}) {
    EXPECT_FALSE(source.Open(Write(name, noise), 44100)) << name;
    EXPECT_EQ(source.GetHandle(), 0u);
    EXPECT_EQ(source.GetSampleRate(), 0);
    EXPECT_EQ(source.GetChannelMode(), 4);
  }
  for (const char* name : {"empty.mp3", "empty.mid", "empty.it", "empty.wav"}) {
    EXPECT_FALSE(source.Open(Write(name, ""), 44100)) << name;
  }
  EXPECT_FALSE(source.Open(folder_ / "missing.flac", 44100));
  EXPECT_FALSE(source.Open(folder_.path(), 44100));
  EXPECT_EQ(source.Read(nullptr, nullptr), 0);
}

TEST_F(BassSourceTest, ReopeningClosesTheFirstChannel) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  BassSource source;
  ASSERT_TRUE(source.Open(SamplePath("chord.flac"), 44100));
  const platform::DWORD first = source.GetHandle();
  ASSERT_TRUE(source.Open(Write("tune.mod", testing::ProTrackerModule(1)), 44100));
  EXPECT_NE(source.GetHandle(), first);
  EXPECT_EQ(platform::BASS_ChannelGetLength(first, platform::BASS_POS_BYTE), kNoPosition);
}

// ---- Plug-ins and the sound font ----------------------------------------------------------------

TEST_F(BassSourceTest, PluginsLoadOnceFromBesideTheProgram) {
  int available = 0;
  for (int family = 0; family < 11; ++family) available += platform::bass::FamilyAvailable(family);
  EXPECT_EQ(LoadBassPlugins(), available);
  EXPECT_EQ(LoadBassPlugins(), 0) << "already loaded";
  EXPECT_TRUE(platform::BASS_PluginFree(0));
  EXPECT_EQ(LoadBassPlugins(), available);
}

TEST_F(BassSourceTest, SoundFontBesideTheProgramComesFirstElseTheSystemOne) {
  // A broken "ct4mgm.sf2" beside the program: the system's font is taken instead.
  const std::string broken = folder_ / "broken";
  std::filesystem::create_directory(broken);
  WriteFileBytes(broken + "/ct4mgm.sf2", "RIFF....sfbk but not really");
  EXPECT_TRUE(LoadDefaultSoundFont(broken));
  // A good one beside the program is taken as it is.
  const std::string good = folder_ / "good";
  std::filesystem::create_directory(good);
  std::filesystem::create_symlink(kSystemSoundFonts[0], good + "/ct4mgm.sf2");
  EXPECT_TRUE(LoadDefaultSoundFont(good + "/"));
  BassSource source;
  EXPECT_TRUE(source.Open(Write("song.mid", testing::TwoTempoMidi()), 44100));
}

TEST_F(BassSourceTest, WithoutAnyDefaultFontMidiFails) {
  ASSERT_TRUE(platform::BASS_MIDI_StreamSetFonts(0, nullptr, 0));
  BassSource source;
  EXPECT_FALSE(source.Open(Write("song.mid", testing::TwoTempoMidi()), 44100));
}

}  // namespace
}  // namespace sonorell
