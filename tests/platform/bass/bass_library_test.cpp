#include "platform/bass/bass.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "platform/bass/cd_channel.h"
#include "platform/bass/id3_blocks.h"
#include "platform/bass/plugin_families.h"
#include "tests/platform/bass/synth_files.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform {
namespace {

using sonorell::testing::CommandOutput;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::SamplePath;
using sonorell::testing::ShellQuote;
using sonorell::testing::TempFolder;
using sonorell::testing::WriteFileBytes;

constexpr char kSoundFont[] = "/usr/share/sounds/sf2/TimGM6mb.sf2";
constexpr QWORD kNoPosition = static_cast<QWORD>(-1);
constexpr DWORD kNoData = static_cast<DWORD>(-1);

const char* const kPluginNames[] = {"basscd.dll",   "bassflac.dll", "basswma.dll",   "basswv.dll",
                                    "bass_aac.dll", "bass_adx.dll", "bass_alac.dll", "bass_ape.dll",
                                    "bass_mpc.dll", "bass_spx.dll", "bass_tta.dll"};

// Every test starts with the library freshly initialised on the no-sound device and no
// default sound font, and leaves it initialised again, as the test program started it.
class BassLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    BASS_Free();
    BASS_PluginFree(0);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    ASSERT_TRUE(BASS_MIDI_StreamSetFonts(0, nullptr, 0));
  }
  void TearDown() override {
    BASS_MIDI_StreamSetFonts(0, nullptr, 0);
    BASS_Free();
    BASS_PluginFree(0);
    BASS_Init(0, 44100, 0, nullptr, nullptr);
  }

  // Sets the General MIDI font as the default of new MIDI streams.
  HSOUNDFONT UseSoundFont() {
    const HSOUNDFONT font = BASS_MIDI_FontInit(kSoundFont, 0);
    EXPECT_NE(font, 0u) << BASS_ErrorGetCode();
    const BASS_MIDI_FONT entry{font, -1, 0};
    EXPECT_TRUE(BASS_MIDI_StreamSetFonts(0, &entry, 1));
    return font;
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = folder_ / name;
    WriteFileBytes(path, bytes);
    return path;
  }

  TempFolder folder_;
};

// Pulls a channel to its end in odd-sized requests; the interleaved 16-bit samples.
std::vector<int16_t> Drain(DWORD handle, DWORD request = 4000) {
  std::vector<int16_t> all;
  std::vector<uint8_t> buffer(request);
  for (int guard = 0; guard < 10'000'000; ++guard) {
    const DWORD got = BASS_ChannelGetData(handle, buffer.data(), request);
    if (got == kNoData) break;
    EXPECT_GT(got, 0u) << "no progress";
    if (got == 0) break;
    const size_t at = all.size();
    all.resize(at + got / 2);
    std::memcpy(all.data() + at, buffer.data(), got);
  }
  return all;
}

double Peak(const std::vector<int16_t>& samples) {
  int peak = 0;
  for (const int16_t s : samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  return peak;
}

std::optional<double> FfprobeSeconds(const std::string& path) {
  const auto out = CommandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 " +
                                 ShellQuote(path));
  if (!out || out->empty()) return std::nullopt;
  return std::stod(*out);
}

// ---- Start-up and shut-down --------------------------------------------------------------

TEST(BassStartUp, ReportsVersionTwoPointFour) {
  EXPECT_EQ(BASS_GetVersion() >> 16, 0x0204u);
}

TEST(BassStartUp, InitialisesOnlyTheNoSoundDeviceAndOnlyOnce) {
  BASS_Free();  // the test program started it
  EXPECT_FALSE(BASS_Init(1, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DEVICE);
  EXPECT_FALSE(BASS_Free());
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_OK);
  EXPECT_FALSE(BASS_Init(0, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
  EXPECT_TRUE(BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, 0));
  EXPECT_FALSE(BASS_SetConfig(12345, 0));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLTYPE);
  EXPECT_TRUE(BASS_Free());
  BASS_Init(0, 44100, 0, nullptr, nullptr);
}

TEST(BassStartUp, CreatesNothingBeforeInitialisation) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const std::string path = SamplePath("chord.flac");
  BASS_Free();
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT);
  BASS_Init(0, 44100, 0, nullptr, nullptr);
}

TEST_F(BassLibrary, FreeReleasesEveryChannel) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const std::string path = SamplePath("chord.flac");
  const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  ASSERT_TRUE(BASS_Free());
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), kNoPosition);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
}

TEST_F(BassLibrary, LastErrorBelongsToTheCallingThread) {
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, "/nonexistent/file.flac", 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  int other = -2;
  std::thread([&] {
    BASS_ChannelGetLength(987654, BASS_POS_BYTE);
    other = BASS_ErrorGetCode();
  }).join();
  EXPECT_EQ(other, BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

// ---- Plug-ins ------------------------------------------------------------------------------

TEST_F(BassLibrary, EachPluginNameStandsForADecoderFamilyWhateverTheFolder) {
  std::set<HPLUGIN> handles;
  for (const char* name : kPluginNames) {
    const std::string path = std::string("/no/such/folder/addons/") + name;
    const HPLUGIN plugin = BASS_PluginLoad(path.c_str(), 0);
    const int family = bass::PluginFamily(path);
    ASSERT_GE(family, 0) << name;
    if (bass::FamilyAvailable(family)) {
      EXPECT_NE(plugin, 0u) << name;
      handles.insert(plugin);
    } else {
      EXPECT_EQ(plugin, 0u) << name;
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL) << name;
    }
  }
  EXPECT_EQ(handles.count(0), 0u);
  // This build's FFmpeg has every family's demuxer and decoder.
  EXPECT_EQ(handles.size(), std::size(kPluginNames));
  EXPECT_EQ(BASS_PluginLoad("C:\\Program Files\\Sonorell\\addons\\BASSFLAC.DLL", 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
  EXPECT_TRUE(BASS_PluginFree(0));
  EXPECT_NE(BASS_PluginLoad("BASSFLAC.DLL", 0), 0u);
}

TEST_F(BassLibrary, UnknownPluginIsRefused) {
  EXPECT_EQ(BASS_PluginLoad("/opt/addons/bass_fx.dll", 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  EXPECT_EQ(BASS_PluginLoad(nullptr, 0), 0u);
  EXPECT_FALSE(BASS_PluginFree(424242));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

TEST_F(BassLibrary, OnePluginCanBeFreedAlone) {
  const HPLUGIN flac = BASS_PluginLoad("bassflac.dll", 0);
  const HPLUGIN wv = BASS_PluginLoad("basswv.dll", 0);
  ASSERT_NE(flac, 0u);
  ASSERT_NE(wv, 0u);
  EXPECT_TRUE(BASS_PluginFree(flac));
  EXPECT_FALSE(BASS_PluginFree(flac));
  EXPECT_EQ(BASS_PluginLoad("basswv.dll", 0), 0u);  // still loaded
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
}

// ---- Streams ---------------------------------------------------------------------------------

TEST_F(BassLibrary, RefusesWhatADecodingChannelCannotGive) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const std::string path = SamplePath("chord.flac");
  const char* p = path.c_str();
  EXPECT_EQ(BASS_StreamCreateFile(TRUE, p, 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, p, 0, 0, 0), 0u);  // a playing channel
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, p, 0, 0, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, p, 100, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, nullptr, 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, folder_.path().c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

TEST_F(BassLibrary, HandlesAreSmallDistinctAndDeadOnceFreed) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const std::string path = SamplePath("chord.flac");
  std::vector<HSTREAM> streams;
  for (int i = 0; i < 3; ++i) {
    streams.push_back(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE));
    ASSERT_NE(streams.back(), 0u);
    EXPECT_LT(streams.back(), 1u << 20);
  }
  EXPECT_EQ(std::set<HSTREAM>(streams.begin(), streams.end()).size(), 3u);
  ASSERT_TRUE(BASS_StreamFree(streams[1]));
  const HSTREAM again = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  EXPECT_NE(again, streams[1]) << "a freed handle came back while a caller may hold it";
  uint8_t buffer[16];
  EXPECT_EQ(BASS_ChannelGetData(streams[1], buffer, sizeof buffer), kNoData);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_FALSE(BASS_StreamFree(streams[1]));
  EXPECT_FALSE(BASS_MusicFree(streams[0]));  // a stream is not music
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  for (const HSTREAM s : {streams[0], streams[2], again}) EXPECT_TRUE(BASS_StreamFree(s));
}

TEST_F(BassLibrary, DeliversWholeFramesOnly) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  const std::string path = SamplePath("chord.flac");
  const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  uint8_t buffer[64];
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer, 3), 0u);  // less than one stereo frame
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer, 63), 60u);
  EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_BYTE), 60u);
  EXPECT_EQ(BASS_ChannelGetData(stream, buffer, 0x80000000u | 64), kNoData);  // FFT request
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(BASS_ChannelGetData(stream, nullptr, 64), kNoData);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  BASS_StreamFree(stream);
}

TEST_F(BassLibrary, StreamInfoLengthAndFilePositions) {
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string path = SamplePath("chord.mp3");
  const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
  EXPECT_EQ(info.freq, 44100u);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_EQ(info.flags & BASS_SAMPLE_8BITS, 0u);
  EXPECT_EQ(info.ctype, BASS_CTYPE_STREAM);
  EXPECT_STREQ(info.filename, path.c_str());
  const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(stream, length), 6.0, 0.03);
  EXPECT_EQ(BASS_ChannelBytes2Seconds(stream, 176400), 1.0);
  EXPECT_EQ(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_END), std::filesystem::file_size(path));
  // The audio begins right after the ID3v2 tag.
  const std::string bytes = ReadFileBytes(path);
  ASSERT_EQ(bytes.substr(0, 3), "ID3");
  const uint64_t tagBytes =
      10 + ((static_cast<uint64_t>(bytes[6] & 0x7F) << 21) | ((bytes[7] & 0x7F) << 14) |
            ((bytes[8] & 0x7F) << 7) | (bytes[9] & 0x7F));
  EXPECT_EQ(BASS_StreamGetFilePosition(stream, BASS_FILEPOS_START), tagBytes);
  EXPECT_EQ(BASS_StreamGetFilePosition(stream, 99), kNoPosition);
  EXPECT_EQ(BASS_ChannelGetLength(stream, 1), kNoPosition);  // only bytes are offered
  BASS_StreamFree(stream);
}

TEST_F(BassLibrary, RefusesFilesNoDecoderTakes) {
  const std::string empty = Write("empty.mp3", "");
  std::string noise(20000, '\0');
  uint32_t x = 12345;
  for (char& c : noise) c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
  const std::string random = Write("noise.flac", noise);
  for (const std::string& path : {empty, random}) {
    EXPECT_EQ(BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE), 0u) << path;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << path;
    EXPECT_EQ(BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 0), 0u) << path;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << path;
  }
}

// ---- CD audio tracks -----------------------------------------------------------------------

std::string CdaStub(uint16_t track) {
  using namespace sonorell::testing;
  std::string fmt = Le16(1) + Le16(track) + Le32(0x12345678) + Le32(150) + Le32(20000) +
                    Le32(0x00020000) + Le32(0x00041000);
  return "RIFF" + Le32(36) + "CDDA" + "fmt " + Le32(24) + fmt;
}

TEST_F(BassLibrary, CdTrackStubIsRecognised) {
  const std::string stub = Write("Track03.cda", CdaStub(3));
  ASSERT_EQ(std::filesystem::file_size(stub), 44u);
  EXPECT_EQ(bass::CdaTrackNumber(stub), 3);
  EXPECT_FALSE(bass::CdaTrackNumber(Write("Track00.cda", CdaStub(0))).has_value());
  EXPECT_FALSE(bass::CdaTrackNumber(Write("short.cda", CdaStub(3).substr(0, 30))).has_value());
}

TEST_F(BassLibrary, CdTrackWithoutADriveFailsAsAFileThatCannotBeOpened) {
  if (std::filesystem::exists("/dev/cdrom") || std::filesystem::exists("/dev/sr0")) {
    GTEST_SKIP() << "this machine has a CD drive";
  }
  const std::string stub = Write("Track01.cda", CdaStub(1));
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, stub.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

// ---- Tracker modules ------------------------------------------------------------------------

TEST_F(BassLibrary, ModuleRendersToItsExactLengthAtTheGivenRate) {
  const std::string path = Write("tune.mod", sonorell::testing::ProTrackerModule(2));
  // Two patterns of 64 rows at 6 ticks per row and 125 bpm: 2 × 64 × 0.12 s.
  const double seconds = 15.36;
  for (const DWORD rate : {22050u, 48000u}) {
    const HMUSIC music = BASS_MusicLoad(
        FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE | BASS_MUSIC_PRESCAN | BASS_MUSIC_RAMP, rate);
    ASSERT_NE(music, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(music, &info));
    EXPECT_EQ(info.freq, rate);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.ctype, BASS_CTYPE_MUSIC_MOD);
    const QWORD length = BASS_ChannelGetLength(music, BASS_POS_BYTE);
    EXPECT_EQ(length, static_cast<QWORD>(std::llround(seconds * rate)) * 4);
    const std::vector<int16_t> pcm = Drain(music, 4002);
    EXPECT_EQ(pcm.size() * 2, length) << "the song stops at its length, without a loop";
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_BYTE), length);
    EXPECT_GT(Peak(pcm), 3000) << "the notes are heard";
    // Notes sound in every second of the song, not just at its start.
    const size_t second = 2 * rate;
    for (size_t at = 0; at + second <= pcm.size(); at += second) {
      EXPECT_GT(Peak({pcm.begin() + at, pcm.begin() + at + second}), 1000) << at / second;
    }
    EXPECT_FALSE(BASS_StreamFree(music));  // music is freed as music
    EXPECT_TRUE(BASS_MusicFree(music));
  }
}

TEST_F(BassLibrary, ModuleLengthAgreesWithFfprobe) {
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string path = Write("tune.mod", sonorell::testing::ProTrackerModule(3));
  const auto expected = FfprobeSeconds(path);
  ASSERT_TRUE(expected);
  const HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 0);
  ASSERT_NE(music, 0u);
  const double seconds =
      BASS_ChannelBytes2Seconds(music, BASS_ChannelGetLength(music, BASS_POS_BYTE));
  EXPECT_NEAR(seconds, *expected, 0.03);
  EXPECT_NEAR(seconds, 3 * 64 * 0.12, 0.001);
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(music, &info));
  EXPECT_EQ(info.freq, 44100u) << "rate 0 renders at the library's rate";
  BASS_MusicFree(music);
}

TEST_F(BassLibrary, ModuleIsNoStreamAndStreamIsNoModule) {
  const std::string mod = Write("tune.mod", sonorell::testing::ProTrackerModule(1));
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, mod.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  const std::string mp3 = SamplePath("chord.mp3");
  EXPECT_EQ(BASS_MusicLoad(FALSE, mp3.c_str(), 0, 0, BASS_STREAM_DECODE, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
}

TEST_F(BassLibrary, ModuleRefusesLoopingAndOtherSampleFormats) {
  const std::string mod = Write("tune.mod", sonorell::testing::ProTrackerModule(1));
  for (const DWORD flag : {BASS_SAMPLE_LOOP, BASS_SAMPLE_FLOAT, BASS_SAMPLE_8BITS}) {
    EXPECT_EQ(BASS_MusicLoad(FALSE, mod.c_str(), 0, 0, BASS_STREAM_DECODE | flag, 0), 0u) << flag;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  }
  EXPECT_EQ(BASS_MusicLoad(FALSE, mod.c_str(), 0, 0, BASS_STREAM_DECODE, 1000), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
}

TEST_F(BassLibrary, ImpulseTrackerSampleLastsWhatFfprobeSays) {
  SONORELL_REQUIRE_SAMPLE("the-big-march-in-space.it");
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string path = SamplePath("the-big-march-in-space.it");
  const auto expected = FfprobeSeconds(path);
  ASSERT_TRUE(expected);
  const HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, 0x220200, 44100);
  ASSERT_NE(music, 0u);
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(music, BASS_ChannelGetLength(music, BASS_POS_BYTE)),
              *expected, 0.03);
  BASS_MusicFree(music);
}

// ---- MIDI ---------------------------------------------------------------------------------------

TEST_F(BassLibrary, MidiNeedsADefaultSoundFont) {
  const std::string path = Write("song.mid", sonorell::testing::TwoTempoMidi());
  EXPECT_EQ(BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  const HSOUNDFONT font = UseSoundFont();
  const HSTREAM stream =
      BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100);
  EXPECT_NE(stream, 0u);
  BASS_StreamFree(stream);
  // Freeing the font takes it out of the defaults.
  EXPECT_TRUE(BASS_MIDI_FontFree(font));
  EXPECT_EQ(BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100), 0u);
}

TEST_F(BassLibrary, SoundFontsAreChecked) {
  EXPECT_EQ(BASS_MIDI_FontInit("/nonexistent.sf2", 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  const std::string fake = Write("fake.sf2", std::string(4096, 'x'));
  EXPECT_EQ(BASS_MIDI_FontInit(fake.c_str(), 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM);
  const HSOUNDFONT font = BASS_MIDI_FontInit(kSoundFont, 0);
  ASSERT_NE(font, 0u);
  const BASS_MIDI_FONT onePreset{font, 5, 0};
  EXPECT_FALSE(BASS_MIDI_StreamSetFonts(0, &onePreset, 1));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  const BASS_MIDI_FONT notAFont{font + 1000, -1, 0};
  EXPECT_FALSE(BASS_MIDI_StreamSetFonts(0, &notAFont, 1));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_TRUE(BASS_MIDI_FontFree(font));
  EXPECT_FALSE(BASS_MIDI_FontFree(font));
}

TEST_F(BassLibrary, MidiLastsItsTempoMapAndIsHeard) {
  UseSoundFont();
  const std::string path = Write("song.mid", sonorell::testing::TwoTempoMidi());
  for (const DWORD rate : {22050u, 44100u}) {
    const HSTREAM stream =
        BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, rate);
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.freq, rate);
    EXPECT_EQ(info.chans, 2u);
    EXPECT_EQ(info.ctype, BASS_CTYPE_STREAM_MIDI);
    // 2 s at 120 bpm and 1 s at 240 bpm, no tail.
    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    EXPECT_EQ(length, 3 * rate * 4);
    const std::vector<int16_t> pcm = Drain(stream, 10002);
    EXPECT_EQ(pcm.size() * 2, length);
    EXPECT_GT(Peak(pcm), 2000);
    // The second half (faster notes) is heard too.
    EXPECT_GT(Peak({pcm.begin() + 2 * 2 * rate, pcm.end()}), 2000);
    BASS_StreamFree(stream);
  }
}

TEST_F(BassLibrary, MidiSampleLastsWhatAnotherReaderComputes) {
  SONORELL_REQUIRE_SAMPLE("train-filled-with-cash.mid");
  // mido (Debian's python3-mido) adds up the same tempo map on its own.
  const std::string path = SamplePath("train-filled-with-cash.mid");
  const auto mido = CommandOutput(
      "/usr/bin/python3 -c 'import mido,sys; "
      "print(mido.MidiFile(sys.argv[1]).length)' " +
      ShellQuote(path));
  if (!mido) GTEST_SKIP() << "python3-mido is not installed";
  UseSoundFont();
  const HSTREAM stream =
      BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100);
  ASSERT_NE(stream, 0u);
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(stream, BASS_ChannelGetLength(stream, BASS_POS_BYTE)),
              std::stod(*mido), 0.03);
  BASS_StreamFree(stream);
}

TEST_F(BassLibrary, MidiTrackRunningPastTheFileEndPlaysWhatIsThere) {
  UseSoundFont();
  using namespace sonorell::testing;
  // The track claims a megabyte and breaks off inside the last note, end of track missing.
  std::string events = TwoTempoEvents();
  events.resize(events.size() - 2);
  const std::string path = Write("cut.mid", MidiHeader(0, 1, 96) + MidiTrack(events, 1u << 20));
  const HSTREAM stream =
      BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100);
  ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
  // Seven whole notes and the start of the eighth: 2 s + 0.75 s.
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), static_cast<QWORD>(2.75 * 44100) * 4);
  const std::vector<int16_t> pcm = Drain(stream);
  EXPECT_GT(Peak(pcm), 2000);
  BASS_StreamFree(stream);
}

TEST_F(BassLibrary, MidiThatIsNotOneFailsCleanly) {
  UseSoundFont();
  using namespace sonorell::testing;
  const std::string smpte = Write("smpte.mid", "MThd" + Be32(6) + Be16(0) + Be16(1) + Be16(0xE728) +
                                                   MidiTrack(TwoTempoEvents() + kEndOfTrack));
  const std::string noTracks = Write("none.mid", MidiHeader(1, 0, 96));
  const std::string text = Write("text.mid", "this is not a MIDI file at all");
  const std::string empty = Write("empty.mid", "");
  // RIFF wrappers without a song: an odd-sized chunk that ends with the file, its pad byte
  // left out (21 bytes in all), and one that claims more than the file holds.
  const std::string odd = Write("odd.rmi", "RIFF" + Le32(13) + "RMID" + "LIST" + Le32(1) + "x");
  const std::string longer =
      Write("long.rmi", "RIFF" + Le32(13) + "RMID" + "LIST" + Le32(0xFFFFFFFF) + "x");
  for (const std::string& path : {smpte, noTracks, text, empty, odd, longer}) {
    EXPECT_EQ(BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100), 0u)
        << path;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << path;
  }
}

TEST_F(BassLibrary, MidiInsideARiffWrapperPlays) {
  UseSoundFont();
  using namespace sonorell::testing;
  const std::string smf = TwoTempoMidi();
  // Before the song, an odd-sized chunk with its pad byte, as RIFF lays them out.
  const std::string body = "RMID" + std::string("DISP") + Le32(3) + "abc" + '\0' + "data" +
                           Le32(static_cast<uint32_t>(smf.size())) + smf;
  const std::string path =
      Write("song.rmi", "RIFF" + Le32(static_cast<uint32_t>(body.size())) + body);
  const HSTREAM stream =
      BASS_MIDI_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE, 44100);
  ASSERT_NE(stream, 0u);
  EXPECT_EQ(BASS_ChannelGetLength(stream, BASS_POS_BYTE), 3u * 44100 * 4);
  BASS_StreamFree(stream);
}

TEST_F(BassLibrary, Id3v2TagIsTakenWholeOrNotAtAll) {
  const std::string body(1000, 'x');
  const std::string fits = Write(
      "fits.mp3", std::string("ID3\x03\x00\x00\x00\x00\x07\x68", 10) + body + "after the tag");
  const auto block = bass::ReadId3v2Block(fits);
  ASSERT_TRUE(block);
  EXPECT_EQ(block->size(), 1010u);
  // A header that claims 256 MB in front of a small file is refused rather than cut.
  const std::string huge =
      Write("huge.mp3", std::string("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10) + body);
  EXPECT_FALSE(bass::ReadId3v2Block(huge));
  // A version 4 tag with a footer counts the footer's ten bytes.
  const std::string footer =
      Write("footer.mp3", std::string("ID3\x04\x00\x10\x00\x00\x07\x68", 10) + body +
                              std::string("3DI\x04\x00\x10\x00\x00\x07\x68", 10));
  ASSERT_TRUE(bass::ReadId3v2Block(footer));
  EXPECT_EQ(bass::ReadId3v2Block(footer)->size(), 1020u);
  EXPECT_FALSE(bass::ReadId3v2Block(Write("short.mp3", "ID3\x03")));
  // ID3v1 needs 128 bytes starting "TAG" at the very end.
  EXPECT_FALSE(bass::ReadId3v1Block(Write("tiny.mp3", "TAG")));
  EXPECT_FALSE(bass::ReadId3v1Block(fits));
}

TEST_F(BassLibrary, TagsReadFillsTheFormat) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string path = SamplePath("chord.flac");
  const auto title = CommandOutput(
      "ffprobe -v error -show_entries format_tags=title -of "
      "default=nw=1:nk=1 " +
      ShellQuote(path));
  const auto artist = CommandOutput(
      "ffprobe -v error -show_entries format_tags=artist -of "
      "default=nw=1:nk=1 " +
      ShellQuote(path));
  ASSERT_TRUE(title && artist);
  const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  const std::string expected = "[" + title->substr(0, title->find('\n')) + "] by " +
                               artist->substr(0, artist->find('\n')) + " 100%";
  EXPECT_EQ(TAGS_Read(stream, "[%TITL] by %ARTI 100%%"), expected);
  EXPECT_STREQ(TAGS_Read(stream, "%COPY"), "") << "nothing there";
  EXPECT_STREQ(TAGS_Read(stream, "%XXXX"), "");
  EXPECT_STREQ(TAGS_Read(987654, "%TITL"), "");
  BASS_StreamFree(stream);
}

TEST_F(BassLibrary, TagValueLineBreaksDoNotShiftTheFields) {
  SONORELL_REQUIRE_SAMPLE("chord.flac");
  SONORELL_REQUIRE_TOOL("ffmpeg");
  const std::string path = folder_ / "comment.flac";
  ASSERT_TRUE(CommandOutput(
      "ffmpeg -nostdin -v error -i " + ShellQuote(SamplePath("chord.flac")) +
      " -c copy -metadata comment=\"$(printf 'first\\nsecond')\" -metadata composer=Me " +
      ShellQuote(path)));
  const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(stream, 0u);
  EXPECT_STREQ(TAGS_Read(stream, "%CMNT\n%COMP"), "first second\nMe");
  BASS_StreamFree(stream);
}

}  // namespace
}  // namespace platform
