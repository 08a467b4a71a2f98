#include "engine/encoders/aac/aac_encoder.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <map>

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

constexpr int kAacFrame = 1024;

// One ADTS header as it lies in the file.
struct AdtsFrame {
  int id = 0;  // 0 MPEG-4, 1 MPEG-2
  int layer = 0;
  int protectionAbsent = 0;
  int profile = 0;  // object type - 1
  int rateIndex = 0;
  int channelConfig = 0;
  int length = 0;
  int blocks = 0;
};

// Every frame from the first byte to the last; a stray byte or a broken chain fails.
std::vector<AdtsFrame> ReadAdts(const std::string& bytes) {
  std::vector<AdtsFrame> frames;
  size_t at = 0;
  const auto u = [&](size_t i) { return static_cast<unsigned>(static_cast<uint8_t>(bytes[i])); };
  while (at + 7 <= bytes.size()) {
    if (u(at) != 0xFF || (u(at + 1) & 0xF0) != 0xF0) {
      ADD_FAILURE() << "no ADTS sync at byte " << at;
      return frames;
    }
    AdtsFrame f;
    f.id = (u(at + 1) >> 3) & 1;
    f.layer = (u(at + 1) >> 1) & 3;
    f.protectionAbsent = u(at + 1) & 1;
    f.profile = u(at + 2) >> 6;
    f.rateIndex = (u(at + 2) >> 2) & 0xF;
    f.channelConfig = static_cast<int>(((u(at + 2) & 1) << 2) | (u(at + 3) >> 6));
    f.length = static_cast<int>(((u(at + 3) & 3) << 11) | (u(at + 4) << 3) | (u(at + 5) >> 5));
    f.blocks = u(at + 6) & 3;
    if (f.length < 7) {
      ADD_FAILURE() << "frame length " << f.length << " at byte " << at;
      return frames;
    }
    frames.push_back(f);
    at += static_cast<size_t>(f.length);
  }
  EXPECT_EQ(at, bytes.size()) << "the last frame does not end the file";
  return frames;
}

int RateIndex(int rate) {
  static const std::map<int, int> table{{96000, 0}, {88200, 1}, {64000, 2},  {48000, 3},
                                        {44100, 4}, {32000, 5}, {24000, 6},  {22050, 7},
                                        {16000, 8}, {12000, 9}, {11025, 10}, {8000, 11}};
  return table.at(rate);
}

double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (const int16_t v : s) sum += double(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / s.size());
}

// exiftool's reading of one file as "Tag: value" lines, keys without spaces.
std::map<std::string, std::string> Exiftool(const std::string& path) {
  std::map<std::string, std::string> tags;
  const auto out = CommandOutput("exiftool -s -s -charset utf8 " + ShellQuote(path));
  if (!out) return tags;
  std::istringstream lines(*out);
  std::string line;
  while (std::getline(lines, line)) {
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) tags[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return tags;
}

class AacOutput : public ::testing::Test {
 protected:
  int Encode(const std::string& source, const std::string& target, InputTypeCode type = kInputWav,
             int runFileNumber = 1) {
    const EncodeContext context{settings, runFileNumber};
    ClearFailureNote();
    const std::string extension = target.substr(target.size() - 4);
    const bool mp4 = extension == ".m4a" || extension == ".mp4" || extension == ".m4b";
    return mp4 ? EncodeMp4File(type, source, target, progress, context)
               : EncodeAacFile(type, source, target, progress, context);
  }
  std::string Tone(const std::string& name, int rate, int channels, double seconds, int bits = 16) {
    const std::string path = dir / name;
    EXPECT_TRUE(testing::MakeTone(path, rate, channels, seconds, bits)) << "sox";
    return path;
  }

  TempFolder dir;
  Settings settings;
  RecordingProgress progress;
};

// ---- every sample, every container ----

TEST_F(AacOutput, EverySampleBecomesAacInEachContainerWithItsRateChannelsAndLength) {
  int checked = 0;
  std::vector<testing::NativeSample> samples = testing::NativeSamples();
  for (const auto& s : testing::DecodedSamples()) samples.push_back(s);
  testing::SweepShare share;
  for (const auto& sample : samples) {
    const std::string source = SamplePath(sample.name);
    if (!std::filesystem::exists(source) || !testing::FactoryOpens(source, sample.type)) continue;
    if (!share.Take()) continue;
    const testing::StreamProbe in = FfprobeStream(source);
    ASSERT_TRUE(in.ok) << sample.name;
    const long sourceFrames = testing::FfmpegFrames(source);
    for (const char* extension : {"aac", "m4a", "mp4", "m4b"}) {
      SCOPED_TRACE(std::string(sample.name) + " to " + extension);
      const std::string out = dir / (std::string("out.") + extension);
      ASSERT_EQ(Encode(source, out, sample.type), 1) << GetFailureNote();
      const testing::StreamProbe p = FfprobeStream(out);
      EXPECT_EQ(p.codec, "aac");
      EXPECT_EQ(p.rate, in.rate);
      EXPECT_EQ(p.channels, std::min(in.channels, 2));
      const long frames = testing::FfmpegFrames(out);
      if (std::string(extension) == "aac") {
        // Raw AAC carries no length: the decoder also plays the encoder's delay and the
        // padding of the last frame.
        EXPECT_GE(frames, sourceFrames);
        EXPECT_LE(frames, sourceFrames + 3 * kAacFrame);
        const std::vector<AdtsFrame> adts = ReadAdts(ReadFileBytes(out));
        EXPECT_GE(static_cast<long>(adts.size()) * kAacFrame, sourceFrames);
      } else {
        // MP4 says how much plays: exactly the source, the delay skipped. ffmpeg's decoder
        // skips the delay but plays the last frame whole.
        EXPECT_GE(frames, sourceFrames) << "decoded frames";
        EXPECT_LT(frames, sourceFrames + kAacFrame) << "decoded frames";
        EXPECT_NEAR(p.seconds, static_cast<double>(sourceFrames) / in.rate, 0.5 / in.rate);
        const auto info = CommandOutput(
            "mediainfo --Inform='Audio;%Format%,%SamplingRate%,%Channel(s)%' " + ShellQuote(out));
        ASSERT_TRUE(info);
        EXPECT_EQ(*info, "AAC," + std::to_string(in.rate) + "," +
                             std::to_string(std::min(in.channels, 2)) + "\n");
      }
      std::filesystem::remove(out);
    }
    ++checked;
  }
  if (checked == 0) GTEST_SKIP() << "no samples present";
}

// ---- ADTS headers ----

TEST_F(AacOutput, AdtsHeadersDescribeTheStreamAndFollowTheMpegVersion) {
  struct Case {
    int rate, channels;
    bool automatic;
    int mpegVersion, expectedId;
  } cases[] = {{44100, 2, false, 0, 0}, {44100, 2, false, 1, 1}, {44100, 2, true, 1, 0},
               {22050, 1, false, 1, 1}, {48000, 1, true, 0, 0},  {8000, 2, false, 0, 0},
               {96000, 2, true, 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.rate) + " Hz " + std::to_string(c.channels) + " ch, MPEG-" +
                 (c.mpegVersion ? "2" : "4") + (c.automatic ? ", auto" : ""));
    const std::string source = Tone("in.wav", c.rate, c.channels, 1.5);
    settings = Settings();
    settings.AutoDestAACEncodingParam = c.automatic ? 1 : 0;
    settings.AACMpegVersion = c.mpegVersion;
    ASSERT_EQ(Encode(source, dir / "out.aac"), 1) << GetFailureNote();
    const std::vector<AdtsFrame> frames = ReadAdts(ReadFileBytes(dir / "out.aac"));
    ASSERT_GE(frames.size(), static_cast<size_t>(1.5 * c.rate / kAacFrame));
    for (const AdtsFrame& f : frames) {
      EXPECT_EQ(f.id, c.expectedId);
      EXPECT_EQ(f.layer, 0);
      EXPECT_EQ(f.protectionAbsent, 1);
      EXPECT_EQ(f.profile, 1) << "AAC LC";
      EXPECT_EQ(f.rateIndex, RateIndex(c.rate));
      EXPECT_EQ(f.channelConfig, c.channels);
      EXPECT_EQ(f.blocks, 0);
    }
    EXPECT_EQ(FfprobeStream(dir / "out.aac").codec, "aac");
  }
}

// ---- options ----

TEST_F(AacOutput, AverageBitRateIsSharedOutPerChannelAndQualityModeFollowsTheQuality) {
  const std::string stereo = dir / "noise2.wav";
  const std::string mono = dir / "noise1.wav";
  ASSERT_TRUE(
      CommandOutput("sox -n -r 44100 -c 2 -b 16 " + stereo + " synth 20 pinknoise vol 0.3"));
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 1 -b 16 " + mono + " synth 20 pinknoise vol 0.3"));
  const auto kbpsOf = [&](const std::string& out) {
    return static_cast<double>(std::filesystem::file_size(out)) * 8 / 20 / 1000;
  };
  settings.AutoDestM4AEncodingParam = 0;
  settings.M4AVBR = 0;
  for (const int kbps : {64, 128, 192}) {
    for (const std::string& source : {stereo, mono}) {
      settings.M4AABRBitRate = kbps;
      ASSERT_EQ(Encode(source, dir / "abr.m4a"), 1) << GetFailureNote();
      EXPECT_NEAR(kbpsOf(dir / "abr.m4a"), kbps, kbps * 0.15) << source << " at " << kbps;
    }
  }
  // Quality mode: more quality, more bytes; out-of-range values keep the default.
  settings.M4AVBR = 1;
  std::map<int, double> rates;
  for (const int quality : {9, 50, 100, 300, 501}) {
    settings.M4AVBRQuality = quality;
    ASSERT_EQ(Encode(stereo, dir / "vbr.m4a"), 1) << GetFailureNote();
    rates[quality] = kbpsOf(dir / "vbr.m4a");
  }
  EXPECT_LT(rates[50], rates[100] * 0.9);
  EXPECT_GT(rates[300], rates[100] * 1.2);
  EXPECT_DOUBLE_EQ(rates[9], rates[100]);
  EXPECT_DOUBLE_EQ(rates[501], rates[100]);
}

TEST_F(AacOutput, TnsAndMidSideChoicesAreTakenAndAStoredBlockRestrictionEncodesBothKinds) {
  const std::string source = Tone("in.wav", 44100, 2, 2.0);
  settings.AutoDestAACEncodingParam = 0;
  for (const int tns : {0, 1}) {
    for (const int midside : {0, 1}) {
      settings.AACEnableTNS = tns;
      settings.AACEnableMidside = midside;
      EXPECT_EQ(Encode(source, dir / "out.aac"), 1) << tns << midside << GetFailureNote();
    }
  }
  // The encoder decides block switching itself and the pages no longer offer "No short" or
  // "No long"; one still stored (or any other value) encodes with both kinds of blocks.
  for (const int blockType : {1, 2, 7}) {
    settings.AACBlockType = blockType;
    EXPECT_EQ(Encode(source, dir / "blocks.aac"), 1) << blockType << GetFailureNote();
    EXPECT_TRUE(std::filesystem::exists(dir / "blocks.aac"));
    std::filesystem::remove(dir / "blocks.aac");
  }
  // More than AAC can carry: 6144 bits per channel per frame, 48 kbps for 8000 Hz mono.
  settings.AACBlockType = 0;
  settings.AACVBR = 0;
  settings.AACABRBitRate = 64;
  const std::string narrow = Tone("narrow.wav", 8000, 1, 1.0);
  EXPECT_EQ(Encode(narrow, dir / "narrow.aac"), 0);
  EXPECT_EQ(GetFailureNote(), "AAC cannot carry 64 kbps at 8000 Hz mono; choose at most 48 kbps");
  settings.AACABRBitRate = 48;
  EXPECT_EQ(Encode(narrow, dir / "narrow.aac"), 1) << GetFailureNote();
  // With the automatic flag the stored block type is not applied.
  settings.AACBlockType = 1;
  settings.AutoDestAACEncodingParam = 1;
  EXPECT_EQ(Encode(source, dir / "blocks.aac"), 1) << GetFailureNote();
}

TEST_F(AacOutput, GainScalesTheSoundAndEightBitSourcesArrivePlusMinusFullScale) {
  const std::string source = Tone("in.wav", 44100, 1, 2.0);
  ASSERT_EQ(Encode(source, dir / "plain.m4a"), 1);
  settings.AmplifyM4A = 1;
  settings.AmplifyM4ACoef = 50;
  ASSERT_EQ(Encode(source, dir / "half.m4a"), 1);
  const auto plain = testing::FfmpegDecode16(dir / "plain.m4a");
  const auto half = testing::FfmpegDecode16(dir / "half.m4a");
  ASSERT_TRUE(plain && half);
  EXPECT_NEAR(Rms(*half) / Rms(*plain), 0.5, 0.03);

  const std::string eight = Tone("eight.wav", 22050, 2, 1.0, 8);
  settings = Settings();
  ASSERT_EQ(Encode(eight, dir / "eight.aac"), 1) << GetFailureNote();
  const auto decoded = testing::FfmpegDecode16(dir / "eight.aac");
  const auto original = testing::SoxDecode16(eight);
  ASSERT_TRUE(decoded && original);
  EXPECT_NEAR(Rms(*decoded), Rms(*original), Rms(*original) * 0.05);
}

// ---- MP4 metadata ----

TEST_F(AacOutput, AddModeWritesEveryTagInEachFlavourNonLatinIncluded) {
  testing::LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  const std::string source = Tone("песня.wav", 44100, 2, 1.0);
  settings.M4AID3TagType = 0;
  TagDefaults& t = settings.M4aTags;
  t.TitleAsFileName = 0;
  t.TrackNumType = 2;
  t.CustomTrackNum = 7;
  t.Title = "Зимний вечер";
  t.Artist = "坂本龍一";
  t.Album = "Ελληνικά";
  t.Year = "1999";
  t.Genre = "Ambient";
  t.Comment = "ça va";
  t.Composer = "Пётр Чайковский";
  t.Copyright = "(c) nobody";
  for (const char* extension : {"m4a", "mp4", "m4b"}) {
    SCOPED_TRACE(extension);
    const std::string out = dir / (std::string("tagged.") + extension);
    ASSERT_EQ(Encode(source, out), 1) << GetFailureNote();
    const testing::StreamProbe p = FfprobeStream(out);
    EXPECT_EQ(p.tags.at("TITLE"), t.Title);
    EXPECT_EQ(p.tags.at("ARTIST"), t.Artist);
    EXPECT_EQ(p.tags.at("ALBUM"), t.Album);
    EXPECT_EQ(p.tags.at("DATE"), "1999");
    EXPECT_EQ(p.tags.at("GENRE"), "Ambient");
    EXPECT_EQ(p.tags.at("COMMENT"), t.Comment);
    EXPECT_EQ(p.tags.at("COMPOSER"), t.Composer);
    EXPECT_EQ(p.tags.at("TRACK").substr(0, 1), "7");
    EXPECT_EQ(p.tags.count("COPYRIGHT"), 0u) << "copyright is never written";
    auto exif = Exiftool(out);
    EXPECT_EQ(exif["Title"], t.Title);
    EXPECT_EQ(exif["Artist"], t.Artist);
    EXPECT_EQ(exif["Album"], t.Album);
    EXPECT_EQ(exif["Composer"], t.Composer);
    EXPECT_EQ(exif["Comment"], t.Comment);
    EXPECT_EQ(exif["ContentCreateDate"], "1999");
    EXPECT_EQ(exif["Genre"], "Ambient");
    EXPECT_EQ(exif["TrackNumber"].substr(0, 1), "7");
    const std::string brand = exif["MajorBrand"];
    if (std::string(extension) == "m4b") {
      EXPECT_NE(brand.find("M4B"), std::string::npos) << brand;
      EXPECT_EQ(exif["MediaType"], "Audiobook");
    } else if (std::string(extension) == "m4a") {
      EXPECT_NE(brand.find("M4A"), std::string::npos) << brand;
    } else {
      EXPECT_EQ(brand.find("M4"), std::string::npos) << brand;
    }
  }
}

TEST_F(AacOutput, TransferCopiesTheTagsOfAnMp4SourceAndNoneWritesNone) {
  testing::LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  const std::string source = dir / "tagged-source.m4a";
  ASSERT_TRUE(CommandOutput(
      "ffmpeg -nostdin -v error -f lavfi -i sine=frequency=440:duration=1 -c:a aac "
      "-metadata title='Ночь' -metadata artist=Artist -metadata album=Album -metadata date=2001 "
      "-metadata genre=Jazz -metadata comment=Remark -metadata composer='作曲家' -metadata "
      "track=4/9 "
      "-metadata copyright=Owner " +
      source));
  settings.M4AID3TagType = 1;
  ASSERT_EQ(Encode(source, dir / "copy.m4a", kInputM4a), 1) << GetFailureNote();
  testing::StreamProbe p = FfprobeStream(dir / "copy.m4a");
  EXPECT_EQ(p.tags["TITLE"], "Ночь");
  EXPECT_EQ(p.tags["ARTIST"], "Artist");
  EXPECT_EQ(p.tags["ALBUM"], "Album");
  EXPECT_EQ(p.tags["DATE"], "2001");
  EXPECT_EQ(p.tags["GENRE"], "Jazz");
  EXPECT_EQ(p.tags["COMMENT"], "Remark");
  EXPECT_EQ(p.tags["COMPOSER"], "作曲家");
  EXPECT_EQ(p.tags["TRACK"].substr(0, 1), "4");
  EXPECT_EQ(p.tags.count("COPYRIGHT"), 0u);

  settings.M4AID3TagType = 2;
  ASSERT_EQ(Encode(source, dir / "bare.m4a", kInputM4a), 1);
  testing::StreamProbe bare = FfprobeStream(dir / "bare.m4a");
  for (const char* key : {"TITLE", "ARTIST", "ALBUM", "COMMENT", "COMPOSER", "TRACK"}) {
    EXPECT_EQ(bare.tags.count(key), 0u) << key;
  }
}

// ---- failures ----

TEST_F(AacOutput, RatesTheEncoderCannotTakeFailWithAReasonAndLeaveNothing) {
  for (const int rate : {44000, 192000, 6000}) {
    const std::string source = Tone("odd" + std::to_string(rate) + ".wav", rate, 2, 0.5);
    for (const char* target : {"out.aac", "out.m4a"}) {
      EXPECT_EQ(Encode(source, dir / target), 0) << rate << " " << target;
      EXPECT_NE(GetFailureNote().find(std::to_string(rate) + " Hz"), std::string::npos)
          << GetFailureNote();
    }
    std::filesystem::remove(source);
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), "");
}

TEST_F(AacOutput, CancelAndAFullDiskLeaveNoOutputAndKeepAnOldTarget) {
  const std::string source = dir / "long.wav";
  ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source + " synth 30 whitenoise"));
  for (const char* target : {"old.aac", "old.m4a"}) {
    testing::WriteFileBytes(dir / target, "the user's old file");
    progress = RecordingProgress();
    progress.onPump = [](RecordingProgress& p) { p.cancel = p.pumps == 1; };
    EXPECT_EQ(Encode(source, dir / target), 0) << target;
    EXPECT_EQ(progress.pumps, 1);
    progress = RecordingProgress();
    {
      testing::FileSizeLimit full(200'000);
      EXPECT_EQ(Encode(source, dir / target), 0) << target;
    }
    EXPECT_EQ(ReadFileBytes(dir / target), "the user's old file") << target;
  }
  EXPECT_EQ(testing::ListFolder(dir.path()), "long.wav\nold.aac\nold.m4a\n");
}

TEST_F(AacOutput, DamagedAndMissingSourcesCreateNothing) {
  testing::WriteFileBytes(dir / "bad.wav", "RIFF....WAVEjunk");
  EXPECT_EQ(Encode(dir / "bad.wav", dir / "out.m4a"), 0);
  EXPECT_FALSE(GetFailureNote().empty());
  EXPECT_EQ(Encode(dir / "missing.wav", dir / "out.aac"), 0);
  EXPECT_EQ(testing::ListFolder(dir.path()), "bad.wav\n");
}

TEST_F(AacOutput, VeryShortSourcesStillGiveAPlayableFile) {
  // Less than one encoder frame, and exactly one.
  for (const int frames : {100, 1024}) {
    const std::string source = dir / ("short" + std::to_string(frames) + ".wav");
    ASSERT_TRUE(CommandOutput("sox -n -r 44100 -c 2 -b 16 " + source + " synth " +
                              std::to_string(frames) + "s sine 440"));
    const long made = testing::SoxFrames(source);  // sox's own count of what it made
    ASSERT_GT(made, 0);
    ASSERT_EQ(Encode(source, dir / "short.m4a"), 1) << GetFailureNote();
    EXPECT_GE(testing::FfmpegFrames(dir / "short.m4a"), made);
    EXPECT_NEAR(FfprobeStream(dir / "short.m4a").seconds, made / 44100.0, 0.5 / 44100);
    ASSERT_EQ(Encode(source, dir / "short.aac"), 1) << GetFailureNote();
    // Two or three frames are too few for ffmpeg to recognise raw ADTS by probing.
    const auto raw = CommandOutput("ffmpeg -nostdin -v error -f aac -i " +
                                   ShellQuote(dir / "short.aac") + " -f s16le -ac 1 -");
    ASSERT_TRUE(raw);
    EXPECT_GE(static_cast<long>(raw->size() / 2), made);
    EXPECT_EQ(ReadAdts(ReadFileBytes(dir / "short.aac")).size(), 2u);
  }
}

}  // namespace
}  // namespace sonorell
