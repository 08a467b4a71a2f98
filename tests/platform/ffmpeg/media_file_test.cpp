#include "platform/ffmpeg/media_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform::ffmpeg {
namespace {

using sonorell::testing::FfprobeNumber;
using sonorell::testing::MakeWithFfmpeg;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::SamplePath;
using sonorell::testing::TempFolder;
using sonorell::testing::WriteFileBytes;

TEST(MediaFile, ReportsTheContainerAndItsFirstAudioStream) {
  SONORELL_REQUIRE_FFMPEG();
  SONORELL_REQUIRE_SAMPLE("clip-with-video.mp4");
  const std::string path = SamplePath("clip-with-video.mp4");
  MediaFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.StreamCount(), 2);
  const StreamInfo& audio = file.AudioStream();
  EXPECT_EQ(audio.index, 1);
  EXPECT_EQ(audio.sampleRate, 44100);
  EXPECT_EQ(audio.channels, 2);
  EXPECT_EQ(audio.codecName, "aac");
  EXPECT_FALSE(audio.eightBit);
  EXPECT_EQ(audio.bitRate,
            static_cast<int64_t>(FfprobeNumber(path, "stream=bit_rate", "a:0").value_or(-1)));
  EXPECT_EQ(file.FileSize(), static_cast<int64_t>(std::filesystem::file_size(path)));
  EXPECT_NEAR(file.DurationSeconds(), FfprobeNumber(path, "format=duration").value_or(-1), 1e-6);
  EXPECT_FALSE(file.DurationFromBitRate());
  EXPECT_EQ(file.BitRate(),
            static_cast<int64_t>(FfprobeNumber(path, "format=bit_rate").value_or(-1)));
  EXPECT_NE(file.FormatName().find("mp4"), std::string::npos);
  file.Close();
  EXPECT_FALSE(file.IsOpen());
  EXPECT_EQ(file.AudioStream().index, -1);
  EXPECT_EQ(file.FileSize(), 0);
  EXPECT_EQ(file.DurationSeconds(), 0);
}

TEST(MediaFile, TagsHaveLowerCaseKeysFromContainerAndStream) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string flac = dir / "tags.flac";
  ASSERT_TRUE(
      MakeWithFfmpeg("-f lavfi -i sine=d=0.2 -metadata TITLE=Über -metadata Artist=Me", flac));
  MediaFile file;
  ASSERT_TRUE(file.Open(flac));
  const Metadata tags = file.Tags();
  EXPECT_EQ(tags.count("title"), 1u);
  EXPECT_EQ(tags.at("title"), "Über");
  EXPECT_EQ(tags.at("artist"), "Me");

  // Ogg keeps its comments on the stream, not the container.
  const std::string ogg = dir / "tags.ogg";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=d=0.2 -c:a libvorbis -metadata title=Inside", ogg));
  ASSERT_TRUE(file.Open(ogg));
  EXPECT_EQ(file.Tags().at("title"), "Inside");
}

// RIFF INFO text is passed through as the file holds it; bytes that are no UTF-8 are taken
// as Latin-1 so that the caller only ever sees UTF-8.
TEST(MediaFile, TagBytesThatAreNoUtf8AreReadAsLatin1) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  TempFolder dir;
  std::string wav = ReadFileBytes(SamplePath("chord-16bit.wav")).substr(0, 44 + 4000);
  // A LIST/INFO chunk with INAM = "Caf\xE9" (Latin-1), inserted before the data chunk.
  std::string info = "INFOINAM";
  const std::string name = std::string("Caf\xE9", 4) + std::string(1, '\0');
  const uint32_t nameSize = static_cast<uint32_t>(name.size());
  info.append(reinterpret_cast<const char*>(&nameSize), 4);
  info += name + std::string(1, '\0');  // padded to even
  std::string list = "LIST";
  const uint32_t listSize = static_cast<uint32_t>(info.size());
  list.append(reinterpret_cast<const char*>(&listSize), 4);
  list += info;
  const size_t data = wav.find("data");
  ASSERT_NE(data, std::string::npos);
  std::string out = wav.substr(0, data) + list + wav.substr(data);
  const uint32_t dataBytes = static_cast<uint32_t>(wav.size() - data - 8);
  out.replace(out.find("data") + 4, 4, reinterpret_cast<const char*>(&dataBytes), 4);
  const uint32_t riffSize = static_cast<uint32_t>(out.size() - 8);
  out.replace(4, 4, reinterpret_cast<const char*>(&riffSize), 4);
  WriteFileBytes(dir / "latin1.wav", out);

  MediaFile file;
  ASSERT_TRUE(file.Open(dir / "latin1.wav"));
  const Metadata tags = file.Tags();
  ASSERT_EQ(tags.count("title"), 1u);
  EXPECT_EQ(tags.at("title"), "Caf\xC3\xA9");
}

TEST(MediaFile, FileWithoutAudioOpensWithNoAudioStream) {
  SONORELL_REQUIRE_FFMPEG();
  TempFolder dir;
  const std::string path = dir / "film.mkv";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i testsrc=size=32x32:rate=5:duration=1 -c:v mpeg4", path));
  MediaFile file;
  ASSERT_TRUE(file.Open(path));
  EXPECT_EQ(file.AudioStream().index, -1);
  EXPECT_EQ(file.AudioStream().sampleRate, 0);
  EXPECT_TRUE(file.Tags().count("title") == 0);
}

TEST(MediaFile, RefusesEmptyMissingAndUnknownFiles) {
  TempFolder dir;
  WriteFileBytes(dir / "empty.mp3", "");
  WriteFileBytes(dir / "text.txt", "just some words, nothing to hear\n");
  MediaFile file;
  EXPECT_FALSE(file.Open(dir / "empty.mp3"));
  EXPECT_FALSE(file.Open(dir / "missing.mp3"));
  EXPECT_FALSE(file.Open(dir / "text.txt"));
  EXPECT_FALSE(file.Open(dir.path()));  // a folder
  EXPECT_FALSE(file.IsOpen());
}

// A name that looks like a web address is still a local file.
TEST(MediaFile, NamesWithAColonStayLocalFiles) {
  SONORELL_REQUIRE_SAMPLE("chord-16bit.wav");
  TempFolder dir;
  std::filesystem::copy_file(SamplePath("chord-16bit.wav"), dir / "http:chord.wav");
  MediaFile file;
  EXPECT_TRUE(file.Open(dir / "http:chord.wav"));
  // The same by a relative name, from inside the folder.
  const auto before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const bool relative = file.Open("http:chord.wav");
  std::filesystem::current_path(before);
  EXPECT_TRUE(relative);
}

// Playlists and concatenation scripts must not make a file open reach the network.
TEST(MediaFile, PlaylistsCannotReachBeyondLocalFiles) {
  TempFolder dir;
  WriteFileBytes(dir / "list.m3u8",
                 "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\n"
                 "http://127.0.0.1:9/segment.ts\n#EXT-X-ENDLIST\n");
  WriteFileBytes(dir / "list.ffconcat", "ffconcat version 1.0\nfile 'http://127.0.0.1:9/a.wav'\n");
  for (const char* name : {"list.m3u8", "list.ffconcat"}) {
    SCOPED_TRACE(name);
    MediaFile file;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(file.Open(dir / name) && file.AudioStream().index >= 0);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
  }
}

}  // namespace
}  // namespace platform::ffmpeg
