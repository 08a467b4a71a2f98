#include "engine/sources/ogg/ogg_vorbis_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "tests/engine/encoders/tags/locale_guard.h"
#include "tests/support/decoding.h"
#include "tests/support/latin1_locale.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::DecodeAll;
using testing::Decoded;
using testing::LocaleGuard;
using testing::ReadFileBytes;
using testing::SamplePath;
using testing::ShellQuote;
using testing::SplitChannels;
using testing::TempFolder;
using testing::WriteFileBytes;

// ---- what the tools make of a file ----

bool Succeeds(const std::string& command) {
  return CommandOutput(command).has_value();
}

std::vector<int16_t> ToSamples(const std::string& raw) {
  std::vector<int16_t> v(raw.size() / 2);
  for (size_t i = 0; i < v.size(); ++i) {
    v[i] = static_cast<int16_t>(static_cast<uint8_t>(raw[2 * i]) |
                                (static_cast<uint8_t>(raw[2 * i + 1]) << 8));
  }
  return v;
}

// oggdec decodes through libvorbisfile, as we do: its samples are the reference.
std::optional<std::vector<int16_t>> OggdecDecode16(const std::string& path) {
  const auto raw = CommandOutput("oggdec -Q -R -b 16 -e 0 -s 1 -o - " + ShellQuote(path));
  if (!raw) return std::nullopt;
  return ToSamples(*raw);
}

std::optional<double> FfprobeDuration(const std::string& path) {
  const auto out = CommandOutput(
      "ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 " + ShellQuote(path));
  if (!out || out->empty()) return std::nullopt;
  return std::strtod(out->c_str(), nullptr);
}

// One tone per channel (440 Hz, 550 Hz, ...) so that swapped channels show.
std::string MakeOgg(const TempFolder& dir, const std::string& name, int rate, int channels,
                    double seconds, const std::string& oggencOptions = "") {
  std::string tones;
  for (int c = 0; c < channels; ++c) tones += " sine " + std::to_string(440 + 110 * c);
  const std::string wav = dir / (name + ".wav");
  const std::string ogg = dir / name;
  const bool ok =
      Succeeds("sox -q -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) +
               " -b 16 " + ShellQuote(wav) + " synth " + std::to_string(seconds) + tones +
               " vol 0.5") &&
      Succeeds("oggenc -Q " + oggencOptions + " -o " + ShellQuote(ogg) + " " + ShellQuote(wav));
  EXPECT_TRUE(ok) << "could not make " << name;
  return ogg;
}

// Replaces the comments of a file; tags are "NAME=value" in UTF-8.
std::string WithComments(const TempFolder& dir, const std::string& in, const std::string& name,
                         const std::vector<std::string>& tags) {
  std::string command = "vorbiscomment -w -R";
  for (const std::string& t : tags) command += " -t " + ShellQuote(t);
  const std::string out = dir / name;
  EXPECT_TRUE(Succeeds(command + " " + ShellQuote(in) + " " + ShellQuote(out)));
  return out;
}

struct Opened {
  bool ok = false;
  Decoded d;
  int maxFrames = 0;
};

// Decodes the file, also noting the largest block one Read gave.
Opened DecodePath(const std::string& path) {
  Opened o;
  OggVorbisSource source;
  o.ok = source.Open(path, 44100);
  if (!o.ok) return o;
  o.d = DecodeAll(source);
  // A second pass only for the block sizes; DecodeAll already checked their bound.
  OggVorbisSource again;
  EXPECT_TRUE(again.Open(path, 0));
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  for (int n; (n = again.Read(l.data(), r.data())) > 0;) o.maxFrames = std::max(o.maxFrames, n);
  return o;
}

struct Tags {
  std::string title, artist, album, year, genre, comment, track, composer, copyright;
  bool found = false;
};

Tags ReadAllTags(OggVorbisSource& source, const std::string& prefill = "") {
  Tags t;
  t.title = t.artist = t.album = t.year = t.genre = t.comment = t.track = t.composer = t.copyright =
      prefill;
  t.found = source.ReadTags(t.title, t.artist, t.album, t.year, t.genre, t.comment, t.track,
                            t.composer, t.copyright);
  return t;
}

Tags TagsOf(const std::string& path) {
  OggVorbisSource source;
  EXPECT_TRUE(source.Open(path, 0)) << path;
  return ReadAllTags(source, "stale");
}

int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  int worst = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    worst = std::max(worst, std::abs(int{a[i]} - int{b[i]}));
  return worst;
}

// ---- Ogg pages, for damage the tools will not write ----

uint32_t OggCrc(const std::string& page) {
  static const std::array<uint32_t, 256> table = [] {
    std::array<uint32_t, 256> t{};
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t r = i << 24;
      for (int k = 0; k < 8; ++k) r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
      t[i] = r;
    }
    return t;
  }();
  uint32_t crc = 0;
  for (size_t i = 0; i < page.size(); ++i) {
    const uint8_t byte = (i >= 22 && i < 26) ? 0 : static_cast<uint8_t>(page[i]);
    crc = (crc << 8) ^ table[((crc >> 24) & 0xFF) ^ byte];
  }
  return crc;
}

void PutLe32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>(v >> (8 * i));
}

uint32_t GetLe32(const std::string& s, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | static_cast<uint8_t>(s[at + static_cast<size_t>(i)]);
  return v;
}

void Reseal(std::string& page) {
  PutLe32(page, 22, OggCrc(page));
}

std::vector<std::string> SplitPages(const std::string& file) {
  std::vector<std::string> pages;
  size_t at = 0;
  while (at + 27 <= file.size() && file.compare(at, 4, "OggS") == 0) {
    const size_t segments = static_cast<uint8_t>(file[at + 26]);
    size_t body = 0;
    for (size_t i = 0; i < segments; ++i) body += static_cast<uint8_t>(file[at + 27 + i]);
    const size_t size = 27 + segments + body;
    pages.push_back(file.substr(at, size));
    at += size;
  }
  return pages;
}

size_t LastPageSize(const std::string& path) {
  const std::vector<std::string> pages = SplitPages(ReadFileBytes(path));
  return pages.empty() ? 0 : pages.back().size();
}

std::string Join(const std::vector<std::string>& pages) {
  std::string s;
  for (const auto& p : pages) s += p;
  return s;
}

// A page that only continues a packet which never ends, numbered out of sequence: the
// decoder sees a hole in the stream and gets no sound from it.
std::string HolePage(uint32_t serial, uint32_t sequence) {
  std::string page("OggS\0\x01", 6);
  page.append(8, '\xFF');  // no granule position
  page.append(12, '\0');   // serial, sequence, checksum
  PutLe32(page, 14, serial);
  PutLe32(page, 18, sequence);
  page.push_back('\x01');
  page.push_back('\xFF');
  page.append(255, '\x55');
  Reseal(page);
  return page;
}

// The identification header is the first page's only packet: channels at byte 11 of the
// packet, rate at 12, nominal bitrate at 20.
std::string PatchIdHeader(const std::string& file, size_t packetOffset, uint32_t value,
                          size_t width) {
  std::vector<std::string> pages = SplitPages(file);
  std::string& first = pages.at(0);
  const size_t body = 27 + static_cast<uint8_t>(first[26]);
  if (width == 1) {
    first[body + packetOffset] = static_cast<char>(value);
  } else {
    PutLe32(first, body + packetOffset, value);
  }
  Reseal(first);
  return Join(pages);
}

// ---- a file written by someone else ----

TEST(OggVorbisSourceSample, MatchesVorbisfileAndFfmpeg) {
  SONORELL_REQUIRE_SAMPLE("complete.oga");
  SONORELL_REQUIRE_TOOL("oggdec");
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string path = SamplePath("complete.oga");
  const Opened o = DecodePath(path);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.d.channels, 2);
  EXPECT_EQ(o.d.outputChannels, 2);
  EXPECT_EQ(o.d.bits, 16);
  EXPECT_EQ(o.d.sampleRate, 44100);
  EXPECT_LE(o.maxFrames, 1024);

  const auto probed = FfprobeDuration(path);
  ASSERT_TRUE(probed);
  EXPECT_EQ(o.d.duration, static_cast<int>(*probed));
  const double decodedSeconds = static_cast<double>(o.d.left.size()) / o.d.sampleRate;
  EXPECT_NEAR(decodedSeconds, *probed, 0.030);
  // ffprobe counts 48022 frames in its stream duration; so do we.
  EXPECT_EQ(o.d.left.size(), 48022u);

  // vorbisfile's raw length ends where the last page starts; the position reaches it.
  EXPECT_EQ(o.d.length, std::filesystem::file_size(path) - LastPageSize(path));
  EXPECT_EQ(o.d.finalPosition, o.d.length);

  const auto reference = OggdecDecode16(path);
  ASSERT_TRUE(reference);
  std::vector<int16_t> left, right;
  SplitChannels(*reference, 2, 1, left, right);
  EXPECT_EQ(o.d.left, left);
  EXPECT_EQ(o.d.right, right);

  // ffmpeg has a decoder of its own, in floating point with its own rounding to 16 bits:
  // the same frames, within a step or two.
  const auto ffmpeg = testing::FfmpegDecode16(path);
  ASSERT_TRUE(ffmpeg);
  std::vector<int16_t> fl, fr;
  SplitChannels(*ffmpeg, 2, 1, fl, fr);
  EXPECT_EQ(fl.size(), o.d.left.size());
  EXPECT_LE(MaxDifference(fl, o.d.left), 2);
  EXPECT_LE(MaxDifference(fr, o.d.right), 2);
}

TEST(OggVorbisSourceSample, PropertiesAsOgginfoReports) {
  SONORELL_REQUIRE_SAMPLE("complete.oga");
  SONORELL_REQUIRE_TOOL("ogginfo");
  const std::string path = SamplePath("complete.oga");
  const auto info = CommandOutput("ogginfo " + ShellQuote(path));
  ASSERT_TRUE(info);
  ASSERT_NE(info->find("Nominal bitrate: 192.000000 kb/s"), std::string::npos) << *info;
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetBitrate(), 192);
  EXPECT_EQ(source.GetChannelMode(), 4);
  // vorbisfile has read the headers and the first sound page to open the file.
  EXPECT_GT(source.GetPosition(), 0u);
  EXPECT_LT(source.GetPosition(), source.GetLength());
  // Neither ffprobe nor vorbiscomment finds a comment in this file.
  const auto listed = CommandOutput("vorbiscomment -l " + ShellQuote(path));
  ASSERT_TRUE(listed);
  EXPECT_EQ(*listed, "");
  EXPECT_TRUE(source.Comments().empty());
  const Tags t = ReadAllTags(source, "stale");
  EXPECT_TRUE(t.found);
  for (const std::string* f : {&t.title, &t.artist, &t.album, &t.year, &t.genre, &t.comment,
                               &t.track, &t.composer, &t.copyright})
    EXPECT_EQ(*f, "");
}

// ---- channel layouts and block sizes ----

class OggVorbisSourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "oggenc", "oggdec", "vorbiscomment"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
  }
  TempFolder dir_;
};

TEST_F(OggVorbisSourceTest, MonoGoesStraightIntoTheLeftBuffer) {
  // At this rate and quality oggenc uses 4096-sample long blocks: 2048 samples a packet.
  const std::string path = MakeOgg(dir_, "mono.ogg", 44100, 1, 1.5, "-q -1");
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 44100));
  EXPECT_EQ(source.GetChannels(), 1);
  EXPECT_EQ(source.GetOutputChannels(), 1);
  EXPECT_EQ(source.GetSampleRate(), 44100);
  EXPECT_EQ(source.GetDuration(), 1);
  // No right buffer at all, and nothing written past the block.
  std::vector<int16_t> left(BlockFrames + 16, 0x7A7A);
  std::vector<int16_t> all;
  int largest = 0;
  for (int n; (n = source.Read(left.data(), nullptr)) > 0;) {
    ASSERT_LE(n, BlockFrames);
    largest = std::max(largest, n);
    all.insert(all.end(), left.begin(), left.begin() + n);
  }
  for (size_t i = BlockFrames; i < left.size(); ++i) EXPECT_EQ(left[i], 0x7A7A);
  EXPECT_EQ(largest, BlockFrames) << "mono blocks are not capped at the stereo size";
  const auto reference = OggdecDecode16(path);
  ASSERT_TRUE(reference);
  EXPECT_EQ(all, *reference);
  EXPECT_EQ(source.Read(left.data(), nullptr), 0) << "the end stays the end";
}

TEST_F(OggVorbisSourceTest, StereoComesInBlocksOfAtMost1024Frames) {
  const std::string path = MakeOgg(dir_, "stereo.ogg", 48000, 2, 2.2, "-q -1");
  const Opened o = DecodePath(path);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.d.channels, 2);
  EXPECT_EQ(o.d.sampleRate, 48000);
  EXPECT_EQ(o.d.duration, 2);
  EXPECT_EQ(o.maxFrames, 1024) << "long blocks fill the interleaving buffer";
  const auto reference = OggdecDecode16(path);
  ASSERT_TRUE(reference);
  std::vector<int16_t> left, right;
  SplitChannels(*reference, 2, 1, left, right);
  EXPECT_EQ(o.d.left, left);
  EXPECT_EQ(o.d.right, right);
  EXPECT_EQ(o.d.left.size(), 105600u);
  EXPECT_EQ(o.d.finalPosition, o.d.length);
}

TEST_F(OggVorbisSourceTest, SixChannelsDeliverFrontLeftAndFrontRight) {
  const std::string path = MakeOgg(dir_, "six.ogg", 44100, 6, 1.0);
  const Opened o = DecodePath(path);
  ASSERT_TRUE(o.ok);
  EXPECT_EQ(o.d.channels, 6);
  EXPECT_EQ(o.d.outputChannels, 2);
  EXPECT_LE(o.maxFrames, 4096 / (2 * 6));
  EXPECT_EQ(o.maxFrames, 341) << "whole frames of a full interleaving buffer";
  const auto reference = OggdecDecode16(path);
  ASSERT_TRUE(reference);
  // Vorbis 5.1 is FL, C, FR, RL, RR, LFE: the right buffer gets the third channel.
  std::vector<int16_t> first, frontRight;
  SplitChannels(*reference, 6, 2, first, frontRight);
  EXPECT_EQ(o.d.left, first);
  EXPECT_EQ(o.d.right, frontRight);
  EXPECT_EQ(o.d.left.size(), 44100u);
}

TEST_F(OggVorbisSourceTest, ThreeChannelsAndEightChannels) {
  for (int channels : {3, 8}) {
    const std::string path =
        MakeOgg(dir_, "many" + std::to_string(channels) + ".ogg", 32000, channels, 0.5);
    const Opened o = DecodePath(path);
    ASSERT_TRUE(o.ok) << channels;
    EXPECT_EQ(o.d.channels, channels);
    EXPECT_EQ(o.maxFrames, 4096 / (2 * channels));
    const auto reference = OggdecDecode16(path);
    ASSERT_TRUE(reference);
    std::vector<int16_t> first, frontRight;
    SplitChannels(*reference, channels, 2, first, frontRight);  // L, C, R, ...
    EXPECT_EQ(o.d.left, first) << channels;
    EXPECT_EQ(o.d.right, frontRight) << channels;
  }
}

TEST_F(OggVorbisSourceTest, FfmpegWrittenFileAgreesWithFfprobe) {
  SONORELL_REQUIRE_TOOL("ffmpeg");
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string path = dir_ / "lavc.ogg";
  ASSERT_TRUE(
      Succeeds("ffmpeg -nostdin -v error -f lavfi -i sine=frequency=1000:duration=3.7 "
               "-ac 2 -ar 44100 -c:a libvorbis -q:a 4 " +
               ShellQuote(path)));
  const Opened o = DecodePath(path);
  ASSERT_TRUE(o.ok);
  const auto probed = FfprobeDuration(path);
  ASSERT_TRUE(probed);
  EXPECT_EQ(o.d.duration, 3);
  EXPECT_NEAR(static_cast<double>(o.d.left.size()) / 44100, *probed, 0.030);
  const auto reference = OggdecDecode16(path);
  ASSERT_TRUE(reference);
  std::vector<int16_t> left, right;
  SplitChannels(*reference, 2, 1, left, right);
  EXPECT_EQ(o.d.left, left);
  const auto ffmpeg = testing::FfmpegDecode16(path);
  ASSERT_TRUE(ffmpeg);
  SplitChannels(*ffmpeg, 2, 1, left, right);
  EXPECT_LE(MaxDifference(left, o.d.left), 2);
}

// ---- properties ----

TEST_F(OggVorbisSourceTest, BitrateIsTheNominalRateInKilobits) {
  const std::string path = MakeOgg(dir_, "managed.ogg", 44100, 2, 1.0, "--managed -b 160");
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_EQ(source.GetBitrate(), 160);
}

TEST_F(OggVorbisSourceTest, UnsetNominalBitrateFallsBackToTheMeasuredAverage) {
  SONORELL_REQUIRE_TOOL("ogginfo");
  const double seconds = 10.0;
  const std::string made = MakeOgg(dir_, "q.ogg", 44100, 2, seconds);
  const std::string path = dir_ / "unset.ogg";
  WriteFileBytes(path, PatchIdHeader(ReadFileBytes(made), 20, 0, 4));
  const auto info = CommandOutput("ogginfo " + ShellQuote(path));
  ASSERT_TRUE(info);
  ASSERT_NE(info->find("Nominal bitrate not set"), std::string::npos) << *info;
  const size_t at = info->find("Average bitrate: ");
  ASSERT_NE(at, std::string::npos) << *info;
  const double average = std::strtod(info->c_str() + at + 17, nullptr);
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  // vorbisfile's average leaves out the last page, and the result is truncated.
  const double lastPageKbit = LastPageSize(path) * 8 / seconds / 1000;
  EXPECT_LE(source.GetBitrate(), average);
  EXPECT_GE(source.GetBitrate(), average - lastPageKbit - 1.0);
  EXPECT_GT(source.GetBitrate(), 0);
}

TEST_F(OggVorbisSourceTest, PositionFollowsTheStreamAndCloseResetsEverything) {
  const std::string path = MakeOgg(dir_, "p.ogg", 44100, 2, 20.0);
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  const uint64_t length = source.GetLength();
  EXPECT_EQ(length, std::filesystem::file_size(path) - LastPageSize(path));
  std::vector<int16_t> l(BlockFrames), r(BlockFrames);
  uint64_t previous = source.GetPosition();
  bool moved = false;
  while (source.Read(l.data(), r.data()) > 0) {
    const uint64_t now = source.GetPosition();
    EXPECT_GE(now, previous);
    EXPECT_LE(now, length);
    moved = moved || (now > previous && now < length);
    previous = now;
  }
  EXPECT_TRUE(moved) << "progress only at the ends";
  EXPECT_EQ(source.GetPosition(), length);

  source.Close();
  EXPECT_EQ(source.GetLength(), 0u);
  EXPECT_EQ(source.GetPosition(), 0u);
  EXPECT_EQ(source.GetChannels(), 0);
  EXPECT_EQ(source.GetSampleRate(), 0);
  EXPECT_EQ(source.GetBitrate(), 0);
  EXPECT_EQ(source.GetDuration(), 0);
  EXPECT_EQ(source.Read(l.data(), r.data()), 0);
  source.Close();  // twice is harmless

  // One object opened again reads the file afresh.
  ASSERT_TRUE(source.Open(path, 0));
  ASSERT_TRUE(source.Open(path, 0));
  EXPECT_LT(source.GetPosition(), length);
  EXPECT_EQ(DecodeAll(source).left.size(), 882000u);
}

// ---- comments ----

TEST_F(OggVorbisSourceTest, AllNineFieldsAsFfprobeReportsThem) {
  SONORELL_REQUIRE_TOOL("ffprobe");
  const std::string base = MakeOgg(dir_, "t.ogg", 44100, 1, 0.3);
  const std::string path =
      WithComments(dir_, base, "tags.ogg",
                   {"TITLE=The Title", "ARTIST=Somebody", "ALBUM=Album", "DATE=2004", "GENRE=Jazz",
                    "COMMENT=words = more words", "TRACKNUMBER=5", "COMPOSER=Writer",
                    "COPYRIGHT=(c) someone", "ENCODER=tool"});
  const Tags t = TagsOf(path);
  EXPECT_TRUE(t.found);
  const auto probed = CommandOutput(
      "ffprobe -v error -show_entries stream_tags -of default=nw=1:nk=0 " + ShellQuote(path));
  ASSERT_TRUE(probed);
  for (const std::string& line :
       {"TAG:TITLE=" + t.title, "TAG:ARTIST=" + t.artist, "TAG:ALBUM=" + t.album,
        "TAG:DATE=" + t.year, "TAG:GENRE=" + t.genre, "TAG:COMMENT=" + t.comment,
        "TAG:track=" + t.track, "TAG:COMPOSER=" + t.composer, "TAG:COPYRIGHT=" + t.copyright})
    EXPECT_NE(probed->find(line + "\n"), std::string::npos) << line << " in\n" << *probed;
  EXPECT_EQ(t.title, "The Title");
  EXPECT_EQ(t.comment, "words = more words") << "only the name's equals sign is taken off";
  EXPECT_EQ(t.track, "5");
  EXPECT_EQ(t.copyright, "(c) someone");
}

TEST_F(OggVorbisSourceTest, CommentsKeepTheirStreamOrder) {
  const std::string base = MakeOgg(dir_, "o.ogg", 44100, 1, 0.3);
  const std::string path =
      WithComments(dir_, base, "order.ogg", {"ZZZ=1", "AAA=2", "MMM=3", "ARTIST=x"});
  const auto listed = CommandOutput("vorbiscomment -l -R " + ShellQuote(path));
  ASSERT_TRUE(listed);
  std::string ours;
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  for (const std::string& c : source.Comments()) ours += c + "\n";
  EXPECT_EQ(ours, *listed);
}

TEST_F(OggVorbisSourceTest, TheLastOfTwoArtistsWins) {
  const std::string base =
      WithComments(dir_, MakeOgg(dir_, "a.ogg", 44100, 1, 0.3), "a1.ogg", {"ARTIST=First"});
  const std::string path = dir_ / "a2.ogg";
  ASSERT_TRUE(
      Succeeds("vorbiscomment -a -t 'ARTIST=Second' " + ShellQuote(base) + " " + ShellQuote(path)));
  const auto listed = CommandOutput("vorbiscomment -l " + ShellQuote(path));
  ASSERT_TRUE(listed);
  ASSERT_EQ(*listed, "ARTIST=First\nARTIST=Second\n");
  EXPECT_EQ(TagsOf(path).artist, "Second");
}

TEST_F(OggVorbisSourceTest, NamesMatchWhateverTheirCase) {
  const std::string path = WithComments(dir_, MakeOgg(dir_, "c.ogg", 44100, 1, 0.3), "case.ogg",
                                        {"title=lower", "Album=Mixed", "tRaCkNuMbEr=3/9",
                                         "ARTISTS=not the artist", "ARTIST", "DATE=", "GENREX=no"});
  const Tags t = TagsOf(path);
  EXPECT_EQ(t.title, "lower");
  EXPECT_EQ(t.album, "Mixed");
  EXPECT_EQ(t.track, "3/9");
  EXPECT_EQ(t.artist, "") << "ARTISTS= and a bare ARTIST are other names";
  EXPECT_EQ(t.year, "");
  EXPECT_EQ(t.genre, "");
}

TEST_F(OggVorbisSourceTest, AFileWithoutCommentsHasEmptyTags) {
  const std::string path =
      WithComments(dir_, MakeOgg(dir_, "n.ogg", 44100, 2, 0.3), "none.ogg", {});
  const auto listed = CommandOutput("vorbiscomment -l " + ShellQuote(path));
  ASSERT_TRUE(listed);
  ASSERT_EQ(*listed, "");
  const Tags t = TagsOf(path);
  EXPECT_TRUE(t.found);
  for (const std::string* f : {&t.title, &t.artist, &t.album, &t.year, &t.genre, &t.comment,
                               &t.track, &t.composer, &t.copyright})
    EXPECT_EQ(*f, "");
}

TEST_F(OggVorbisSourceTest, LongCommentsAreKeptWhole) {
  std::string text;
  for (int i = 0; text.size() < 5000; ++i) text += "word" + std::to_string(i) + " ";
  const std::string path =
      WithComments(dir_, MakeOgg(dir_, "l.ogg", 44100, 1, 0.3), "long.ogg",
                   {"COMMENT=" + text, "TITLE=" + std::string(1015, 't'), "ALBUM=after"});
  const Tags t = TagsOf(path);
  EXPECT_EQ(t.comment, text);
  EXPECT_EQ(t.title, std::string(1015, 't'));  // 1021 bytes with the name
  EXPECT_EQ(t.album, "after");
}

TEST_F(OggVorbisSourceTest, NonAsciiCommentsBecomeLocaleText) {
  const std::string path = WithComments(
      dir_, MakeOgg(dir_, "u.ogg", 44100, 1, 0.3), "utf8.ogg",
      {"TITLE=Привет, мир", "ARTIST=日本語のアーティスト", "ALBUM=plain", "GENRE=Ελληνικά"});
  {
    LocaleGuard utf8("C.UTF-8");
    ASSERT_TRUE(utf8.ok());
    const Tags t = TagsOf(path);
    EXPECT_EQ(t.title, "Привет, мир");
    EXPECT_EQ(t.artist, "日本語のアーティスト");
    EXPECT_EQ(t.album, "plain");
    EXPECT_EQ(t.genre, "Ελληνικά");
  }
  {
    // The test program starts in the C locale, whose ASCII counts as UTF-8.
    LocaleGuard ascii("C");
    ASSERT_TRUE(ascii.ok());
    const Tags t = TagsOf(path);
    EXPECT_EQ(t.title, "Привет, мир");
    EXPECT_EQ(t.genre, "Ελληνικά");
  }
  const testing::InLatin1Locale latin1;
  if (!latin1.ok()) GTEST_SKIP() << "localedef cannot make a Latin-1 locale here";
  // What Latin-1 cannot hold becomes "?", one per character; the other comments stay.
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  const Tags t = ReadAllTags(source);
  EXPECT_EQ(t.title, "??????, ???");
  EXPECT_EQ(t.album, "plain");
  EXPECT_TRUE(source.TagTextReplaced());
}

// Bytes that are not UTF-8 become replacement characters; the comment and the sound stay.
// Only the comments that are copied count as replaced.
TEST_F(OggVorbisSourceTest, MalformedUtf8CommentsGetReplacementCharacters) {
  const std::string made = WithComments(dir_, MakeOgg(dir_, "b.ogg", 44100, 1, 0.3), "b1.ogg",
                                        {"TITLE=abcdef", "NOTE=ghijkl", "ALBUM=kept"});
  // Turns a word into a lone continuation byte and an overlong form; same length, so only
  // the checksum of the comment page changes.
  const auto damaged = [&](const std::string& word, const std::string& name) {
    std::vector<std::string> pages = SplitPages(ReadFileBytes(made));
    EXPECT_GE(pages.size(), 2u);
    const size_t at = pages[1].find(word);
    EXPECT_NE(at, std::string::npos);
    pages[1].replace(at, 3, "\x80\xC0\xAF");
    Reseal(pages[1]);
    const std::string path = dir_ / name;
    WriteFileBytes(path, Join(pages));
    return path;
  };
  LocaleGuard utf8("C.UTF-8");
  ASSERT_TRUE(utf8.ok());
  OggVorbisSource source;
  ASSERT_TRUE(source.Open(damaged("abcdef", "bad-title.ogg"), 0));
  EXPECT_EQ(source.Comments(), (std::vector<std::string>{"TITLE=\uFFFD\uFFFD\uFFFD"
                                                         "def",
                                                         "NOTE=ghijkl", "ALBUM=kept"}));
  EXPECT_EQ(ReadAllTags(source).album, "kept");
  EXPECT_TRUE(source.TagTextReplaced());
  EXPECT_GT(DecodeAll(source).left.size(), 0u) << "the sound is still there";

  OggVorbisSource note;
  ASSERT_TRUE(note.Open(damaged("ghijkl", "bad-note.ogg"), 0));
  EXPECT_EQ(ReadAllTags(note).title, "abcdef");
  EXPECT_FALSE(note.TagTextReplaced()) << "no field takes the NOTE comment";
}

// ---- chained streams ----

TEST_F(OggVorbisSourceTest, ChainedLinksOfOneFormatAreReadThrough) {
  // Short links of one page of sound each, which vorbisfile alone would skip the first of
  // (oggdec loses it too), and longer ones.
  for (const double seconds : {1.25, 4.0}) {
    const std::string a = MakeOgg(dir_, "a.ogg", 44100, 2, seconds);
    const std::string b = MakeOgg(dir_, "b.ogg", 44100, 2, 1.0);
    const std::string path = dir_ / "chain.ogg";
    WriteFileBytes(path, ReadFileBytes(a) + ReadFileBytes(b));
    const Opened o = DecodePath(path);
    ASSERT_TRUE(o.ok);
    EXPECT_EQ(o.d.left.size(), static_cast<size_t>(44100 * (seconds + 1.0)));
    EXPECT_EQ(o.d.duration, static_cast<int>(seconds + 1.0));
    EXPECT_EQ(o.d.length, std::filesystem::file_size(path) - LastPageSize(path));
    EXPECT_EQ(o.d.finalPosition, o.d.length);
    // Each link sounds as it does on its own.
    const auto first = OggdecDecode16(a);
    const auto second = OggdecDecode16(b);
    ASSERT_TRUE(first && second);
    std::vector<int16_t> both = *first;
    both.insert(both.end(), second->begin(), second->end());
    std::vector<int16_t> left, right;
    SplitChannels(both, 2, 1, left, right);
    EXPECT_EQ(o.d.left, left) << seconds;
    EXPECT_EQ(o.d.right, right) << seconds;
  }
}

TEST_F(OggVorbisSourceTest, ChainedLinksOfAnotherFormatGoOnAfterAFormatChange) {
  const std::string a = MakeOgg(dir_, "a.ogg", 44100, 2, 1.5);
  const std::string mono = MakeOgg(dir_, "m.ogg", 44100, 1, 2.0);
  const std::string faster = MakeOgg(dir_, "f.ogg", 48000, 2, 2.0);
  // A third link in the first format again: the format changes back.
  const std::string c = MakeOgg(dir_, "c.ogg", 44100, 2, 2.0);
  for (const std::string& second : {mono, faster}) {
    const std::string path = dir_ / "mixed.ogg";
    WriteFileBytes(path, ReadFileBytes(a) + ReadFileBytes(second) + ReadFileBytes(c));
    OggVorbisSource source;
    ASSERT_TRUE(source.Open(path, 0)) << second;
    EXPECT_EQ(source.GetSampleRate(), 44100);
    EXPECT_EQ(source.GetDuration(), 5);  // every link counts
    // Each run of one format, as (rate, output channels, frames).
    std::vector<std::array<int, 3>> runs{{44100, 2, 0}};
    std::vector<int16_t> l(BlockFrames), r(BlockFrames);
    for (int guard = 0; guard < 100000; ++guard) {
      const int n = source.Read(l.data(), r.data());
      ASSERT_LE(n, BlockFrames);
      if (n > 0) {
        runs.back()[2] += n;
        continue;
      }
      if (source.EndOfData() != DataEnd::kFormatChange) break;
      runs.push_back({source.GetSampleRate(), source.GetOutputChannels(), 0});
    }
    EXPECT_EQ(source.EndOfData(), DataEnd::kEnd);
    const int secondRate = second == faster ? 48000 : 44100;
    const int secondChannels = second == faster ? 2 : 1;
    ASSERT_EQ(runs.size(), 3u) << second;
    EXPECT_EQ(runs[0][2], 66150);  // 1.5 s
    EXPECT_EQ(runs[1], (std::array<int, 3>{secondRate, secondChannels, 2 * secondRate}));
    EXPECT_EQ(runs[2], (std::array<int, 3>{44100, 2, 88200}));
    EXPECT_EQ(source.GetPosition(), source.GetLength());
  }
}

TEST_F(OggVorbisSourceTest, TagsComeFromTheFirstLink) {
  const std::string a =
      WithComments(dir_, MakeOgg(dir_, "a.ogg", 44100, 1, 0.5), "a1.ogg", {"TITLE=one"});
  const std::string b =
      WithComments(dir_, MakeOgg(dir_, "b.ogg", 44100, 1, 0.5), "b1.ogg", {"TITLE=two"});
  const std::string path = dir_ / "chain.ogg";
  WriteFileBytes(path, ReadFileBytes(a) + ReadFileBytes(b));
  EXPECT_EQ(TagsOf(path).title, "one");
}

// ---- damaged and foreign input ----

TEST_F(OggVorbisSourceTest, UnusableFormatsAreRefused) {
  const std::string made = MakeOgg(dir_, "r.ogg", 44100, 2, 0.5);
  const std::string bytes = ReadFileBytes(made);
  const struct {
    size_t at;
    uint32_t value;
    size_t width;
  } patches[] = {{11, 0, 1}, {12, 0, 4}, {12, 0xFFFFFFFFu, 4}, {12, 0x80000000u, 4}};
  for (const auto& p : patches) {
    const std::string path = dir_ / "patched.ogg";
    WriteFileBytes(path, PatchIdHeader(bytes, p.at, p.value, p.width));
    OggVorbisSource source;
    EXPECT_FALSE(source.Open(path, 0)) << "byte " << p.at << " = " << p.value;
    EXPECT_EQ(source.GetChannels(), 0);
    EXPECT_EQ(source.GetSampleRate(), 0);
    EXPECT_EQ(source.GetLength(), 0u);
  }
  // The same patch machinery leaves a good value good.
  const std::string path = dir_ / "same.ogg";
  WriteFileBytes(path, PatchIdHeader(bytes, 12, 44100, 4));
  OggVorbisSource source;
  EXPECT_TRUE(source.Open(path, 0));
}

TEST_F(OggVorbisSourceTest, ForeignAndMissingFilesFailCleanly) {
  std::vector<std::string> paths = {dir_ / "missing.ogg", dir_.path()};
  const std::string empty = dir_ / "empty.ogg";
  WriteFileBytes(empty, "");
  paths.push_back(empty);
  std::mt19937 random(6);
  std::string noise(100000, '\0');
  for (char& c : noise) c = static_cast<char>(random());
  const std::string noisy = dir_ / "noise.ogg";
  WriteFileBytes(noisy, noise);
  paths.push_back(noisy);
  const std::string capture = dir_ / "capture.ogg";
  WriteFileBytes(capture, "OggS" + noise);
  paths.push_back(capture);
  if (std::filesystem::exists(SamplePath("chord.flac"))) {
    const std::string flac = dir_ / "chord.ogg";
    std::filesystem::copy_file(SamplePath("chord.flac"), flac);
    paths.push_back(flac);
  }
  if (testing::ToolAvailable("ffmpeg")) {
    // Ogg pages, but not Vorbis inside.
    for (const char* codec : {"flac", "libopus"}) {
      const std::string other = dir_ / (std::string(codec) + ".ogg");
      if (Succeeds("ffmpeg -nostdin -v error -f lavfi -i sine=duration=0.5 -ar 48000 -c:a " +
                   std::string(codec) + " -f ogg " + ShellQuote(other)))
        paths.push_back(other);
    }
  }
  for (const std::string& path : paths) {
    OggVorbisSource source;
    EXPECT_FALSE(source.Open(path, 0)) << path;
    EXPECT_EQ(source.GetLength(), 0u);
    EXPECT_EQ(source.GetPosition(), 0u);
    std::vector<int16_t> l(BlockFrames), r(BlockFrames);
    EXPECT_EQ(source.Read(l.data(), r.data()), 0);
  }
}

TEST_F(OggVorbisSourceTest, TruncatedFilesDecodeWhatIsThere) {
  const std::string made = MakeOgg(dir_, "whole.ogg", 44100, 2, 2.0);
  const std::string bytes = ReadFileBytes(made);
  const auto whole = OggdecDecode16(made);
  ASSERT_TRUE(whole);
  std::vector<int16_t> wholeLeft, wholeRight;
  SplitChannels(*whole, 2, 1, wholeLeft, wholeRight);
  const std::vector<int16_t> wholeLeftAlso = wholeLeft;
  bool someOpened = false;
  for (size_t cut : {size_t{1}, size_t{27}, size_t{60}, size_t{200}, size_t{3000}, bytes.size() / 3,
                     bytes.size() / 2, bytes.size() - 1}) {
    const std::string path = dir_ / "cut.ogg";
    WriteFileBytes(path, bytes.substr(0, cut));
    const Opened o = DecodePath(path);
    if (!o.ok) continue;
    someOpened = true;
    // Everything delivered is the start of the whole file's sound.
    ASSERT_LE(o.d.left.size(), wholeLeft.size()) << cut;
    EXPECT_TRUE(std::equal(o.d.left.begin(), o.d.left.end(), wholeLeftAlso.begin())) << cut;
    EXPECT_LE(o.d.finalPosition, o.d.length);
    EXPECT_LE(o.d.length, cut);
  }
  EXPECT_TRUE(someOpened);
}

TEST_F(OggVorbisSourceTest, HolesInTheStreamAreSkipped) {
  const std::string made = MakeOgg(dir_, "h.ogg", 44100, 2, 10.0);
  std::vector<std::string> pages = SplitPages(ReadFileBytes(made));
  ASSERT_GT(pages.size(), 8u);
  const uint32_t serial = GetLe32(pages[0], 14);
  // A few lost pages in the middle: the decoder steps over each hole.
  std::vector<std::string> damaged(pages.begin(), pages.begin() + 5);
  for (uint32_t i = 0; i < 20; ++i) damaged.push_back(HolePage(serial, 1000 + 2 * i));
  damaged.insert(damaged.end(), pages.begin() + 5, pages.end());
  const std::string path = dir_ / "holes.ogg";
  WriteFileBytes(path, Join(damaged));
  const Opened o = DecodePath(path);
  ASSERT_TRUE(o.ok);
  EXPECT_GT(o.d.left.size(), 44100u * 8) << "the sound after the holes is delivered";
  EXPECT_LE(o.d.left.size(), 44100u * 10);
  EXPECT_EQ(o.d.finalPosition, o.d.length);
}

TEST_F(OggVorbisSourceTest, EndlessErrorsEndTheData) {
  const std::string made = MakeOgg(dir_, "e.ogg", 44100, 1, 10.0);
  std::vector<std::string> pages = SplitPages(ReadFileBytes(made));
  ASSERT_GT(pages.size(), 5u);
  const uint32_t serial = GetLe32(pages[0], 14);
  // More consecutive holes than one Read puts up with, then the rest of the sound.
  std::vector<std::string> damaged(pages.begin(), pages.begin() + 3);
  const std::string before = dir_ / "before.ogg";
  WriteFileBytes(before, Join(damaged));
  for (uint32_t i = 0; i < OggVorbisSource::kMaxConsecutiveErrors + 50; ++i)
    damaged.push_back(HolePage(serial, 5000 + 2 * i));
  damaged.insert(damaged.end(), pages.begin() + 3, pages.end());
  const std::string path = dir_ / "errors.ogg";
  WriteFileBytes(path, Join(damaged));
  const Opened cut = DecodePath(before);
  ASSERT_TRUE(cut.ok);

  OggVorbisSource source;
  ASSERT_TRUE(source.Open(path, 0));
  std::vector<int16_t> left(BlockFrames);
  size_t frames = 0;
  int reads = 0;
  for (int n; reads < 100000 && (n = source.Read(left.data(), nullptr)) > 0; ++reads)
    frames += static_cast<size_t>(n);
  EXPECT_LT(reads, 100000);
  EXPECT_EQ(frames, cut.d.left.size()) << "the data ended at the run of errors";
  EXPECT_LT(frames, 441000u / 2);
  EXPECT_EQ(source.Read(left.data(), nullptr), 0);
}

}  // namespace
}  // namespace sonorell
