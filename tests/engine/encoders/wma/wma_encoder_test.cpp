#include "engine/encoders/wma/wma_encoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/encoders/wma/build_profile_list.h"
#include "engine/encoders/wma/wma_file_writer.h"
#include "engine/jobs/input_types.h"
#include "engine/sources/failure_note.h"
#include "platform/wmf/wm_runtime.h"
#include "tests/engine/encoders/compressed_output.h"
#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/platform/amr/amr_frames.h"
#include "tests/platform/wmf/asf_files.h"
#include "tests/support/decoding.h"
#include "tests/support/no_wm_runtime.h"
#include "tests/support/recording_progress.h"
#include "tests/support/sweep_share.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

namespace wm = platform::wm;
using testing::FfprobeStream;
using testing::ListFolder;
using testing::RecordingProgress;
using testing::SamplePath;
using testing::TempFolder;
using testing::ToneEnergy;

// ---- the codec list, the attributes, the time stamps and the decision ----

TEST(WmaCodecFormats, AudioVideoFormatsOtherCodecsAndSurroundAreLeftOut) {
  const wm::WM_MEDIA_TYPE standard = wm::WmaCodecMediaType(0x0161, 2, 44100, 128000);
  EXPECT_TRUE(AdmitsCodecFormat(u"128 kbps, 44 kHz, stereo 1-pass CBR", standard));
  EXPECT_FALSE(AdmitsCodecFormat(u"64 kbps, 44 kHz, stereo (A/V) 1-pass CBR", standard));
  EXPECT_FALSE(AdmitsCodecFormat(u"64 kbps, 44 kHz, stereo (a/v) 1-pass CBR", standard));
  wm::WM_MEDIA_TYPE pro = standard;
  pro.subtype = wm::WaveFormatSubtype(0x0162);
  EXPECT_TRUE(AdmitsCodecFormat(u"Pro", pro));
  pro.wave.nChannels = 6;
  EXPECT_FALSE(AdmitsCodecFormat(u"Pro 5.1", pro));
  EXPECT_FALSE(AdmitsCodecFormat(u"v1", wm::WmaCodecMediaType(0x0160, 2, 44100, 64000)));
  wm::WM_MEDIA_TYPE lossless = standard;
  lossless.subtype = wm::WaveFormatSubtype(0x0163);
  EXPECT_FALSE(AdmitsCodecFormat(u"Lossless", lossless));
}

TEST(WmaCodecFormats, ListFromTheRuntimeIsOrderedAndHasTheAutomaticChoices) {
  ASSERT_TRUE(platform::LoadWmRuntime());
  WmaProfileList list;
  list.Insert({{0x0161, 2, 8000, 16}, 1});
  ASSERT_TRUE(BuildProfileList(list));
  ASSERT_FALSE(list.Empty());
  const auto entries = list.Entries();
  EXPECT_EQ(std::count(entries.begin(), entries.end(), WmaProfileEntry{{0x0161, 2, 8000, 16}, 1}),
            0)
      << "rebuilding starts afresh";
  for (size_t i = 1; i < entries.size(); ++i) {
    const auto& a = entries[i - 1];
    const auto& b = entries[i];
    EXPECT_TRUE(a.format.sampleRate < b.format.sampleRate ||
                (a.format.sampleRate == b.format.sampleRate && a.bitRate <= b.bitRate))
        << i;
    EXPECT_FALSE(a == b);
  }
  for (const auto& e : entries) EXPECT_EQ(e.format.formatTag, 0x0161);
  // Every automatic choice finds its exact encoding.
  for (const int rate : {8000, 16000, 22050, 32000, 44100, 48000}) {
    for (const int channels : {1, 2}) {
      const WmaWanted w = AutoWmaWanted(rate, channels);
      const auto chosen = SelectProfile(list, w);
      ASSERT_TRUE(chosen) << rate << "/" << channels;
      EXPECT_EQ(chosen->format.channels, channels);
      if (w.bitRate >= 24000) {
        EXPECT_EQ(chosen->format.sampleRate, w.sampleRate);
        EXPECT_EQ(chosen->bitRate, w.bitRate) << rate << "/" << channels;
      }
    }
  }
}

TEST(WmaCodecFormats, WithoutTheRuntimeTheListStaysEmpty) {
  const testing::NoWmRuntime absent;
  if (platform::WmRuntimeLoaded()) GTEST_SKIP() << "the runtime was loaded earlier in this process";
  WmaProfileList list;
  list.Insert({{0x0161, 2, 44100, 16}, 128000});
  EXPECT_FALSE(BuildProfileList(list));
  EXPECT_TRUE(list.Empty());
  TempFolder dir;
  RecordingProgress progress;
  Settings s;
  ClearFailureNote();
  EXPECT_EQ(EncodeWmaFile(kInputWav, SamplePath("chord-16bit.wav"), dir / "x.wma", progress,
                          EncodeContext{s, 1}),
            0);
  EXPECT_EQ(ListFolder(dir.path()), "");
}

TEST(WmaAttributes, TenInTheirOrderWithTerminatorsAndANumericTrack) {
  TagRecord empty;
  const auto attributes = WmaHeaderAttributes(empty);
  const std::vector<std::u16string> names{
      u"Title",    u"Author",         u"WM/AlbumArtist", u"Description", u"WM/AlbumTitle",
      u"WM/Genre", u"WM/TrackNumber", u"WM/Year",        u"WM/Composer", u"Copyright"};
  ASSERT_EQ(attributes.size(), names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(attributes[i].name, names[i]);
    if (names[i] == u"WM/TrackNumber") {
      EXPECT_EQ(attributes[i].type, wm::WMT_TYPE_DWORD);
      EXPECT_EQ(attributes[i].value, (std::vector<uint8_t>{0, 0, 0, 0}));
    } else {
      EXPECT_EQ(attributes[i].type, wm::WMT_TYPE_STRING);
      EXPECT_EQ(attributes[i].value, (std::vector<uint8_t>{0, 0})) << "the terminator alone";
    }
  }
  TagRecord tags;
  tags.artist = "Ab";
  tags.track = "258/300";
  const auto filled = WmaHeaderAttributes(tags);
  EXPECT_EQ(filled[1].value, (std::vector<uint8_t>{'A', 0, 'b', 0, 0, 0}));
  EXPECT_EQ(filled[2].value, filled[1].value);
  EXPECT_EQ(filled[6].value, (std::vector<uint8_t>{2, 1, 0, 0}));
  EXPECT_TRUE(WmaHeaderAttributes(std::nullopt).empty());
}

TEST(WmaTimeStamps, EachBlockAddsItsTruncatedDuration) {
  EXPECT_EQ(WmaBlockDuration(1152, 44100), 261224u);
  EXPECT_EQ(WmaBlockDuration(1152, 48000), 240000u);
  EXPECT_EQ(WmaBlockDuration(1, 44100), 226u);
  EXPECT_EQ(WmaBlockDuration(0, 44100), 0u);
  EXPECT_EQ(WmaBlockDuration(1152, 0), 0u);
}

TEST(WmaDecision, ChannelIsPickedOnlyWhenFewerAreWantedAndMonoTypePicks) {
  Settings s;
  s.AutoDestWMAEncodingParam = 0;
  s.WMASampleRate = 32000;
  s.WMABitRate = 48000;
  s.WMAChannels = 1;
  const PcmFormat stereo{44100, 2, 16};
  s.MonoType = 2;
  WmaDecision d = DecideWma(s, stereo);
  EXPECT_EQ(d.wanted, (WmaWanted{32000, 48000, 1}));
  EXPECT_EQ(d.plan.output.channels, 1);
  EXPECT_EQ(d.plan.pickedChannel, 2);
  EXPECT_EQ(d.plan.output.rate, 44100) << "the runtime converts the rate";
  EXPECT_FALSE(d.plan.convert);
  s.MonoType = 0;
  d = DecideWma(s, stereo);
  EXPECT_EQ(d.plan.output.channels, 2) << "the runtime reduces the channels";
  EXPECT_FALSE(d.plan.convert);
  s.AutoDestWMAEncodingParam = 1;
  s.MonoType = 1;
  d = DecideWma(s, stereo);
  EXPECT_EQ(d.wanted, (WmaWanted{44100, 128000, 2}));
  EXPECT_EQ(d.plan.output.channels, 2);
  d = DecideWma(s, PcmFormat{8000, 1, 8});
  EXPECT_EQ(d.wanted, (WmaWanted{22050, 20000, 1}));
  EXPECT_EQ(d.plan.output.bits, 8) << "8-bit goes to the runtime as it is";
  s.AmplifyWMA = 1;
  s.AmplifyWMACoeff = 50;
  d = DecideWma(s, stereo);
  EXPECT_TRUE(d.plan.gain);
  EXPECT_FLOAT_EQ(d.plan.gainFactor, 0.5f);
}

// ---- whole files ----

class WmaOutput : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!testing::ToolAvailable("ffmpeg") || !testing::ToolAvailable("sox")) {
      GTEST_SKIP() << "ffmpeg and sox are needed";
    }
    ASSERT_TRUE(platform::LoadWmRuntime());
    BuildProfileList(SharedWmaProfileList());
    settings.WMAID3TagType = 2;  // no tags unless a test asks
  }
  int Encode(const std::string& source, const std::string& target, InputTypeCode type = kInputWav) {
    ClearFailureNote();
    return EncodeWmaFile(type, source, target, progress, EncodeContext{settings, 3});
  }
  void Fixed(int rate, int bitRate, int channels) {
    settings.AutoDestWMAEncodingParam = 0;
    settings.WMASampleRate = rate;
    settings.WMABitRate = bitRate;
    settings.WMAChannels = channels;
  }
  TempFolder dir;
  Settings settings;
  RecordingProgress progress;
};

TEST_F(WmaOutput, EverySampleConvertsForSeveralEncodingsOfTheList) {
  const struct {
    int rate, bitRate, channels;
  } encodings[] = {{44100, 128000, 2}, {22050, 32000, 1}, {48000, 192000, 2}, {16000, 24000, 1}};
  testing::SweepShare share;
  int converted = 0;
  for (const char* name : {"chord-16bit.wav", "chord.flac", "chord.mp3", "chord.wma",
                           "speech-mono-48k.wav", "chord-ulaw.au", "clip-with-video.mp4"}) {
    if (!std::filesystem::exists(SamplePath(name))) continue;
    const std::string source = SamplePath(name);
    const double sourceSeconds = testing::FfprobeSeconds(source);
    for (const auto& e : encodings) {
      if (!share.Take()) continue;
      SCOPED_TRACE(std::string(name) + " " + std::to_string(e.rate) + " " +
                   std::to_string(e.bitRate) + " " + std::to_string(e.channels));
      Fixed(e.rate, e.bitRate, e.channels);
      const std::string out = dir / "out.wma";
      ASSERT_EQ(Encode(source, out, InputTypeForPath(source)), 1) << GetFailureNote();
      const auto probe = FfprobeStream(out);
      ASSERT_TRUE(probe.ok);
      EXPECT_EQ(probe.codec, "wmav2");
      EXPECT_EQ(probe.rate, e.rate);
      EXPECT_EQ(probe.channels, e.channels);
      EXPECT_EQ(probe.bitRate, e.bitRate);
      EXPECT_NEAR(testing::FfprobeSeconds(out), sourceSeconds, 0.1);
      ++converted;
    }
  }
  if (converted == 0) GTEST_SKIP() << "no sample recordings here";
  EXPECT_EQ(ListFolder(dir.path()), "out.wma\n");
}

TEST_F(WmaOutput, AddModeWritesEveryAttributeThatOtherProgramsRead) {
  const testing::LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  const std::string source = dir / "tone.wav";
  ASSERT_TRUE(testing::MakeTone(source, 44100, 2, 1.0));
  settings.WMAID3TagType = 0;
  TagDefaults& t = settings.WmaTags;
  t.TitleAsFileName = 0;
  t.Title = "Песня";
  t.Artist = "歌手";
  t.Album = "Album ü";
  t.Year = "2026";
  t.Genre = "Jazz";
  t.Comment = "A comment";
  t.Composer = "Composer";
  t.Copyright = "Copyright";
  t.TrackNumType = 1;  // the run's file number, 3 here
  const std::string out = dir / "tags.wma";
  ASSERT_EQ(Encode(source, out), 1) << GetFailureNote();
  auto probe = FfprobeStream(out);
  EXPECT_EQ(probe.tags["TITLE"], "Песня");
  EXPECT_EQ(probe.tags["ARTIST"], "歌手");
  EXPECT_EQ(probe.tags["ALBUM_ARTIST"], "歌手");
  EXPECT_EQ(probe.tags["ALBUM"], "Album ü");
  EXPECT_EQ(probe.tags["GENRE"], "Jazz");
  EXPECT_EQ(probe.tags["COMMENT"], "A comment");
  EXPECT_EQ(probe.tags["COMPOSER"], "Composer");
  EXPECT_EQ(probe.tags["COPYRIGHT"], "Copyright");
  EXPECT_EQ(probe.tags["WM/YEAR"], "2026");
  EXPECT_EQ(probe.tags["TRACK"], "3");
  if (testing::ToolAvailable("exiftool")) {
    const auto exif =
        testing::CommandOutput("exiftool -s -TrackNumber -Year -Title " + testing::ShellQuote(out));
    ASSERT_TRUE(exif);
    EXPECT_NE(exif->find("TrackNumber                     : 3"), std::string::npos) << *exif;
    EXPECT_NE(exif->find("Песня"), std::string::npos) << *exif;
  }
  // Our own reader gives the same tags back, the track as a number.
  auto back = CreateAudioSource(out, kInputWindowsMedia, 0, true);
  ASSERT_TRUE(back);
  std::string ti, ar, al, ye, ge, co, tr, cm, cp;
  back->ReadTags(ti, ar, al, ye, ge, co, tr, cm, cp);
  EXPECT_EQ(ti, "Песня");
  EXPECT_EQ(tr, "3");
  EXPECT_EQ(ye, "2026");
}

TEST_F(WmaOutput, TransferModeCarriesTheSourcesTags) {
  SONORELL_REQUIRE_SAMPLE("chord.wma");
  settings.WMAID3TagType = 1;
  const std::string out = dir / "t.wma";
  ASSERT_EQ(Encode(SamplePath("chord.wma"), out, kInputWindowsMedia), 1) << GetFailureNote();
  auto probe = FfprobeStream(out);
  EXPECT_EQ(probe.tags["TITLE"], "Chord WMA");
  EXPECT_EQ(probe.tags["ARTIST"], "Sample Artist");
}

TEST_F(WmaOutput, MonoTypeTwoGivesTheRightChannelAlone) {
  const std::string source = dir / "lr.wav";
  ASSERT_TRUE(testing::MakeTone(source, 44100, 2, 2.0));  // 440 Hz left, 660 Hz right
  Fixed(44100, 48000, 1);
  settings.MonoType = 2;
  ASSERT_EQ(Encode(source, dir / "right.wma"), 1) << GetFailureNote();
  settings.MonoType = 1;
  ASSERT_EQ(Encode(source, dir / "left.wma"), 1) << GetFailureNote();
  const auto right = testing::FfmpegDecode16(dir / "right.wma");
  const auto left = testing::FfmpegDecode16(dir / "left.wma");
  ASSERT_TRUE(right && left);
  EXPECT_EQ(FfprobeStream(dir / "right.wma").channels, 1);
  EXPECT_GT(ToneEnergy(*right, 44100, 660), 20 * ToneEnergy(*right, 44100, 440));
  EXPECT_GT(ToneEnergy(*left, 44100, 440), 20 * ToneEnergy(*left, 44100, 660));
}

TEST_F(WmaOutput, SoundIsKeptFromItsFirstToItsLastSample) {
  const std::string source = dir / "burst.wav";
  // Silence, a 50 ms burst at 0.25 s, silence to 1 s.
  ASSERT_TRUE(testing::CommandOutput("sox -n -r 44100 -c 1 -b 16 " + testing::ShellQuote(source) +
                                     " synth 0.05 sine 1000 vol 0.6 pad 0.25 0.70"));
  Fixed(44100, 64000, 1);
  ASSERT_EQ(Encode(source, dir / "b.wma"), 1) << GetFailureNote();
  const auto pcm = testing::FfmpegDecode16(dir / "b.wma");
  ASSERT_TRUE(pcm);
  EXPECT_GE(pcm->size(), 44100u);
  const auto loud = std::find_if(pcm->begin(), pcm->end(), [](int16_t v) { return v > 8000; });
  ASSERT_NE(loud, pcm->end());
  EXPECT_NEAR(static_cast<double>(loud - pcm->begin()), 0.25 * 44100, 64);
}

TEST_F(WmaOutput, NoEncodingWithTheWantedChannelsCreatesNoFile) {
  WmaProfileList& list = SharedWmaProfileList();
  list.Clear();
  list.Insert({{0x0161, 1, 44100, 16}, 48000});
  list.Insert({{0x0161, 1, 22050, 16}, 32000});
  Fixed(44100, 128000, 2);
  const std::string source = dir / "st.wav";
  ASSERT_TRUE(testing::MakeTone(source, 44100, 2, 0.5));
  EXPECT_EQ(Encode(source, dir / "none.wma"), 0);
  EXPECT_NE(GetFailureNote().find("no stereo WMA encoding"), std::string::npos) << GetFailureNote();
  EXPECT_EQ(ListFolder(dir.path()), "st.wav\n");
  BuildProfileList(list);
}

TEST_F(WmaOutput, WriteFailuresAndCancelLeaveNothingBehind) {
  const std::string source = dir / "long.wav";
  ASSERT_TRUE(testing::MakeTone(source, 44100, 2, 20.0));
  TempFolder out;
  {
    // The disk fills up while the file is written.
    const testing::FileSizeLimit limit(64 * 1024);
    EXPECT_EQ(Encode(source, out / "full.wma"), 0);
  }
  EXPECT_EQ(ListFolder(out.path()), "");
  // An existing target survives a failure untouched.
  testing::WriteFileBytes(out / "keep.wma", "old");
  {
    const testing::FileSizeLimit limit(64 * 1024);
    EXPECT_EQ(Encode(source, out / "keep.wma"), 0);
  }
  EXPECT_EQ(testing::ReadFileBytes(out / "keep.wma"), "old");
  EXPECT_EQ(ListFolder(out.path()), "keep.wma\n");
  EXPECT_EQ(Encode(source, "/nonexistent/sonorell/x.wma"), 0);
  int pumps = 0;
  progress.onPump = [&](RecordingProgress& p) { p.cancel = ++pumps > 3; };
  EXPECT_EQ(Encode(source, out / "cancel.wma"), 0);
  EXPECT_EQ(ListFolder(out.path()), "keep.wma\n");
}

}  // namespace
}  // namespace sonorell
