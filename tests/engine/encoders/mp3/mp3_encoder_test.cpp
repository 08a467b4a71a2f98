#include "engine/encoders/mp3/mp3_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <map>

#include "engine/encoders/mp3/mp3_options.h"
#include "engine/sources/failure_note.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/support/decoding.h"
#include "tests/support/recording_progress.h"
#include "tests/support/sweep_share.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::FfprobeStream;
using testing::ReadFileBytes;
using testing::RecordingProgress;
using testing::SamplePath;
using testing::ShellQuote;
using testing::TempFolder;

// LAME starts the audio 576 samples late and an MPEG decoder adds 529 more; without an
// Info frame nothing tells the decoder to drop them. The last frame is padded.
constexpr long kCodecDelay = 576 + 529;
long FrameLength(int rate) {
  return rate >= 32000 ? 1152 : 576;
}

// The MP3 an automatic conversion makes of a source rate: output rate, kbps mono, stereo.
struct AutoRow {
  int rate, mono, stereo;
};
const std::map<int, AutoRow>& AutoTable() {
  static const std::map<int, AutoRow> table{{8000, {11025, 24, 48}},    {11025, {11025, 24, 48}},
                                            {12000, {12000, 24, 48}},   {16000, {16000, 32, 56}},
                                            {22050, {22050, 48, 64}},   {24000, {24000, 48, 64}},
                                            {32000, {32000, 64, 96}},   {44100, {44100, 96, 128}},
                                            {48000, {48000, 128, 192}}, {96000, {48000, 128, 192}}};
  return table;
}

double Rms(const std::vector<int16_t>& s, size_t skip = 2000) {
  double sum = 0;
  size_t n = 0;
  for (size_t i = skip; i + skip < s.size(); ++i, ++n) sum += double(s[i]) * s[i];
  return n ? std::sqrt(sum / n) : 0;
}

class Mp3Output : public ::testing::Test {
 protected:
  int Encode(const std::string& source, const std::string& target, InputTypeCode type = kInputWav,
             int runFileNumber = 1) {
    const EncodeContext context{settings, runFileNumber};
    return EncodeMp3File(type, source, target, progress, context);
  }
  void Fixed(int kbps, int rate, int mode) {
    settings.AutoDestMP3EncodingParam = 0;
    settings.MP3BitRate = kbps;
    settings.MP3SampleRate = rate;
    settings.MP3ChannelMode = mode;
  }
  std::string Tone(const std::string& name, int rate, int channels, double seconds, int bits = 16) {
    const std::string path = dir / name;
    EXPECT_TRUE(testing::MakeTone(path, rate, channels, seconds, bits)) << "sox";
    return path;
  }
  // Checks an output against what was meant and against the validators.
  void ExpectMp3(const std::string& out, int rate, int channels, int kbps, long sourceFrames,
                 int sourceRate) {
    const testing::StreamProbe p = FfprobeStream(out);
    ASSERT_TRUE(p.ok) << out;
    EXPECT_EQ(p.codec, "mp3") << out;
    EXPECT_EQ(p.rate, rate) << out;
    EXPECT_EQ(p.channels, channels) << out;
    EXPECT_EQ(p.bitRate, kbps * 1000L) << out;
    EXPECT_EQ(testing::Mp3valProblems(out), "") << out;
    const long decoded = testing::FfmpegFrames(out);
    const long expected =
        static_cast<long>(std::llround(static_cast<double>(sourceFrames) * rate / sourceRate));
    EXPECT_GE(decoded, expected - 2) << out << ": audio lost";
    EXPECT_LE(decoded, expected + FrameLength(rate) + kCodecDelay) << out;
  }

  TempFolder dir;
  Settings settings;
  RecordingProgress progress;
};

TEST_F(Mp3Output, EveryNativeSampleBecomesAValidMp3OfTheAutomaticFormat) {
  int checked = 0;
  for (const auto& sample : testing::NativeSamples()) {
    const std::string source = SamplePath(sample.name);
    if (!std::filesystem::exists(source)) continue;
    const int rate = std::stoi(*CommandOutput("soxi -r " + ShellQuote(source)));
    const int channels = std::stoi(*CommandOutput("soxi -c " + ShellQuote(source)));
    const std::string out = dir / (std::string(sample.name) + ".mp3");
    ClearFailureNote();
    ASSERT_EQ(Encode(source, out, sample.type), 1) << sample.name << ": " << GetFailureNote();
    const AutoRow row = AutoTable().at(rate);
    ExpectMp3(out, row.rate, channels, channels == 1 ? row.mono : row.stereo,
              testing::SoxFrames(source), rate);
    EXPECT_EQ(progress.fileLines.back(), "Converting " + std::string(sample.name) + "...100%");
    std::filesystem::remove(out);
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no samples present";
}

TEST_F(Mp3Output, SamplesOfOtherDecodersConvertOnceTheyOpen) {
  int checked = 0;
  for (const auto& sample : testing::DecodedSamples()) {
    const std::string source = SamplePath(sample.name);
    if (!std::filesystem::exists(source) || !testing::FactoryOpens(source, sample.type)) continue;
    const std::string out = dir / (std::string(sample.name) + ".mp3");
    ClearFailureNote();
    ASSERT_EQ(Encode(source, out, sample.type), 1) << sample.name << ": " << GetFailureNote();
    const testing::StreamProbe p = FfprobeStream(out);
    EXPECT_EQ(p.codec, "mp3");
    EXPECT_GT(p.rate, 0);
    EXPECT_EQ(testing::Mp3valProblems(out), "") << sample.name;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no decoder for MP3, FLAC, M4A, WMA or Ogg inputs yet";
}

// Rates from 8 to 96 kHz, mono and stereo, under the automatic parameters and three fixed
// choices: the rate, channels and bit rate every file gets are the ones the options mean.
TEST_F(Mp3Output, RatesChannelsAndBitRatesFollowTheOptions) {
  struct Choice {
    const char* name;
    bool automatic;
    int kbps, rate, mode;
  } choices[] = {{"auto", true, 0, 0, 0},
                 {"same", false, 0, 0, kMp3ModeSameAsSource},
                 {"8k-128-mono", false, 128, 8000, kMp3ModeMono},
                 {"44k-16-stereo", false, 16, 44100, kMp3ModeStereo}};
  testing::SweepShare share;
  for (const auto& [sourceRate, row] : AutoTable()) {
    for (int channels : {1, 2}) {
      const std::string source =
          Tone("t" + std::to_string(sourceRate) + "-" + std::to_string(channels) + ".wav",
               sourceRate, channels, 1.0);
      for (const Choice& c : choices) {
        if (!share.Take()) continue;
        settings = Settings();
        if (!c.automatic) Fixed(c.kbps, c.rate, c.mode);
        int rate = row.rate;
        int outChannels = channels;
        int kbps = channels == 1 ? row.mono : row.stereo;
        if (c.name == std::string("same")) {
          // The source's rate snapped to the MP3 rates; the bit rate automatic for it.
          rate = sourceRate == 96000 ? 48000 : sourceRate;
          if (sourceRate == 8000) kbps = channels == 1 ? 24 : 48;
        } else if (c.name == std::string("8k-128-mono")) {
          rate = 8000;
          outChannels = 1;
          kbps = 64;  // MPEG-2.5 carries at most 64
        } else if (c.name == std::string("44k-16-stereo")) {
          rate = 44100;
          kbps = 32;  // MPEG-1 starts at 32; LAME keeps a mono source mono
        }
        const std::string out = dir / (std::string(c.name) + ".mp3");
        ClearFailureNote();
        ASSERT_EQ(Encode(source, out), 1) << source << " " << c.name << ": " << GetFailureNote();
        SCOPED_TRACE(std::to_string(sourceRate) + " Hz, " + std::to_string(channels) + " ch, " +
                     c.name);
        ExpectMp3(out, rate, outChannels, kbps, testing::SoxFrames(source), sourceRate);
        std::filesystem::remove(out);
      }
      std::filesystem::remove(source);
    }
  }
}

TEST_F(Mp3Output, MonoOutputHearsTheChannelTheUserChose) {
  // Left a tone, right silent.
  const std::string source = dir / "left-only.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source +
                            " synth 2 sine 440 vol 0.5 remix 1 0"));
  Fixed(128, 44100, kMp3ModeMono);
  std::map<int, double> rms;
  for (int monoType : {0, 1, 2}) {
    settings.MonoType = monoType;
    const std::string out = dir / ("mono" + std::to_string(monoType) + ".mp3");
    ASSERT_EQ(Encode(source, out), 1);
    EXPECT_EQ(FfprobeStream(out).channels, 1);
    const auto pcm = testing::FfmpegDecode16(out);
    ASSERT_TRUE(pcm);
    rms[monoType] = Rms(*pcm);
  }
  EXPECT_GT(rms[1], 8000);                         // the tone
  EXPECT_LT(rms[2], rms[1] * 0.01);                // the silent right channel
  EXPECT_NEAR(rms[0], rms[1] / 2, rms[1] * 0.05);  // LAME's own (L+R)/2
}

TEST_F(Mp3Output, EightBitSourceIsEncodedFromItsSixteenBitWidening) {
  // sox widens 8-bit samples exactly as (u - 128) × 256 when it does not dither.
  const std::string eight = Tone("eight.wav", 22050, 2, 1.5, 8);
  const std::string sixteen = dir / "sixteen.wav";
  ASSERT_TRUE(CommandOutput("sox -D " + eight + " -b 16 " + sixteen));
  Fixed(64, 22050, kMp3ModeJointStereo);
  ASSERT_EQ(Encode(eight, dir / "from8.mp3"), 1);
  ASSERT_EQ(Encode(sixteen, dir / "from16.mp3"), 1);
  const std::string a = ReadFileBytes(dir / "from8.mp3");
  EXPECT_GT(a.size(), 1000u);
  EXPECT_TRUE(a == ReadFileBytes(dir / "from16.mp3"));
}

TEST_F(Mp3Output, GainScalesWhatLameHears) {
  const std::string source = Tone("tone.wav", 44100, 1, 2.0);
  Fixed(128, 44100, kMp3ModeMono);
  ASSERT_EQ(Encode(source, dir / "plain.mp3"), 1);
  settings.AmplifyMp3 = 1;
  settings.AmplifyMp3Coeff = 50;
  ASSERT_EQ(Encode(source, dir / "half.mp3"), 1);
  const double plain = Rms(*testing::FfmpegDecode16(dir / "plain.mp3"));
  const double half = Rms(*testing::FfmpegDecode16(dir / "half.mp3"));
  EXPECT_NEAR(half / plain, 0.5, 0.02);
  // 100 % is no gain at all: the same bytes as without the switch.
  settings.AmplifyMp3Coeff = 100;
  ASSERT_EQ(Encode(source, dir / "hundred.mp3"), 1);
  EXPECT_TRUE(ReadFileBytes(dir / "hundred.mp3") == ReadFileBytes(dir / "plain.mp3"));
}

TEST_F(Mp3Output, AudioStartsWithAFrameAndNoXingOrInfoFrame) {
  const std::string source = Tone("tone.wav", 44100, 2, 1.0);
  settings.MP3ID3TagType = 2;
  ASSERT_EQ(Encode(source, dir / "plain.mp3"), 1);
  const std::string bytes = ReadFileBytes(dir / "plain.mp3");
  ASSERT_GT(bytes.size(), 417u);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(bytes[1]) & 0xE0, 0xE0);
  // A 128 kbps 44.1 kHz frame is 417 or 418 bytes; an Info frame would carry its name there.
  const std::string first = bytes.substr(0, 418);
  EXPECT_EQ(first.find("Xing"), std::string::npos);
  EXPECT_EQ(first.find("Info"), std::string::npos);
  EXPECT_EQ(bytes.find("TAG", bytes.size() - 128), std::string::npos);
}

// ---- tags ----

class Mp3Tags : public Mp3Output {
 protected:
  void SetUp() override {
    ASSERT_TRUE(locale.ok()) << "no UTF-8 locale";
    source = dir / "Song.Live.wav";
    ASSERT_TRUE(testing::MakeTone(source, 44100, 2, 1.0));
    settings.MP3ID3TagType = 0;  // Add
    TagDefaults& t = settings.Mp3Tags;
    t.TitleAsFileName = 1;
    t.Artist = "Дмитрий Шостакович";
    t.Album = "Symphonie fantastique";
    t.Year = "1937";
    t.Genre = "Classical";
    t.Comment = "日本語のコメント";
    t.Composer = "Berlioz";
    t.Copyright = "© Orchestra";
    t.TrackNumType = 2;
    t.CustomTrackNum = 7;
  }
  testing::LocaleGuard locale{"C.UTF-8"};
  std::string source;
};

TEST_F(Mp3Tags, AddWritesTheDefaultsAsId3v2BeforeTheAudio) {
  settings.MP3WriteID3Version = kWriteId3v2;
  const std::string out = dir / "v2.mp3";
  ASSERT_EQ(Encode(source, out), 1);
  const std::string bytes = ReadFileBytes(out);
  EXPECT_EQ(bytes.substr(0, 3), "ID3");
  EXPECT_NE(bytes.substr(bytes.size() - 128, 3), "TAG");
  testing::StreamProbe p = FfprobeStream(out);
  EXPECT_EQ(p.tags["TITLE"], "Song.Live");
  EXPECT_EQ(p.tags["ARTIST"], "Дмитрий Шостакович");
  EXPECT_EQ(p.tags["ALBUM"], "Symphonie fantastique");
  EXPECT_EQ(p.tags["GENRE"], "Classical");
  EXPECT_EQ(p.tags["COMMENT"], "日本語のコメント");
  EXPECT_EQ(p.tags["COMPOSER"], "Berlioz");
  EXPECT_EQ(p.tags["COPYRIGHT"], "© Orchestra");
  EXPECT_EQ(p.tags["TRACK"], "7");
  const auto listed = CommandOutput("id3v2 -l " + ShellQuote(out));
  ASSERT_TRUE(listed);
  EXPECT_NE(listed->find("TIT2 (Title/songname/content description): Song.Live"), std::string::npos)
      << *listed;
  EXPECT_NE(listed->find("TYER (Year): 1937"), std::string::npos) << *listed;
  EXPECT_NE(listed->find("TRCK (Track number/Position in set): 7"), std::string::npos) << *listed;
  EXPECT_EQ(testing::Mp3valProblems(out), "");
}

TEST_F(Mp3Tags, BothVersionsPutId3v2FirstAndA128ByteId3v1Last) {
  settings.MP3WriteID3Version = kWriteId3v1AndV2;
  const std::string out = dir / "both.mp3";
  ASSERT_EQ(Encode(source, out), 1);
  const std::string bytes = ReadFileBytes(out);
  EXPECT_EQ(bytes.substr(0, 3), "ID3");
  const std::string v1 = bytes.substr(bytes.size() - 128);
  EXPECT_EQ(v1.substr(0, 3), "TAG");
  EXPECT_EQ(v1.substr(3, 9), "Song.Live");
  EXPECT_EQ(static_cast<uint8_t>(v1[126]), 7);   // ID3v1.1 track
  EXPECT_EQ(static_cast<uint8_t>(v1[127]), 32);  // Classical
  // The audio lies between the two: the byte before the ID3v1 tag ends a frame, and
  // validators find nothing wrong.
  EXPECT_EQ(testing::Mp3valProblems(out), "");
  const auto listed = CommandOutput("id3v2 -l " + ShellQuote(out));
  ASSERT_TRUE(listed);
  EXPECT_NE(listed->find("id3v1 tag info"), std::string::npos) << *listed;
  EXPECT_NE(listed->find("id3v2 tag info"), std::string::npos) << *listed;
}

TEST_F(Mp3Tags, Id3v1OnlyLeavesTheStartToTheAudio) {
  settings.MP3WriteID3Version = kWriteId3v1;
  const std::string out = dir / "v1.mp3";
  ASSERT_EQ(Encode(source, out), 1);
  const std::string bytes = ReadFileBytes(out);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
  EXPECT_EQ(bytes.substr(bytes.size() - 128, 3), "TAG");
  EXPECT_EQ(testing::Mp3valProblems(out), "");
}

TEST_F(Mp3Tags, NoneAndTransferFromAnUntaggedSourceWriteNoTag) {
  for (int mode : {1, 2}) {
    settings.MP3ID3TagType = mode;
    settings.MP3WriteID3Version = kWriteId3v1AndV2;
    const std::string out = dir / ("mode" + std::to_string(mode) + ".mp3");
    ASSERT_EQ(Encode(source, out), 1);
    const std::string bytes = ReadFileBytes(out);
    EXPECT_NE(bytes.substr(0, 3), "ID3") << mode;
    EXPECT_NE(bytes.substr(bytes.size() - 128, 3), "TAG") << mode;
  }
}

TEST_F(Mp3Tags, SequenceNumberingTakesTheRunFileNumber) {
  settings.Mp3Tags.TrackNumType = 1;
  settings.MP3WriteID3Version = kWriteId3v2;
  ASSERT_EQ(Encode(source, dir / "third.mp3", kInputWav, 3), 1);
  EXPECT_EQ(FfprobeStream(dir / "third.mp3").tags["TRACK"], "3");
  ASSERT_EQ(Encode(source, dir / "256th.mp3", kInputWav, 256), 1);
  EXPECT_EQ(FfprobeStream(dir / "256th.mp3").tags.count("TRACK"), 0u);  // 256 is track 0
}

// An MP3 source as the MP3 decoder presents one: raw tag blocks and nothing to decode.
class TaggedMp3Source : public AudioSource {
 public:
  std::vector<uint8_t> v1;
  std::vector<uint8_t> v2;
  void Close() override {}
  bool Open(const std::string&, int) override { return true; }
  int Read(void*, void*) override { return 0; }
  const uint8_t* GetId3v1Tag() const override { return v1.empty() ? nullptr : v1.data(); }
  const uint8_t* GetId3v2Tag(size_t& size) const override {
    size = v2.size();
    return v2.empty() ? nullptr : v2.data();
  }
  bool ReadTags(std::string& title, std::string&, std::string&, std::string&, std::string&,
                std::string&, std::string&, std::string&, std::string&) override {
    title = "read, not copied";
    return true;
  }
};

// Encodes one block of silence with the tags the options give for this source.
std::string EncodeWithTags(const Settings& s, InputTypeCode type, AudioSource& source,
                           const TempFolder& dir) {
  StagedOutput out;
  EXPECT_TRUE(out.Open(dir / "tagged.mp3"));
  Mp3Encoder encoder(out);
  EXPECT_TRUE(encoder.Open());
  Mp3TagBlocks tags;
  ApplyMp3Tags(tags, s, type, dir / "source.mp3", source, EncodeContext{s, 1});
  encoder.SetTags(std::move(tags));
  Mp3Parameters parameters;
  parameters.inRate = parameters.outRate = 44100;
  parameters.kbps = 128;
  EXPECT_TRUE(encoder.AcceptParameters(parameters, 1));
  const std::vector<int16_t> silence(1152, 0);
  EXPECT_TRUE(encoder.WritePcm(silence.data(), nullptr, 1152));
  EXPECT_TRUE(encoder.Finish());
  EXPECT_TRUE(out.Commit(""));
  return ReadFileBytes(dir / "tagged.mp3");
}

TEST_F(Mp3Tags, TransferFromAnMp3SourceCopiesBothRawBlocksWhateverTheVersion) {
  TaggedMp3Source mp3;
  mp3.v2 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 3, 'x', 'y', 'z'};
  mp3.v1.assign(128, 0xAB);
  std::memcpy(mp3.v1.data(), "TAG", 3);
  settings.MP3ID3TagType = 1;
  for (int version : {kWriteId3v1, kWriteId3v2, kWriteId3v1AndV2}) {
    settings.MP3WriteID3Version = version;
    const std::string bytes = EncodeWithTags(settings, kInputMp3, mp3, dir);
    ASSERT_GT(bytes.size(), 13u + 128u);
    EXPECT_EQ(bytes.substr(0, 13), std::string(mp3.v2.begin(), mp3.v2.end())) << version;
    EXPECT_EQ(bytes.substr(bytes.size() - 128), std::string(mp3.v1.begin(), mp3.v1.end()));
    EXPECT_EQ(static_cast<uint8_t>(bytes[13]), 0xFF) << "audio follows the ID3v2 block";
  }
  // Only the blocks the source has; something that is no ID3 tag is not placed at all.
  mp3.v2.clear();
  mp3.v1[0] = 'X';
  const std::string bytes = EncodeWithTags(settings, kInputMp3, mp3, dir);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF);
  EXPECT_EQ(bytes.find(std::string(mp3.v1.begin(), mp3.v1.end())), std::string::npos);
}

TEST_F(Mp3Tags, TransferFromOtherSourcesRendersTheTagsTheyRead) {
  TaggedMp3Source wavLike;
  wavLike.v2 = {'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
  settings.MP3ID3TagType = 1;
  settings.MP3WriteID3Version = kWriteId3v1;
  const std::string bytes = EncodeWithTags(settings, kInputWav, wavLike, dir);
  EXPECT_EQ(static_cast<uint8_t>(bytes[0]), 0xFF) << "raw blocks come from MP3 sources only";
  EXPECT_EQ(bytes.substr(bytes.size() - 128, 19), "TAGread, not copied");
}

TEST_F(Mp3Tags, TransferFromAnMp3FileCopiesItsTagsByteForByte) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string sample = SamplePath("chord.mp3");
  if (!testing::FactoryOpens(sample, kInputMp3)) GTEST_SKIP() << "no MP3 decoder yet";
  settings.MP3ID3TagType = 1;
  settings.MP3WriteID3Version = kWriteId3v1;  // not consulted
  const std::string out = dir / "copy.mp3";
  ASSERT_EQ(Encode(sample, out, kInputMp3), 1) << GetFailureNote();
  const std::string in = ReadFileBytes(sample);
  const std::string got = ReadFileBytes(out);
  ASSERT_EQ(in.substr(0, 3), "ID3");
  const size_t v2 = 10 + ((size_t(in[6] & 0x7F) << 21) | (size_t(in[7] & 0x7F) << 14) |
                          (size_t(in[8] & 0x7F) << 7) | size_t(in[9] & 0x7F));
  EXPECT_EQ(got.substr(0, v2), in.substr(0, v2));
  if (in.substr(in.size() - 128, 3) == "TAG") {
    EXPECT_EQ(got.substr(got.size() - 128), in.substr(in.size() - 128));
  } else {
    EXPECT_NE(got.substr(got.size() - 128, 3), "TAG");
  }
  EXPECT_EQ(testing::Mp3valProblems(out), "");
}

// ---- failures ----

TEST_F(Mp3Output, CancelHalfWayLeavesNothing) {
  const std::string source = Tone("long.wav", 44100, 2, 10.0);
  progress.onPump = [](RecordingProgress& p) {
    if (p.pumps == 150) p.cancel = true;
  };
  EXPECT_EQ(Encode(source, dir / "out.mp3"), 0);
  EXPECT_EQ(progress.pumps, 150);
  EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\n");
}

TEST_F(Mp3Output, AFullDiskFailsTheFileAndLeavesNothing) {
  // A long file fails while it is written, a short one when it is put in place.
  const std::string shortSource = Tone("short.wav", 44100, 2, 1.0);
  const std::string longSource = Tone("long.wav", 44100, 2, 30.0);
  for (const std::string& source : {shortSource, longSource}) {
    ClearFailureNote();
    int result = -1;
    {
      testing::FileSizeLimit full(8000);
      result = Encode(source, dir / "out.mp3");
    }
    EXPECT_EQ(result, 0) << source;
    EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\nshort.wav\n") << source;
  }
  EXPECT_NE(GetFailureNote().find("the output could not be written ("), std::string::npos)
      << GetFailureNote();
  // A file the user already had at the target survives a failed attempt untouched.
  testing::WriteFileBytes(dir / "out.mp3", "keep me");
  {
    testing::FileSizeLimit full(100000);
    EXPECT_EQ(Encode(longSource, dir / "out.mp3"), 0);
  }
  EXPECT_EQ(ReadFileBytes(dir / "out.mp3"), "keep me");
}

TEST_F(Mp3Output, AnUnreadableSourceCreatesNothing) {
  testing::WriteFileBytes(dir / "bad.wav", "RIFF....WAVEjunk");
  ClearFailureNote();
  EXPECT_EQ(Encode(dir / "bad.wav", dir / "out.mp3"), 0);
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(testing::ListFolder(dir.path()), "bad.wav\n");
}

TEST_F(Mp3Output, AnUnreachableTargetFails) {
  const std::string source = Tone("tone.wav", 8000, 1, 0.5);
  EXPECT_EQ(Encode(source, "/proc/sonorell-nowhere/out.mp3"), 0);
  testing::WriteFileBytes(dir / "file", "x");
  EXPECT_EQ(Encode(source, dir / "file/out.mp3"), 0);
}

// ---- the encoder on its own ----

TEST(Mp3Encoder, NothingIsFlushedOrTaggedBeforeTheParametersAreAccepted) {
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "x.mp3"));
  Mp3Encoder encoder(out);
  ASSERT_TRUE(encoder.Open());
  std::vector<uint8_t> v1(128, 'T');
  Mp3TagBlocks tags;
  EXPECT_TRUE(tags.SetId3v1(v1));
  encoder.SetTags(tags);
  const std::vector<int16_t> pcm(1152, 0);
  EXPECT_FALSE(encoder.WritePcm(pcm.data(), nullptr, 1152));
  EXPECT_FALSE(encoder.Finish());
  EXPECT_EQ(out.Size(), 0u);
}

TEST(Mp3Encoder, AnId3v1BlockIsExactly128Bytes) {
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "x.mp3"));
  Mp3Encoder encoder(out);
  ASSERT_TRUE(encoder.Open());
  Mp3TagBlocks tags;
  EXPECT_FALSE(tags.SetId3v1(std::vector<uint8_t>(127, 'T')));
  EXPECT_FALSE(tags.SetId3v1(std::vector<uint8_t>(129, 'T')));
  encoder.SetTags(tags);
  // Channels 0 are forced to 1, 1000 kbps to 320 (which LAME brings down for 8 kHz), and
  // mode 9 is sent as stereo.
  Mp3Parameters parameters;
  parameters.inRate = parameters.outRate = 8000;
  parameters.mode = 9;
  parameters.kbps = 1000;
  ASSERT_TRUE(encoder.AcceptParameters(parameters, 0));
  const std::vector<int16_t> pcm(4000, 1000);  // more than a block: taken in pieces
  EXPECT_TRUE(encoder.WritePcm(pcm.data(), nullptr, 4000));
  EXPECT_TRUE(encoder.Finish());
  EXPECT_FALSE(encoder.Finish()) << "the end is flushed once";
  ASSERT_TRUE(out.Commit(""));
  const std::string bytes = ReadFileBytes(dir / "x.mp3");
  EXPECT_GT(bytes.size(), 100u);
  EXPECT_EQ(bytes.find("TAG"), std::string::npos);
}

TEST(Mp3Encoder, StereoNeedsBothChannels) {
  TempFolder dir;
  StagedOutput out;
  ASSERT_TRUE(out.Open(dir / "x.mp3"));
  Mp3Encoder encoder(out);
  ASSERT_TRUE(encoder.Open());
  Mp3Parameters parameters;
  parameters.inRate = 44100;
  ASSERT_TRUE(encoder.AcceptParameters(parameters, 2));
  const std::vector<int16_t> pcm(1152, 0);
  EXPECT_FALSE(encoder.WritePcm(pcm.data(), nullptr, 1152));
  EXPECT_TRUE(encoder.WritePcm(pcm.data(), pcm.data(), 1152));
}

}  // namespace
}  // namespace sonorell
