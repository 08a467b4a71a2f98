#include "platform/wmf/asf_header.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/engine/encoders/compressed_output.h"
#include "tests/platform/wmf/asf_files.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace platform::wm {
namespace {

using sonorell::testing::MakeAsfAudio;
using sonorell::testing::MakeWmv;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::TempFolder;
using sonorell::testing::Utf16z;
using sonorell::testing::WriteFileBytes;

const AsfAttribute* Find(const AsfHeader& h, const std::u16string& name) {
  for (const AsfAttribute& a : h.attributes) {
    if (a.name == name) return &a;
  }
  return nullptr;
}

class AsfHeaderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!sonorell::testing::ToolAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  }
  TempFolder dir;
};

TEST_F(AsfHeaderTest, ReadsStreamsFilePropertiesAndTypedAttributesOfFfmpegFiles) {
  const std::string wma = dir / "a.wma";
  ASSERT_TRUE(MakeAsfAudio(wma, "wmav2", 44100, 2, 2.0,
                           "-metadata title=Tïtle -metadata artist=Ärtist -metadata album=Albüm "
                           "-metadata track=7"));
  const auto bytes = ReadAsfHeaderBytes(wma);
  ASSERT_TRUE(bytes);
  const auto header = ParseAsfHeader(*bytes);
  ASSERT_TRUE(header);
  EXPECT_EQ(header->headerSize, bytes->size());
  ASSERT_EQ(header->streams.size(), 1u);
  EXPECT_EQ(header->streams[0].type, MajorType::kAudio);
  EXPECT_EQ(header->streams[0].number, 1);
  EXPECT_EQ(header->fileSize, std::filesystem::file_size(wma));
  const double seconds =
      static_cast<double>(header->playDuration - header->prerollMs * 10000) / 1e7;
  EXPECT_NEAR(seconds, sonorell::testing::FfprobeSeconds(wma), 0.002);
  const AsfAttribute* title = Find(*header, u"Title");
  ASSERT_TRUE(title);
  EXPECT_EQ(title->type, WMT_TYPE_STRING);
  EXPECT_EQ(title->value, Utf16z(u"Tïtle"));
  ASSERT_TRUE(Find(*header, u"WM/AlbumTitle"));
  EXPECT_EQ(Find(*header, u"WM/AlbumTitle")->value, Utf16z(u"Albüm"));
  EXPECT_EQ(Find(*header, u"Author")->value, Utf16z(u"Ärtist"));
  EXPECT_EQ(Find(*header, u"WM/TrackNumber")->value, Utf16z(u"7"));

  const std::string wmv = dir / "v.wmv";
  ASSERT_TRUE(MakeWmv(wmv, 1.0));
  const auto video = ParseAsfHeader(*ReadAsfHeaderBytes(wmv));
  ASSERT_TRUE(video);
  ASSERT_EQ(video->streams.size(), 2u);
  EXPECT_EQ(video->streams[0].type, MajorType::kVideo);
  EXPECT_EQ(video->streams[1].type, MajorType::kAudio);
}

TEST_F(AsfHeaderTest, RewrittenHeaderKeepsTheFilePlayableAndItsAttributesTyped) {
  const std::string wma = dir / "a.wma";
  ASSERT_TRUE(MakeAsfAudio(wma, "wmav2", 22050, 1, 1.0, "-metadata title=Old -metadata genre=X"));
  const std::string file = ReadFileBytes(wma);
  const auto header = ReadAsfHeaderBytes(wma);
  ASSERT_TRUE(header);
  std::vector<uint8_t> track(4);
  track[0] = 12;
  const std::vector<AsfAttribute> attributes{
      {u"Title", WMT_TYPE_STRING, Utf16z(u"Новый"), 0},
      {u"WM/AlbumTitle", WMT_TYPE_STRING, Utf16z(u"专辑"), 0},
      {u"WM/TrackNumber", WMT_TYPE_DWORD, track, 0},
      {u"Author", WMT_TYPE_STRING, Utf16z(u"Someone"), 0}};
  const auto rewritten = RewriteHeader(*header, attributes, 5'000'000);
  ASSERT_TRUE(rewritten);
  const std::string out = dir / "b.wma";
  WriteFileBytes(out,
                 std::string(rewritten->begin(), rewritten->end()) + file.substr(header->size()));

  const auto parsed = ParseAsfHeader(*ReadAsfHeaderBytes(out));
  ASSERT_TRUE(parsed);
  EXPECT_EQ(parsed->fileSize, std::filesystem::file_size(out));
  EXPECT_EQ(parsed->playDuration - parsed->prerollMs * 10000, 5'000'000u);
  EXPECT_EQ(Find(*parsed, u"WM/Genre"), nullptr) << "the old attributes are gone";
  EXPECT_EQ(Find(*parsed, u"WM/TrackNumber")->type, WMT_TYPE_DWORD);
  EXPECT_EQ(Find(*parsed, u"WM/TrackNumber")->value, track);

  auto probe = sonorell::testing::FfprobeStream(out);
  ASSERT_TRUE(probe.ok);
  EXPECT_EQ(probe.codec, "wmav2");
  EXPECT_EQ(probe.tags["TITLE"], "Новый");
  EXPECT_EQ(probe.tags["ALBUM"], "专辑");
  EXPECT_EQ(probe.tags["ARTIST"], "Someone");
  EXPECT_EQ(probe.tags["TRACK"], "12");
  EXPECT_EQ(probe.tags.count("GENRE"), 0u);
  EXPECT_NEAR(sonorell::testing::FfprobeSeconds(out), 0.5, 0.001);
  EXPECT_EQ(sonorell::testing::FfmpegFrames(out), sonorell::testing::FfmpegFrames(wma));
}

TEST_F(AsfHeaderTest, TruncatedFlippedAndOversizedHeadersAreRefusedNotOverrun) {
  const std::string wma = dir / "a.wma";
  ASSERT_TRUE(MakeAsfAudio(wma, "wmav2", 44100, 2, 1.0, "-metadata title=T -metadata album=A"));
  const auto header = ReadAsfHeaderBytes(wma);
  ASSERT_TRUE(header);
  for (size_t cut = 0; cut < header->size(); cut += 7) {
    const std::vector<uint8_t> part(header->begin(), header->begin() + cut);
    EXPECT_FALSE(ParseAsfHeader(part)) << cut;
  }
  // Size fields anywhere made huge or tiny, and bytes flipped: parsed or refused, never read
  // past (the sanitizer build watches).
  std::mt19937 random(7);
  for (int round = 0; round < 2000; ++round) {
    std::vector<uint8_t> damaged = *header;
    const size_t at = random() % damaged.size();
    damaged[at] = static_cast<uint8_t>(random());
    if (round % 3 == 0 && at + 8 <= damaged.size()) {
      for (size_t i = 0; i < 8; ++i) damaged[at + i] = 0xFF;
    }
    const auto parsed = ParseAsfHeader(damaged);
    if (parsed) {
      (void)RewriteHeader(damaged, parsed->attributes, std::nullopt);
    }
  }
  // A file whose header claims more bytes than it has is not read at all.
  std::string file = ReadFileBytes(wma);
  for (int i = 16; i < 24; ++i) file[static_cast<size_t>(i)] = '\x7F';
  WriteFileBytes(dir / "huge.wma", file);
  EXPECT_FALSE(ReadAsfHeaderBytes(dir / "huge.wma"));
  WriteFileBytes(dir / "empty.wma", "");
  EXPECT_FALSE(ReadAsfHeaderBytes(dir / "empty.wma"));
  WriteFileBytes(dir / "mp3.wma", ReadFileBytes(sonorell::testing::SamplePath("chord.mp3")));
  EXPECT_FALSE(ReadAsfHeaderBytes(dir / "mp3.wma"));
  EXPECT_FALSE(ReadAsfHeaderBytes(dir.path()));  // a folder
}

TEST(AsfHeaderAttributes, ValuesTooLongForTheirObjectsAreRefused) {
  // A minimal header: the header object and a file properties object.
  std::vector<uint8_t> h = {0x30, 0x26, 0xB2, 0x75, 0x8E, 0x66, 0xCF, 0x11,
                            0xA6, 0xD9, 0x00, 0xAA, 0x00, 0x62, 0xCE, 0x6C};
  const auto put = [&](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) h.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(30 + 104, 8);
  put(1, 4);
  h.push_back(1);
  h.push_back(2);
  const std::vector<uint8_t> fileProperties = {0xA1, 0xDC, 0xAB, 0x8C, 0x47, 0xA9, 0xCF, 0x11,
                                               0x8E, 0xE4, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65};
  h.insert(h.end(), fileProperties.begin(), fileProperties.end());
  put(104, 8);
  h.resize(30 + 104, 0);
  ASSERT_TRUE(ParseAsfHeader(h));
  const std::vector<AsfAttribute> tooLong{
      {u"WM/Lyrics", WMT_TYPE_STRING, std::vector<uint8_t>(70000, 'a'), 0}};
  EXPECT_FALSE(RewriteHeader(h, tooLong, std::nullopt));
  const std::vector<AsfAttribute> titleNotText{{u"Title", WMT_TYPE_DWORD, {1, 0, 0, 0}, 0}};
  EXPECT_FALSE(RewriteHeader(h, titleNotText, std::nullopt));
  const auto fine = RewriteHeader(h, {}, std::nullopt);
  ASSERT_TRUE(fine);
  EXPECT_EQ(fine->size(), h.size());
}

}  // namespace
}  // namespace platform::wm
