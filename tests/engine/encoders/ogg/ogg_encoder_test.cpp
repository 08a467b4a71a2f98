#include "engine/encoders/ogg/ogg_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

#include "engine/encoders/ogg/ogg_options.h"
#include "engine/sources/failure_note.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/support/decoding.h"
#include "tests/support/ogg_pages.h"
#include "tests/support/recording_progress.h"
#include "tests/support/sweep_share.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::FfprobeStream;
using testing::ReadFileBytes;
using testing::ReadOggPages;
using Page = testing::OggPage;
using testing::RecordingProgress;
using testing::SamplePath;
using testing::ShellQuote;
using testing::TempFolder;

// The longest Vorbis block; the stream's last granule position trims the rest.
constexpr double kVorbisBlock = 2048;

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

double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (const int16_t v : s) sum += double(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / s.size());
}

class OggOutput : public ::testing::Test {
 protected:
  int Encode(const std::string& source, const std::string& target, InputTypeCode type = kInputWav,
             int runFileNumber = 1) {
    notes = OutputNotes();
    const EncodeContext context{settings, runFileNumber, nullptr, &notes};
    return EncodeOggFile(type, source, target, progress, context);
  }
  void Fixed(int kbps, int rate, int channels) {
    settings.AutoDestOGGEncodingParam = 0;
    settings.OGGBitRate = kbps;
    settings.OGGSampleRate = rate;
    settings.OGGChannels = channels;
  }
  std::string Tone(const std::string& name, int rate, int channels, double seconds, int bits = 16) {
    const std::string path = dir / name;
    EXPECT_TRUE(testing::MakeTone(path, rate, channels, seconds, bits)) << "sox";
    return path;
  }
  void ExpectOgg(const std::string& out, int rate, int channels, int kbps, double sourceSeconds) {
    const testing::StreamProbe p = FfprobeStream(out);
    ASSERT_TRUE(p.ok) << out;
    EXPECT_EQ(p.codec, "vorbis") << out;
    EXPECT_EQ(p.rate, rate) << out;
    EXPECT_EQ(p.channels, channels) << out;
    EXPECT_EQ(p.bitRate, kbps * 1000L) << out;  // the nominal bit rate of the header
    EXPECT_NEAR(p.seconds, sourceSeconds, kVorbisBlock / rate) << out;
    EXPECT_EQ(testing::OgginfoProblems(out), "") << out;
  }

  TempFolder dir;
  Settings settings;
  RecordingProgress progress;
  OutputNotes notes;  // of the last Encode
};

TEST_F(OggOutput, EveryNativeSampleBecomesAValidOggOfTheAutomaticFormat) {
  int checked = 0;
  for (const auto& sample : testing::NativeSamples()) {
    const std::string source = SamplePath(sample.name);
    if (!std::filesystem::exists(source)) continue;
    const int rate = std::stoi(*CommandOutput("soxi -r " + ShellQuote(source)));
    const int channels = std::stoi(*CommandOutput("soxi -c " + ShellQuote(source)));
    const double seconds = std::stod(*CommandOutput("soxi -D " + ShellQuote(source)));
    const std::string out = dir / (std::string(sample.name) + ".ogg");
    ClearFailureNote();
    ASSERT_EQ(Encode(source, out, sample.type), 1) << sample.name << ": " << GetFailureNote();
    const AutoRow row = AutoTable().at(rate);
    ExpectOgg(out, row.rate, channels, channels == 1 ? row.mono : row.stereo, seconds);
    EXPECT_EQ(progress.fileLines.back(), "Converting " + std::string(sample.name) + "...100%");
    std::filesystem::remove(out);
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no samples present";
}

TEST_F(OggOutput, SamplesOfOtherDecodersConvertOnceTheyOpen) {
  int checked = 0;
  for (const auto& sample : testing::DecodedSamples()) {
    const std::string source = SamplePath(sample.name);
    if (!std::filesystem::exists(source) || !testing::FactoryOpens(source, sample.type)) continue;
    const std::string out = dir / (std::string(sample.name) + ".ogg");
    ClearFailureNote();
    ASSERT_EQ(Encode(source, out, sample.type), 1) << sample.name << ": " << GetFailureNote();
    EXPECT_EQ(FfprobeStream(out).codec, "vorbis");
    EXPECT_EQ(testing::OgginfoProblems(out), "") << sample.name;
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no decoder for MP3, FLAC, M4A, WMA or Ogg inputs yet";
}

TEST_F(OggOutput, RatesChannelsAndBitRatesFollowTheOptions) {
  struct Choice {
    const char* name;
    bool automatic;
    int kbps, rate, channels;
  } choices[] = {{"auto", true, 0, 0, 0},
                 {"same", false, 0, 0, 0},
                 {"22k-480-stereo", false, 480, 22050, 2},
                 {"22k-480-mono", false, 480, 22050, 1},
                 {"44k-8-stereo", false, 8, 44100, 2}};
  testing::SweepShare share;
  for (const auto& [sourceRate, row] : AutoTable()) {
    for (int channels : {1, 2}) {
      const std::string source =
          Tone("t" + std::to_string(sourceRate) + "-" + std::to_string(channels) + ".wav",
               sourceRate, channels, 1.0);
      for (const Choice& c : choices) {
        if (!share.Take()) continue;
        settings = Settings();
        if (!c.automatic) Fixed(c.kbps, c.rate, c.channels);
        const std::string name = c.name;
        int rate = row.rate;
        int outChannels = channels;
        int kbps = channels == 1 ? row.mono : row.stereo;
        if (name == "same") {
          rate = sourceRate == 96000 ? 48000 : sourceRate;
        } else if (name == "22k-480-stereo") {
          rate = 22050;
          outChannels = 2;
          kbps = 160;
        } else if (name == "22k-480-mono") {
          rate = 22050;
          outChannels = 1;
          kbps = 80;
        } else if (name == "44k-8-stereo") {
          rate = 44100;
          outChannels = 2;
          kbps = 48;
        }
        const std::string out = dir / (name + ".ogg");
        ClearFailureNote();
        ASSERT_EQ(Encode(source, out), 1) << source << " " << name << ": " << GetFailureNote();
        SCOPED_TRACE(std::to_string(sourceRate) + " Hz, " + std::to_string(channels) + " ch, " +
                     name);
        ExpectOgg(out, rate, outChannels, kbps, 1.0);
        std::filesystem::remove(out);
      }
      std::filesystem::remove(source);
    }
  }
}

TEST_F(OggOutput, TheStreamIsOneLogicalBitstreamWithItsHeadersOnTheirOwnPages) {
  const std::string source = Tone("tone.wav", 44100, 2, 3.0);
  ASSERT_EQ(Encode(source, dir / "a.ogg"), 1);
  ASSERT_EQ(Encode(source, dir / "b.ogg"), 1);
  const std::vector<Page> pages = ReadOggPages(ReadFileBytes(dir / "a.ogg"));
  ASSERT_GE(pages.size(), 3u);
  int first = 0;
  int last = 0;
  for (size_t i = 0; i < pages.size(); ++i) {
    first += (pages[i].flags & 2) != 0;
    last += (pages[i].flags & 4) != 0;
    EXPECT_EQ(pages[i].serial, pages[0].serial);
    EXPECT_EQ(pages[i].sequence, i);
  }
  EXPECT_EQ(first, 1);
  EXPECT_EQ(last, 1);
  EXPECT_EQ(pages.front().flags & 2, 2);
  EXPECT_EQ(pages.back().flags & 4, 4);
  // Page 0: the identification packet alone; then the other two headers, complete, with
  // granule 0; the audio starts on a fresh page.
  EXPECT_EQ(pages[0].lacing, std::vector<uint8_t>{30});
  EXPECT_EQ(pages[1].granule, 0);
  EXPECT_LT(pages[1].lacing.back(), 255);
  EXPECT_EQ(pages[2].flags & 1, 0);
  EXPECT_GT(pages[2].granule, 0);
  EXPECT_EQ(pages.back().granule, 3 * 44100);

  // Two files in a row take consecutive values of the serial sequence.
  const uint32_t serialB = ReadOggPages(ReadFileBytes(dir / "b.ogg")).front().serial;
  OggSerialSequence sequence;
  int previous = sequence.Next();
  bool consecutive = false;
  for (int i = 0; i < 100000 && !consecutive; ++i) {
    const int next = sequence.Next();
    consecutive = static_cast<uint32_t>(previous) == pages[0].serial &&
                  static_cast<uint32_t>(next) == serialB;
    previous = next;
  }
  EXPECT_TRUE(consecutive) << pages[0].serial << " then " << serialB;
}

TEST_F(OggOutput, MonoOutputHearsTheChannelTheUserChose) {
  const std::string source = dir / "left-only.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source +
                            " synth 2 sine 440 vol 0.5 remix 1 0"));
  Fixed(96, 44100, 1);
  std::map<int, double> rms;
  for (int monoType : {0, 1, 2}) {
    settings.MonoType = monoType;
    const std::string out = dir / ("mono" + std::to_string(monoType) + ".ogg");
    ASSERT_EQ(Encode(source, out), 1);
    EXPECT_EQ(FfprobeStream(out).channels, 1);
    rms[monoType] = Rms(*testing::FfmpegDecode16(out));
  }
  EXPECT_GT(rms[1], 8000);
  EXPECT_LT(rms[2], rms[1] * 0.01);
  EXPECT_NEAR(rms[0], rms[1] / 2, rms[1] * 0.05);
}

TEST_F(OggOutput, EightBitSourcePassesTheConverterToSixteenBits) {
  const std::string eight = Tone("eight.wav", 22050, 2, 1.5, 8);
  const std::string sixteen = dir / "sixteen.wav";
  ASSERT_TRUE(CommandOutput("sox -D " + eight + " -b 16 " + sixteen));
  Fixed(64, 22050, 2);
  ASSERT_EQ(Encode(eight, dir / "from8.ogg"), 1);
  ASSERT_EQ(Encode(sixteen, dir / "from16.ogg"), 1);
  const auto a = testing::FfmpegDecode16(dir / "from8.ogg");
  const auto b = testing::FfmpegDecode16(dir / "from16.ogg");
  ASSERT_TRUE(a && b);
  EXPECT_GT(a->size(), 60000u);
  EXPECT_TRUE(*a == *b) << "the same audio apart from the stream serial";
}

TEST_F(OggOutput, GainScalesWhatLibvorbisHears) {
  const std::string source = Tone("tone.wav", 44100, 1, 2.0);
  Fixed(96, 44100, 1);
  ASSERT_EQ(Encode(source, dir / "plain.ogg"), 1);
  settings.AmplifyOGG = 1;
  settings.AmplifyOGGCoeff = 50;
  ASSERT_EQ(Encode(source, dir / "half.ogg"), 1);
  const double plain = Rms(*testing::FfmpegDecode16(dir / "plain.ogg"));
  const double half = Rms(*testing::FfmpegDecode16(dir / "half.ogg"));
  EXPECT_NEAR(half / plain, 0.5, 0.02);
}

TEST_F(OggOutput, ResamplingKeepsTheDuration) {
  const std::string source = Tone("tone.wav", 44100, 2, 3.3);
  for (int rate : {8000, 22050, 48000}) {
    Fixed(64, rate, 2);
    const std::string out = dir / (std::to_string(rate) + ".ogg");
    ASSERT_EQ(Encode(source, out), 1);
    const std::vector<Page> pages = ReadOggPages(ReadFileBytes(out));
    ASSERT_FALSE(pages.empty());
    EXPECT_NEAR(static_cast<double>(pages.back().granule), 3.3 * rate, 3) << rate;
    const auto decoded = CommandOutput("oggdec -Q -R -o - " + ShellQuote(out));
    ASSERT_TRUE(decoded);
    EXPECT_NEAR(static_cast<double>(decoded->size()) / 4, 3.3 * rate, 3) << rate;
  }
}

// ---- comments ----

class OggComments : public OggOutput {
 protected:
  void SetUp() override {
    ASSERT_TRUE(locale.ok()) << "no UTF-8 locale";
    source = dir / "Song.Live.wav";
    ASSERT_TRUE(testing::MakeTone(source, 22050, 1, 0.5));
    settings.OGGID3TagType = 0;
    TagDefaults& t = settings.OggTags;
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
  std::string Comments(const std::string& out) {
    return CommandOutput("vorbiscomment -l " + ShellQuote(out)).value_or("(unreadable)");
  }
  testing::LocaleGuard locale{"C.UTF-8"};
  std::string source;
};

TEST_F(OggComments, AddWritesTheDefaultsInOrderAsUtf8) {
  ASSERT_EQ(Encode(source, dir / "add.ogg"), 1);
  EXPECT_EQ(Comments(dir / "add.ogg"),
            "TITLE=Song.Live\n"
            "ARTIST=Дмитрий Шостакович\n"
            "ALBUM=Symphonie fantastique\n"
            "DATE=1937\n"
            "GENRE=Classical\n"
            "COMMENT=日本語のコメント\n"
            "COMPOSER=Berlioz\n"
            "COPYRIGHT=© Orchestra\n"
            "TRACKNUMBER=7\n");
  testing::StreamProbe p = FfprobeStream(dir / "add.ogg");
  EXPECT_EQ(p.tags["ARTIST"], "Дмитрий Шостакович");
  EXPECT_EQ(testing::OgginfoProblems(dir / "add.ogg"), "");
}

TEST_F(OggComments, EmptyFieldsAndTrackZeroAreLeftOut) {
  settings.OggTags = TagDefaults();
  settings.OggTags.TitleAsFileName = 0;
  settings.OggTags.Artist = "Only me";
  ASSERT_EQ(Encode(source, dir / "sparse.ogg"), 1);
  EXPECT_EQ(Comments(dir / "sparse.ogg"), "ARTIST=Only me\n");
  settings.OggTags.TrackNumType = 1;
  ASSERT_EQ(Encode(source, dir / "third.ogg", kInputWav, 3), 1);
  EXPECT_EQ(Comments(dir / "third.ogg"), "ARTIST=Only me\nTRACKNUMBER=3\n");
}

// Under the C locale (cron jobs, containers) the texts are UTF-8 as anywhere else. A stored
// text with bytes that are no text is written with replacement characters, and the output
// says so; it is never left out.
TEST_F(OggComments, TextsSurviveTheCLocaleAndBadBytesAreReplaced) {
  testing::LocaleGuard ascii("C");
  ASSERT_TRUE(ascii.ok());
  settings.OggTags.Album = "Symphonie \xFF fantastique";
  ASSERT_EQ(Encode(source, dir / "ascii.ogg"), 1);
  EXPECT_EQ(Comments(dir / "ascii.ogg"),
            "TITLE=Song.Live\n"
            "ARTIST=Дмитрий Шостакович\n"
            "ALBUM=Symphonie \uFFFD fantastique\n"
            "DATE=1937\n"
            "GENRE=Classical\n"
            "COMMENT=日本語のコメント\n"
            "COMPOSER=Berlioz\n"
            "COPYRIGHT=© Orchestra\n"
            "TRACKNUMBER=7\n");
  EXPECT_TRUE(notes.tagTextReplaced);
  settings.OggTags.Album = "Symphonie fantastique";
  ASSERT_EQ(Encode(source, dir / "clean.ogg"), 1);
  EXPECT_FALSE(notes.tagTextReplaced);
}

TEST_F(OggComments, NoneAndTransferFromAnUntaggedSourceWriteNoComments) {
  for (int mode : {1, 2}) {
    settings.OGGID3TagType = mode;
    const std::string out = dir / ("mode" + std::to_string(mode) + ".ogg");
    ASSERT_EQ(Encode(source, out), 1);
    EXPECT_EQ(Comments(out), "") << mode;
  }
}

TEST_F(OggComments, TransferFromAnM4aReadsItsMp4MetadataComposerAndTotalIncluded) {
  const std::string m4a = dir / "tagged.m4a";
  ASSERT_TRUE(CommandOutput(
      "ffmpeg -nostdin -v error -f lavfi -i sine=duration=0.5 -c:a aac -metadata title='Ночь' "
      "-metadata artist=A -metadata album=B -metadata date=2004 -metadata genre=Jazz "
      "-metadata comment=C -metadata composer='作曲家' -metadata track=5/9 " +
      ShellQuote(m4a)));
  settings.OGGID3TagType = 1;
  ASSERT_EQ(Encode(m4a, dir / "from-m4a.ogg", kInputM4a), 1) << GetFailureNote();
  EXPECT_EQ(Comments(dir / "from-m4a.ogg"),
            "TITLE=Ночь\nARTIST=A\nALBUM=B\nDATE=2004\nGENRE=Jazz\nCOMMENT=C\n"
            "COMPOSER=作曲家\nTRACKNUMBER=5\nTRACKTOTAL=9\n");
}

// ---- failures ----

TEST_F(OggOutput, CancelHalfWayLeavesNothing) {
  const std::string source = Tone("long.wav", 44100, 2, 10.0);
  progress.onPump = [](RecordingProgress& p) {
    if (p.pumps == 150) p.cancel = true;
  };
  EXPECT_EQ(Encode(source, dir / "out.ogg"), 0);
  EXPECT_EQ(progress.pumps, 150);
  EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\n");
}

TEST_F(OggOutput, AFullDiskFailsTheFileAndLeavesNothing) {
  // Noise, which Vorbis cannot shrink much: a long file fails while it is written, a short
  // one when it is put in place.
  const std::string shortSource = dir / "short.wav";
  const std::string longSource = dir / "long.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + shortSource + " synth 1 whitenoise"));
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + longSource + " synth 30 whitenoise"));
  for (const std::string& source : {shortSource, longSource}) {
    ClearFailureNote();
    int result = -1;
    {
      testing::FileSizeLimit full(8000);
      result = Encode(source, dir / "out.ogg");
    }
    EXPECT_EQ(result, 0) << source;
    EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\nshort.wav\n") << source;
  }
  EXPECT_NE(GetFailureNote().find("the output could not be written ("), std::string::npos)
      << GetFailureNote();
}

TEST_F(OggOutput, AnUnreadableSourceCreatesNothing) {
  testing::WriteFileBytes(dir / "bad.wav", "RIFF....WAVEjunk");
  ClearFailureNote();
  EXPECT_EQ(Encode(dir / "bad.wav", dir / "out.ogg"), 0);
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(testing::ListFolder(dir.path()), "bad.wav\n");
}

// ---- the encoder on its own ----

class VorbisEncoderAlone : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(out.Open(dir / "x.ogg")); }
  TempFolder dir;
  StagedOutput out;
};

TEST_F(VorbisEncoderAlone, RefusesWhatLibvorbisHasNoSetUpFor) {
  VorbisEncoder encoder(out);
  EXPECT_FALSE(encoder.Configure(8000, 2, 480));
  VorbisEncoder unconfigured(out);
  EXPECT_FALSE(unconfigured.WriteHeaders(1));
  const std::vector<int16_t> pcm(1152, 0);
  EXPECT_FALSE(unconfigured.WritePcm(pcm.data(), nullptr, 1152));
  EXPECT_FALSE(unconfigured.Finish());
  EXPECT_EQ(out.Size(), 0u);
}

TEST_F(VorbisEncoderAlone, AnEmptyBlockDoesNotEndTheStreamAndTheEndComesOnce) {
  VorbisEncoder encoder(out);
  ASSERT_TRUE(encoder.Configure(44100, 1, 96));
  ASSERT_TRUE(encoder.WriteHeaders(1234));
  std::vector<int16_t> pcm(1152);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(8000 * std::sin(i * 0.06));
  for (int block = 0; block < 40; ++block) {
    ASSERT_TRUE(encoder.WritePcm(pcm.data(), nullptr, block == 5 ? 0 : 1152)) << block;
  }
  ASSERT_TRUE(encoder.Finish());
  EXPECT_FALSE(encoder.Finish());
  EXPECT_FALSE(encoder.WritePcm(pcm.data(), nullptr, 1152)) << "nothing after the end";
  ASSERT_TRUE(out.Commit(""));
  const std::vector<Page> pages = ReadOggPages(ReadFileBytes(dir / "x.ogg"));
  ASSERT_FALSE(pages.empty());
  int last = 0;
  for (const Page& p : pages) last += (p.flags & 4) != 0;
  EXPECT_EQ(last, 1);
  EXPECT_EQ(pages.front().serial, 1234u);
  EXPECT_EQ(pages.back().granule, 39 * 1152);
  EXPECT_EQ(testing::OgginfoProblems(dir / "x.ogg"), "");
}

TEST_F(VorbisEncoderAlone, StereoNeedsBothChannels) {
  VorbisEncoder encoder(out);
  ASSERT_TRUE(encoder.Configure(44100, 2, 128));
  ASSERT_TRUE(encoder.WriteHeaders(1));
  const std::vector<int16_t> pcm(1152, 0);
  EXPECT_FALSE(encoder.WritePcm(pcm.data(), nullptr, 1152));
  EXPECT_TRUE(encoder.WritePcm(pcm.data(), pcm.data(), 1152));
}

}  // namespace
}  // namespace sonorell
