#include "platform/mp4/mp4_wrapper.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/platform/ffmpeg/ffmpeg_tools.h"
#include "tests/platform/mp4/aac_frames.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace platform {
namespace {

using sonorell::testing::AacFrames;
using sonorell::testing::CommandOutput;
using sonorell::testing::FfmpegS16;
using sonorell::testing::Ffprobe;
using sonorell::testing::FfprobeNumber;
using sonorell::testing::FileSizeLimit;
using sonorell::testing::MakeAacFrames;
using sonorell::testing::MakeWithFfmpeg;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::SamplePath;
using sonorell::testing::ShellQuote;
using sonorell::testing::StartTrack;
using sonorell::testing::StoreFrames;
using sonorell::testing::TempFolder;
using sonorell::testing::WriteFileBytes;

const char* const kTitle = "Заголовок 标题";
const char* const kArtist = "Исполнитель · 演奏者";
const char* const kAlbum = "Альбом アルバム";
const char* const kYear = "2024";
const char* const kGenre = "Жанр";
const char* const kComment = "Комментарий, 注释";
const char* const kComposer = "Композитор 作曲家";

struct Mp4Closer {
  void operator()(Mp4File* file) const { MP4CloseExx(file); }
};
using Handle = std::unique_ptr<Mp4File, Mp4Closer>;

struct StringFreer {
  void operator()(char* text) const { FreeMemExx(text); }
};

void SetAllTags(MP4FileHandle file) {
  EXPECT_TRUE(MP4SetMetadataNameExx(file, kTitle));
  EXPECT_TRUE(MP4SetMetadataArtistExx(file, kArtist));
  EXPECT_TRUE(MP4SetMetadataAlbumExx(file, kAlbum));
  EXPECT_TRUE(MP4SetMetadataYearExx(file, kYear));
  EXPECT_TRUE(MP4SetMetadataGenreExx(file, kGenre));
  EXPECT_TRUE(MP4SetMetadataCommentExx(file, kComment));
  EXPECT_TRUE(MP4SetMetadataWriterExx(file, kComposer));
  EXPECT_TRUE(MP4SetMetadataTrackExx(file, 3, 12));
}

// A complete file in the writer's call sequence; false when any step failed.
bool WriteFile(const std::string& path, Mp4Brand brand, const AacFrames& aac, bool tags) {
  MP4FileHandle file = MP4CreateExx(path.c_str(), brand);
  if (!file) return false;
  const MP4TrackId track = StartTrack(file, aac);
  if (tags) SetAllTags(file);
  const bool stored = track != MP4_INVALID_TRACK_ID && StoreFrames(file, track, aac);
  return MP4CloseExx(file) && stored;
}

// exiftool's short tag names and values ("-s -s"), e.g. {"Title", "..."}.
std::map<std::string, std::string> Exiftool(const std::string& path,
                                            const std::string& options = "") {
  std::map<std::string, std::string> tags;
  const auto out = CommandOutput("exiftool -s -s " + options + " " + ShellQuote(path));
  if (!out) return tags;
  std::istringstream in(*out);
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) tags[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return tags;
}

// The payload of the first box along a path of box types ("moov/trak/edts/elst").
std::optional<std::string> BoxPayload(const std::string& bytes, const std::string& boxPath) {
  std::string_view data(bytes);
  std::istringstream parts(boxPath);
  std::optional<std::string_view> found;
  for (std::string type; std::getline(parts, type, '/');) {
    found.reset();
    size_t p = 0;
    while (p + 8 <= data.size()) {
      const auto* b = reinterpret_cast<const uint8_t*>(data.data() + p);
      const uint32_t size = (uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
      if (size < 8 || p + size > data.size()) return std::nullopt;
      if (data.substr(p + 4, 4) == type) {
        found = data.substr(p + 8, size - 8);
        break;
      }
      p += size;
    }
    if (!found) return std::nullopt;
    data = *found;
  }
  return std::string(data);
}

uint32_t BigEndian32(const std::string& bytes, size_t at) {
  const auto* b = reinterpret_cast<const uint8_t*>(bytes.data() + at);
  return (uint32_t{b[0]} << 24) | (b[1] << 16) | (b[2] << 8) | b[3];
}

class Mp4WriterTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SONORELL_REQUIRE_FFMPEG();
    stereo_ = MakeAacFrames(dir_, 44100, 2, kStereoSamples);
    ASSERT_TRUE(stereo_) << "ffmpeg made no AAC stream";
  }

  static constexpr uint64_t kStereoSamples = 100'000;  // not a whole number of frames
  TempFolder dir_;
  std::optional<AacFrames> stereo_;
};

// The encoder delay is skipped through the edit list: the file lasts exactly as long as the
// input, and decoding gives the encoder's output without its first 1024 samples.
TEST_F(Mp4WriterTest, AacTrackPlaysForExactlyTheInputLength) {
  const auto mono = MakeAacFrames(dir_, 48000, 1, 50'001);
  ASSERT_TRUE(mono);
  for (const AacFrames* aac : std::initializer_list<const AacFrames*>{&*stereo_, &*mono}) {
    SCOPED_TRACE(std::to_string(aac->rate) + " Hz, " + std::to_string(aac->channels) + " ch");
    const std::string path = dir_ / ("tone-" + std::to_string(aac->channels) + ".m4a");
    ASSERT_TRUE(WriteFile(path, Mp4Brand::kM4a, *aac, false));

    EXPECT_EQ(Ffprobe(path, "stream=codec_name", "a:0").value_or(""), "aac");
    EXPECT_EQ(FfprobeNumber(path, "stream=sample_rate", "a:0").value_or(0), aac->rate);
    EXPECT_EQ(FfprobeNumber(path, "stream=channels", "a:0").value_or(0), aac->channels);
    const double seconds = static_cast<double>(aac->samples) / aac->rate;
    EXPECT_NEAR(FfprobeNumber(path, "format=duration").value_or(-1), seconds, 0.001);
    EXPECT_EQ(FfprobeNumber(path, "stream=nb_frames", "a:0").value_or(0),
              static_cast<double>(aac->frames.size()));

    const auto decoded = FfmpegS16(path);
    const auto reference = FfmpegS16(aac->adtsPath);
    ASSERT_TRUE(decoded && reference);
    const size_t channels = static_cast<size_t>(aac->channels);
    const size_t frames = decoded->size() / channels;
    // FFmpeg trims the start only; the end keeps the rest of the last frame.
    EXPECT_GE(frames, aac->samples);
    EXPECT_LT(frames, aac->samples + 1024);
    const size_t delay = 1024 * channels;
    ASSERT_GE(reference->size(), delay + aac->samples * channels);
    EXPECT_TRUE(std::equal(decoded->begin(), decoded->begin() + aac->samples * channels,
                           reference->begin() + delay))
        << "the decoded sound is not the encoder's output after its delay";
  }
}

TEST_F(Mp4WriterTest, MovieTimeScaleAudioProfileAndEditListAreWritten) {
  const std::string path = dir_ / "boxes.m4a";
  ASSERT_TRUE(WriteFile(path, Mp4Brand::kM4a, *stereo_, false));
  const std::string bytes = ReadFileBytes(path);

  const auto mvhd = BoxPayload(bytes, "moov/mvhd");
  ASSERT_TRUE(mvhd && mvhd->size() >= 20);
  EXPECT_EQ(BigEndian32(*mvhd, 12), 90000u) << "movie time scale";

  const auto mdhd = BoxPayload(bytes, "moov/trak/mdia/mdhd");
  ASSERT_TRUE(mdhd && mdhd->size() >= 20);
  EXPECT_EQ(BigEndian32(*mdhd, 12), 44100u) << "track time scale";

  // Initial object descriptor: tag 0x10, a size, then ids and the five profile levels
  // (OD, scene, audio, visual, graphics).
  const auto iods = BoxPayload(bytes, "moov/iods");
  ASSERT_TRUE(iods && iods->size() >= 6);
  ASSERT_EQ(static_cast<uint8_t>((*iods)[4]), 0x10);
  size_t at = 5;
  while (at < iods->size() && (static_cast<uint8_t>((*iods)[at]) & 0x80)) ++at;
  ASSERT_LT(at + 5, iods->size());
  EXPECT_EQ(static_cast<uint8_t>((*iods)[at + 5]), 0x0F) << "audio profile level";

  // One edit that starts at the encoder delay and lasts the input's length (movie units).
  const auto elst = BoxPayload(bytes, "moov/trak/edts/elst");
  ASSERT_TRUE(elst && elst->size() >= 16);
  EXPECT_EQ(BigEndian32(*elst, 4), 1u);
  EXPECT_NEAR(BigEndian32(*elst, 8), kStereoSamples * 90000.0 / 44100, 1.0);
  EXPECT_EQ(BigEndian32(*elst, 12), 1024u);
}

TEST_F(Mp4WriterTest, BrandChoosesMusicAudiobookOrPlainMp4) {
  SONORELL_REQUIRE_TOOL("exiftool");
  const std::string m4a = dir_ / "music.m4a";
  const std::string m4b = dir_ / "book.m4b";
  const std::string mp4 = dir_ / "plain.mp4";
  ASSERT_TRUE(WriteFile(m4a, Mp4Brand::kM4a, *stereo_, false));
  ASSERT_TRUE(WriteFile(m4b, Mp4Brand::kM4b, *stereo_, false));
  ASSERT_TRUE(WriteFile(mp4, Mp4Brand::kMp4, *stereo_, false));

  EXPECT_EQ(Ffprobe(m4a, "format_tags=major_brand").value_or(""), "M4A ");
  EXPECT_EQ(Ffprobe(m4b, "format_tags=major_brand").value_or(""), "M4B ");
  EXPECT_EQ(Ffprobe(mp4, "format_tags=major_brand").value_or(""), "isom");

  auto music = Exiftool(m4a);
  EXPECT_NE(music["MajorBrand"].find(".M4A"), std::string::npos) << music["MajorBrand"];
  EXPECT_NE(music["CompatibleBrands"].find("M4A"), std::string::npos);
  EXPECT_EQ(music.count("MediaType"), 0u);
  auto book = Exiftool(m4b);
  EXPECT_NE(book["MajorBrand"].find(".M4B"), std::string::npos) << book["MajorBrand"];
  EXPECT_EQ(book["MediaType"], "Audiobook");
  auto plain = Exiftool(mp4);
  EXPECT_NE(plain["MajorBrand"].find("MP4"), std::string::npos) << plain["MajorBrand"];
  EXPECT_EQ(plain.count("MediaType"), 0u);

  // The flavour changes the labels, not the sound.
  for (const std::string& path : {m4b, mp4}) {
    EXPECT_NEAR(FfprobeNumber(path, "format=duration").value_or(-1), kStereoSamples / 44100.0,
                0.001);
  }
}

TEST_F(Mp4WriterTest, TagsReachOtherReadersInEveryFlavour) {
  SONORELL_REQUIRE_TOOL("exiftool");
  SONORELL_REQUIRE_TOOL("mediainfo");
  for (const auto& [name, brand] :
       {std::pair{"t.m4a", Mp4Brand::kM4a}, std::pair{"t.m4b", Mp4Brand::kM4b},
        std::pair{"t.mp4", Mp4Brand::kMp4}}) {
    SCOPED_TRACE(name);
    const std::string path = dir_ / name;
    ASSERT_TRUE(WriteFile(path, brand, *stereo_, true));

    EXPECT_EQ(Ffprobe(path, "format_tags=title").value_or(""), kTitle);
    EXPECT_EQ(Ffprobe(path, "format_tags=artist").value_or(""), kArtist);
    EXPECT_EQ(Ffprobe(path, "format_tags=album").value_or(""), kAlbum);
    EXPECT_EQ(Ffprobe(path, "format_tags=date").value_or(""), kYear);
    EXPECT_EQ(Ffprobe(path, "format_tags=genre").value_or(""), kGenre);
    EXPECT_EQ(Ffprobe(path, "format_tags=comment").value_or(""), kComment);
    EXPECT_EQ(Ffprobe(path, "format_tags=composer").value_or(""), kComposer);
    EXPECT_EQ(Ffprobe(path, "format_tags=track").value_or(""), "3/12");

    auto exif = Exiftool(path);
    EXPECT_EQ(exif["Title"], kTitle);
    EXPECT_EQ(exif["Artist"], kArtist);
    EXPECT_EQ(exif["Album"], kAlbum);
    EXPECT_EQ(exif["ContentCreateDate"], kYear);
    EXPECT_EQ(exif["Genre"], kGenre);
    EXPECT_EQ(exif["Comment"], kComment);
    EXPECT_EQ(exif["Composer"], kComposer);
    EXPECT_EQ(exif["TrackNumber"], "3 of 12");

    const auto info = CommandOutput(
        "mediainfo --Output='General;%Track%|%Performer%|%Album%|%Recorded_Date%|%Genre%|"
        "%Comment%|%Composer%|%Track/Position%|%Track/Position_Total%' " +
        ShellQuote(path));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->substr(0, info->find('\n')), std::string(kTitle) + "|" + kArtist + "|" +
                                                     kAlbum + "|" + kYear + "|" + kGenre + "|" +
                                                     kComment + "|" + kComposer + "|3|12");
  }
}

TEST_F(Mp4WriterTest, TagValuesFollowTheLastCall) {
  const std::string path = dir_ / "late.m4a";
  MP4FileHandle file = MP4CreateExx(path.c_str(), Mp4Brand::kM4a);
  ASSERT_NE(file, nullptr);
  const MP4TrackId track = StartTrack(file, *stereo_);
  EXPECT_TRUE(MP4SetMetadataNameExx(file, "first"));
  EXPECT_TRUE(MP4SetMetadataAlbumExx(file, "gone"));
  EXPECT_TRUE(MP4SetMetadataGenreExx(file, "Rock"));
  EXPECT_TRUE(StoreFrames(file, track, *stereo_));
  // After the sound: still in the file, which gets its index at close.
  EXPECT_TRUE(MP4SetMetadataNameExx(file, "second"));
  EXPECT_TRUE(MP4SetMetadataAlbumExx(file, ""));  // an empty text removes the tag
  EXPECT_TRUE(MP4SetMetadataTrackExx(file, 5, 0));
  EXPECT_FALSE(MP4SetMetadataCommentExx(file, "bad \xC3("));  // not UTF-8
  EXPECT_FALSE(MP4SetMetadataArtistExx(file, nullptr));
  ASSERT_TRUE(MP4CloseExx(file));

  EXPECT_EQ(Ffprobe(path, "format_tags=title").value_or(""), "second");
  EXPECT_FALSE(Ffprobe(path, "format_tags=album"));
  EXPECT_EQ(Ffprobe(path, "format_tags=genre").value_or(""), "Rock");
  EXPECT_EQ(Ffprobe(path, "format_tags=track").value_or(""), "5");
  EXPECT_FALSE(Ffprobe(path, "format_tags=comment"));
  EXPECT_FALSE(Ffprobe(path, "format_tags=artist"));
}

TEST_F(Mp4WriterTest, RefusesWhatOneAacTrackCannotHold) {
  const std::string path = dir_ / "refusals.m4a";
  MP4FileHandle file = MP4CreateExx(path.c_str(), Mp4Brand::kM4a);
  ASSERT_NE(file, nullptr);
  const uint8_t* config = stereo_->config.data();
  EXPECT_FALSE(MP4SetTimeScaleExx(file, 0));
  EXPECT_EQ(MP4AddAudioTrackExx(file, 44100, 1024, 0x6B), MP4_INVALID_TRACK_ID);  // MP3
  EXPECT_EQ(MP4AddAudioTrackExx(file, 0, 1024, MP4_MPEG4_AUDIO_TYPE), MP4_INVALID_TRACK_ID);
  // Configuration and samples need a track.
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, 1, config, 2));
  const MP4TrackId track = StartTrack(file, *stereo_);
  ASSERT_NE(track, MP4_INVALID_TRACK_ID);
  EXPECT_EQ(MP4AddAudioTrackExx(file, 44100, 1024, MP4_MPEG4_AUDIO_TYPE), MP4_INVALID_TRACK_ID)
      << "a second track";
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, track + 1, config, 2));
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, track, nullptr, 2));
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, track, config, 0));
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, track, config, 1)) << "cut short";
  const uint8_t withoutChannels[2] = {0x12, 0x00};  // channels in a program config element
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, track, withoutChannels, 2));

  const auto& frames = stereo_->frames;
  auto write = [&](size_t i, MP4Duration duration, MP4Duration offset) {
    return MP4WriteSampleExx(file, track, frames[i].data(), static_cast<uint32_t>(frames[i].size()),
                             duration, offset, true);
  };
  EXPECT_FALSE(MP4WriteSampleExx(file, track + 1, frames[0].data(), 10, 1024, 1024, true));
  EXPECT_FALSE(MP4WriteSampleExx(file, track, frames[0].data(), 0, 1024, 1024, true));
  EXPECT_FALSE(MP4WriteSampleExx(file, track, nullptr, 10, 1024, 1024, true));
  EXPECT_FALSE(write(0, uint64_t{1} << 32, 1024)) << "a duration the sample table cannot hold";
  ASSERT_TRUE(write(0, 1024, 1024));
  EXPECT_TRUE(write(1, 0, 0)) << "nothing that plays: accepted, left out";
  EXPECT_FALSE(write(1, 1024, 512)) << "rendering offset after the first sample";
  EXPECT_TRUE(write(1, 1024, 0));
  EXPECT_TRUE(write(2, 600, 0));
  // The track is fixed once sound is stored.
  EXPECT_FALSE(MP4SetTimeScaleExx(file, 1000));
  EXPECT_FALSE(MP4SetAudioProfileLevelExx(file, 0x29));
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file, track, config, 2));
  EXPECT_EQ(MP4AddAudioTrackExx(file, 44100, 1024, MP4_MPEG4_AUDIO_TYPE), MP4_INVALID_TRACK_ID);
  ASSERT_TRUE(MP4CloseExx(file));

  EXPECT_EQ(FfprobeNumber(path, "stream=nb_frames", "a:0").value_or(0), 3);
  EXPECT_NEAR(FfprobeNumber(path, "format=duration").value_or(-1), (1024 + 600) / 44100.0, 0.001);
}

// An AudioSpecificConfig may give its rate as a 24-bit number instead of a table index.
// FFmpeg's decoder does not take such configurations, so mediainfo reads the track.
TEST_F(Mp4WriterTest, ConfigurationWithAnExplicitRate) {
  SONORELL_REQUIRE_TOOL("mediainfo");
  AacFrames aac = *stereo_;
  aac.config = {0x17, 0x80, 0x56, 0x22, 0x10};  // LC, 44100 Hz written out, 2 channels
  const std::string path = dir_ / "explicit.m4a";
  ASSERT_TRUE(WriteFile(path, Mp4Brand::kM4a, aac, false));
  const auto info = CommandOutput("mediainfo --Output='Audio;%Format%|%Channels%|%SamplingRate%' " +
                                  ShellQuote(path));
  ASSERT_TRUE(info);
  EXPECT_EQ(info->substr(0, info->find('\n')), "AAC|2|44100");

  const std::string cut = dir_ / "cut.m4a";
  const Handle file(MP4CreateExx(cut.c_str(), Mp4Brand::kM4a));
  ASSERT_NE(file, nullptr);
  const MP4TrackId track = MP4AddAudioTrackExx(file.get(), 44100, 1024, MP4_MPEG4_AUDIO_TYPE);
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(file.get(), track, aac.config.data(), 4))
      << "the channel configuration lies past the end";
}

TEST_F(Mp4WriterTest, MpegTwoAacTrackTypesAreAccepted) {
  for (const uint8_t type : {uint8_t{0x66}, uint8_t{0x67}, uint8_t{0x68}}) {
    const std::string path = dir_ / "mpeg2.m4a";
    const Handle file(MP4CreateExx(path.c_str(), Mp4Brand::kM4a));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(MP4AddAudioTrackExx(file.get(), 44100, 1024, type), 1u) << int{type};
  }
}

TEST_F(Mp4WriterTest, CallsWithoutAWritableFileFail) {
  uint8_t byte = 0;
  EXPECT_FALSE(MP4SetTimeScaleExx(nullptr, 90000));
  EXPECT_EQ(MP4AddAudioTrackExx(nullptr, 44100, 1024, 0x40), MP4_INVALID_TRACK_ID);
  EXPECT_FALSE(MP4SetAudioProfileLevelExx(nullptr, 0x0F));
  EXPECT_FALSE(MP4SetTrackESConfigurationExx(nullptr, 1, stereo_->config.data(), 2));
  EXPECT_FALSE(MP4SetMetadataNameExx(nullptr, "x"));
  EXPECT_FALSE(MP4SetMetadataTrackExx(nullptr, 1, 2));
  EXPECT_FALSE(MP4WriteSampleExx(nullptr, 1, &byte, 1, 1024, 0, true));
  EXPECT_FALSE(MP4CloseExx(nullptr));
  EXPECT_EQ(MP4CreateExx(nullptr), nullptr);
  EXPECT_EQ(MP4CreateExx(""), nullptr);

  // A file opened for reading takes no writes and closes fine.
  const std::string path = dir_ / "read.m4a";
  ASSERT_TRUE(WriteFile(path, Mp4Brand::kM4a, *stereo_, true));
  const std::string before = ReadFileBytes(path);
  MP4FileHandle reader = MP4ReadExx(path.c_str());
  ASSERT_NE(reader, nullptr);
  EXPECT_FALSE(MP4SetTimeScaleExx(reader, 90000));
  EXPECT_EQ(MP4AddAudioTrackExx(reader, 44100, 1024, 0x40), MP4_INVALID_TRACK_ID);
  EXPECT_FALSE(MP4SetMetadataNameExx(reader, "changed"));
  EXPECT_FALSE(MP4SetMetadataTrackExx(reader, 9, 9));
  EXPECT_FALSE(MP4WriteSampleExx(reader, 1, &byte, 1, 1024, 0, true));
  EXPECT_TRUE(MP4CloseExx(reader));
  EXPECT_EQ(ReadFileBytes(path), before) << "reading changed the file";
}

TEST_F(Mp4WriterTest, NoFileWhereNoneCanBeCreated) {
  const std::string notAFolder = dir_ / "plain-file";
  WriteFileBytes(notAFolder, "x");
  for (const std::string& path :
       {dir_ / "missing-folder/out.m4a", notAFolder + "/out.m4a", dir_.path()}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(MP4CreateExx(path.c_str(), Mp4Brand::kM4a), nullptr);
  }
  EXPECT_EQ(sonorell::testing::ListFolder(dir_.path()), "plain-file\ntone-44100-2.aac\n");

  if (geteuid() != 0) {  // permissions do not hold back root
    const std::string locked = dir_ / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(MP4CreateExx((locked + "/out.m4a").c_str(), Mp4Brand::kM4b), nullptr);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
    EXPECT_TRUE(std::filesystem::is_empty(locked));
  }
}

TEST_F(Mp4WriterTest, CreateReplacesAnExistingFileAndKeepsOddNames) {
  const std::string path = dir_ / "old.m4a";
  WriteFileBytes(path, std::string(300'000, 'x'));
  ASSERT_TRUE(WriteFile(path, Mp4Brand::kM4a, *stereo_, false));
  EXPECT_NEAR(FfprobeNumber(path, "format=duration").value_or(-1), kStereoSamples / 44100.0, 0.001);
  EXPECT_LT(std::filesystem::file_size(path), 300'000u);

  // A name that reads like a protocol stays a file name.
  const std::string folder = dir_ / "http:";
  std::filesystem::create_directory(folder);
  const std::string odd = folder + "/pipe:1.m4a";
  ASSERT_TRUE(WriteFile(odd, Mp4Brand::kM4a, *stereo_, false));
  EXPECT_GT(std::filesystem::file_size(odd), 1000u);
  const Handle reader(MP4ReadExx(odd.c_str()));
  EXPECT_NE(reader, nullptr);
}

// A full disk shows as a failed close, whether the sound or only the index did not fit.
TEST_F(Mp4WriterTest, WriteFailuresMakeCloseFail) {
  const std::string whole = dir_ / "whole.m4a";
  ASSERT_TRUE(WriteFile(whole, Mp4Brand::kM4a, *stereo_, true));
  const auto size = std::filesystem::file_size(whole);
  for (const rlim_t limit : {rlim_t{4096}, static_cast<rlim_t>(size - 64)}) {
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    const std::string path = dir_ / "limited.m4a";
    MP4FileHandle file = MP4CreateExx(path.c_str(), Mp4Brand::kM4a);
    ASSERT_NE(file, nullptr);
    bool closed = true;
    {
      const FileSizeLimit full(limit);
      const MP4TrackId track = StartTrack(file, *stereo_);
      SetAllTags(file);
      StoreFrames(file, track, *stereo_);
      closed = MP4CloseExx(file);
    }
    EXPECT_FALSE(closed);
    EXPECT_LE(std::filesystem::file_size(path), limit);
  }
}

TEST_F(Mp4WriterTest, CloseFailsWithoutTrackOrConfiguration) {
  const std::string noTrack = dir_ / "no-track.m4a";
  MP4FileHandle file = MP4CreateExx(noTrack.c_str(), Mp4Brand::kM4a);
  ASSERT_NE(file, nullptr);
  EXPECT_TRUE(MP4SetMetadataNameExx(file, "lonely"));
  EXPECT_FALSE(MP4CloseExx(file));

  const std::string noConfig = dir_ / "no-config.m4a";
  file = MP4CreateExx(noConfig.c_str(), Mp4Brand::kM4a);
  ASSERT_NE(file, nullptr);
  const MP4TrackId track = MP4AddAudioTrackExx(file, 44100, 1024, MP4_MPEG4_AUDIO_TYPE);
  const auto& frame = stereo_->frames[0];
  EXPECT_FALSE(MP4WriteSampleExx(file, track, frame.data(), static_cast<uint32_t>(frame.size()),
                                 1024, 1024, true));
  EXPECT_FALSE(MP4CloseExx(file));
}

// Sound that lies wholly inside the encoder delay: the file stays valid instead of getting an
// edit of negative length. Without any sound the file is still a valid MP4 file with its tags
// (the muxer leaves the empty track out).
TEST_F(Mp4WriterTest, ShortTracksStayValid) {
  const std::string shortFile = dir_ / "short.m4a";
  MP4FileHandle file = MP4CreateExx(shortFile.c_str(), Mp4Brand::kM4a);
  ASSERT_NE(file, nullptr);
  MP4TrackId track = StartTrack(file, *stereo_);
  const auto& frame = stereo_->frames[0];
  EXPECT_TRUE(MP4WriteSampleExx(file, track, frame.data(), static_cast<uint32_t>(frame.size()), 500,
                                1024, true));
  ASSERT_TRUE(MP4CloseExx(file));
  const auto duration = FfprobeNumber(shortFile, "format=duration");
  ASSERT_TRUE(duration);
  EXPECT_GE(*duration, 0);
  EXPECT_LE(*duration, 500 / 44100.0 + 0.001);
  EXPECT_TRUE(FfmpegS16(shortFile));

  const std::string empty = dir_ / "empty.m4a";
  file = MP4CreateExx(empty.c_str(), Mp4Brand::kM4a);
  ASSERT_NE(file, nullptr);
  track = StartTrack(file, *stereo_);
  EXPECT_NE(track, MP4_INVALID_TRACK_ID);
  EXPECT_TRUE(MP4SetMetadataNameExx(file, "silence"));
  ASSERT_TRUE(MP4CloseExx(file));
  EXPECT_EQ(Ffprobe(empty, "format_tags=major_brand").value_or(""), "M4A ");
  EXPECT_EQ(Ffprobe(empty, "format_tags=title").value_or(""), "silence");
  EXPECT_EQ(FfprobeNumber(empty, "format=duration").value_or(-1), 0);
}

// --- Reading ---

std::optional<std::string> Tag(MP4FileHandle file, bool (*get)(MP4FileHandle, char**)) {
  char* raw = reinterpret_cast<char*>(1);  // must be reset by the call
  const bool found = get(file, &raw);
  const std::unique_ptr<char, StringFreer> text(found ? raw : nullptr);
  if (!found) {
    EXPECT_EQ(raw, nullptr);
    return std::nullopt;
  }
  return std::string(text.get());
}

class Mp4ReaderTest : public ::testing::Test {
 protected:
  void SetUp() override { SONORELL_REQUIRE_FFMPEG(); }

  // An AAC file made by ffmpeg with the given extra arguments (metadata, flags).
  std::string Make(const std::string& name, const std::string& args) {
    const std::string path = dir_ / name;
    EXPECT_TRUE(
        MakeWithFfmpeg("-f lavfi -i sine=frequency=330:duration=0.5 -c:a aac " + args, path));
    return path;
  }

  TempFolder dir_;
};

TEST_F(Mp4ReaderTest, ReadsTheTagsOtherProgramsWrote) {
  const std::string tags = std::string(" -metadata title=") + ShellQuote(kTitle) +
                           " -metadata artist=" + ShellQuote(kArtist) +
                           " -metadata album=" + ShellQuote(kAlbum) + " -metadata date=1999" +
                           " -metadata genre=" + ShellQuote(kGenre) +
                           " -metadata comment=" + ShellQuote(kComment) +
                           " -metadata composer=" + ShellQuote(kComposer) + " -metadata track=7/15";
  for (const std::string name : {"a.m4a", "a.mp4", "a.m4b"}) {
    SCOPED_TRACE(name);
    const std::string path = Make(name, tags);
    const Handle file(MP4ReadExx(path.c_str()));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataNameExx).value_or("-"), kTitle);
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataArtistExx).value_or("-"), kArtist);
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataAlbumExx).value_or("-"), kAlbum);
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataYearExx).value_or("-"), "1999");
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataGenreExx).value_or("-"), kGenre);
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataCommentExx).value_or("-"), kComment);
    EXPECT_EQ(Tag(file.get(), MP4GetMetadataWriterExx).value_or("-"), kComposer);
    uint16_t track = 0;
    uint16_t total = 0;
    ASSERT_TRUE(MP4GetMetadataTrackExx(file.get(), &track, &total));
    EXPECT_EQ(track, 7);
    EXPECT_EQ(total, 15);
  }

  // QuickTime files belong to the family; ffmpeg gives them no composer or track number.
  const Handle movie(MP4ReadExx(Make("a.mov", tags).c_str()));
  ASSERT_NE(movie, nullptr);
  EXPECT_EQ(Tag(movie.get(), MP4GetMetadataNameExx).value_or("-"), kTitle);
  EXPECT_EQ(Tag(movie.get(), MP4GetMetadataGenreExx).value_or("-"), kGenre);
}

TEST_F(Mp4ReaderTest, MissingFieldsAreNotFound) {
  const std::string path = Make("few.m4a", "-metadata track=4 -metadata genre=Jazz");
  const Handle file(MP4ReadExx(path.c_str()));
  ASSERT_NE(file, nullptr);
  EXPECT_FALSE(Tag(file.get(), MP4GetMetadataNameExx));
  EXPECT_FALSE(Tag(file.get(), MP4GetMetadataArtistExx));
  EXPECT_FALSE(Tag(file.get(), MP4GetMetadataAlbumExx));
  EXPECT_FALSE(Tag(file.get(), MP4GetMetadataYearExx));
  EXPECT_FALSE(Tag(file.get(), MP4GetMetadataCommentExx));
  EXPECT_FALSE(Tag(file.get(), MP4GetMetadataWriterExx));
  EXPECT_EQ(Tag(file.get(), MP4GetMetadataGenreExx).value_or("-"), "Jazz");
  uint16_t track = 0;
  uint16_t total = 99;
  ASSERT_TRUE(MP4GetMetadataTrackExx(file.get(), &track, &total));
  EXPECT_EQ(track, 4);
  EXPECT_EQ(total, 0);
  EXPECT_FALSE(MP4GetMetadataTrackExx(file.get(), nullptr, &total));
  EXPECT_FALSE(MP4GetMetadataNameExx(file.get(), nullptr));

  const std::string none = Make("none.m4a", "");
  const Handle bare(MP4ReadExx(none.c_str()));
  ASSERT_NE(bare, nullptr);
  EXPECT_FALSE(MP4GetMetadataTrackExx(bare.get(), &track, &total));
  EXPECT_FALSE(Tag(bare.get(), MP4GetMetadataGenreExx));

  // A handle being written has nothing to read back.
  const std::string written = dir_ / "writing.m4a";
  const Handle writer(MP4CreateExx(written.c_str(), Mp4Brand::kM4a));
  ASSERT_NE(writer, nullptr);
  EXPECT_TRUE(MP4SetMetadataNameExx(writer.get(), "x"));
  EXPECT_FALSE(Tag(writer.get(), MP4GetMetadataNameExx));
  EXPECT_FALSE(MP4GetMetadataTrackExx(writer.get(), &track, &total));
  EXPECT_FALSE(Tag(nullptr, MP4GetMetadataNameExx));
  EXPECT_FALSE(MP4GetMetadataTrackExx(nullptr, &track, &total));
  FreeMemExx(nullptr);
}

TEST_F(Mp4ReaderTest, RefusesEverythingThatIsNoMp4File) {
  const std::string m4a = Make("good.m4a", "-metadata title=Good");
  std::vector<std::string> paths = {
      Make("tone.aac", "-f adts -metadata title=x"),
      dir_ / "missing.m4a",
      dir_.path(),
  };
  const std::string wav = dir_ / "tone.wav";
  ASSERT_TRUE(MakeWithFfmpeg("-f lavfi -i sine=duration=0.2 -metadata title=Wave", wav));
  paths.push_back(wav);
  const std::string mp3 = dir_ / "tone.mp3";
  if (MakeWithFfmpeg("-f lavfi -i sine=duration=0.2 -metadata title=Mp3", mp3))
    paths.push_back(mp3);
  const std::string empty = dir_ / "empty.m4a";
  WriteFileBytes(empty, "");
  paths.push_back(empty);
  std::mt19937 random(7);
  std::string noise(20'000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string noisy = dir_ / "noise.m4a";
  WriteFileBytes(noisy, noise);
  paths.push_back(noisy);
  // ffmpeg puts the index last: without its end the file has no index at all.
  const std::string cut = dir_ / "cut.m4a";
  const std::string bytes = ReadFileBytes(m4a);
  WriteFileBytes(cut, bytes.substr(0, bytes.size() / 2));
  paths.push_back(cut);
  const std::string header = dir_ / "header-only.m4a";
  WriteFileBytes(header, bytes.substr(0, 12));
  paths.push_back(header);

  for (const std::string& path : paths) {
    SCOPED_TRACE(path);
    MP4FileHandle file = MP4ReadExx(path.c_str());
    EXPECT_EQ(file, nullptr);
    MP4CloseExx(file);
  }
  EXPECT_EQ(MP4ReadExx(nullptr), nullptr);
  EXPECT_EQ(MP4ReadExx(""), nullptr);
}

TEST_F(Mp4ReaderTest, TagsBeforeTheSoundSurviveACutFile) {
  const std::string whole = Make("front.m4a", "-movflags +faststart -metadata title=Front");
  const std::string bytes = ReadFileBytes(whole);
  const std::string cut = dir_ / "front-cut.m4a";
  WriteFileBytes(cut, bytes.substr(0, bytes.size() * 2 / 3));
  const Handle file(MP4ReadExx(cut.c_str()));
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(Tag(file.get(), MP4GetMetadataNameExx).value_or("-"), "Front");
}

// Damaged copies of a tagged file: every one opens or is refused, and the getters hand out
// only terminated UTF-8 (run under the sanitizers to see overruns).
TEST_F(Mp4ReaderTest, DamagedFilesNeverCrash) {
  const std::string source =
      Make("victim.m4a", "-movflags +faststart -metadata title=Victim -metadata track=2/9 " +
                             std::string("-metadata artist=") + ShellQuote(kArtist));
  const std::string bytes = ReadFileBytes(source);
  ASSERT_GT(bytes.size(), 2000u);
  const std::string path = dir_ / "damaged.m4a";
  std::mt19937 random(2024);
  int opened = 0;
  for (int round = 0; round < 300; ++round) {
    std::string damaged = bytes;
    if (round % 3 == 0) {
      damaged.resize(random() % bytes.size());
    }
    // Most damage goes into the index and tags at the front, where the parsing happens.
    const int flips = 1 + static_cast<int>(random() % 8);
    for (int i = 0; i < flips && !damaged.empty(); ++i) {
      const size_t at = random() % std::min<size_t>(damaged.size(), 1500);
      damaged[at] = static_cast<char>(random());
    }
    WriteFileBytes(path, damaged);
    const Handle file(MP4ReadExx(path.c_str()));
    if (!file) continue;
    ++opened;
    for (auto get : {MP4GetMetadataNameExx, MP4GetMetadataArtistExx, MP4GetMetadataAlbumExx,
                     MP4GetMetadataYearExx, MP4GetMetadataGenreExx, MP4GetMetadataCommentExx,
                     MP4GetMetadataWriterExx}) {
      if (const auto text = Tag(file.get(), get)) {
        EXPECT_LT(text->size(), bytes.size());
      }
    }
    uint16_t track = 0;
    uint16_t total = 0;
    MP4GetMetadataTrackExx(file.get(), &track, &total);
  }
  EXPECT_GT(opened, 0) << "no damaged copy opened at all: the damage is too coarse";
}

TEST_F(Mp4ReaderTest, SharedSamples) {
  SONORELL_REQUIRE_SAMPLE("chord.m4a");
  const Handle music(MP4ReadExx(SamplePath("chord.m4a").c_str()));
  ASSERT_NE(music, nullptr);
  EXPECT_EQ(Tag(music.get(), MP4GetMetadataNameExx).value_or("-"), "Chord M4A");
  EXPECT_EQ(Tag(music.get(), MP4GetMetadataArtistExx).value_or("-"), "Sample Artist");
  EXPECT_FALSE(Tag(music.get(), MP4GetMetadataAlbumExx));

  SONORELL_REQUIRE_SAMPLE("clip-with-video.mp4");
  const Handle clip(MP4ReadExx(SamplePath("clip-with-video.mp4").c_str()));
  ASSERT_NE(clip, nullptr);
  EXPECT_FALSE(Tag(clip.get(), MP4GetMetadataNameExx));

  SONORELL_REQUIRE_SAMPLE("chord.mp3");
  EXPECT_EQ(MP4ReadExx(SamplePath("chord.mp3").c_str()), nullptr);
}

}  // namespace
}  // namespace platform
