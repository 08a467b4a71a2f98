#include "platform/wmf/asf_header_editor.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "tests/engine/encoders/compressed_output.h"
#include "tests/platform/wmf/asf_files.h"
#include "tests/platform/wmf/asf_picture_readers.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"
#include "tests/support/temp_profile.h"

namespace platform::wm {
namespace {

using sonorell::testing::FfmpegAttachedPicture;
using sonorell::testing::FfmpegDecodeMd5;
using sonorell::testing::Hex;
using sonorell::testing::MakeAsfAudio;
using sonorell::testing::ReadFileBytes;
using sonorell::testing::TempFolder;
using sonorell::testing::ToolAvailable;
using sonorell::testing::Utf16z;
using sonorell::testing::WriteFileBytes;

// A WM/Picture value: front cover, its MIME type, a description and the image.
AsfAttribute Picture(const std::string& mime, const std::string& image) {
  AsfAttribute a{u"WM/Picture", WMT_TYPE_BINARY, {3}, 0};
  for (int i = 0; i < 4; ++i) a.value.push_back(static_cast<uint8_t>(image.size() >> (8 * i)));
  const std::u16string wideMime(mime.begin(), mime.end());
  for (const auto& part : {Utf16z(wideMime), Utf16z(u"Front")}) {
    a.value.insert(a.value.end(), part.begin(), part.end());
  }
  a.value.insert(a.value.end(), image.begin(), image.end());
  return a;
}

// The header's size and the bytes after it (the data object and the index).
struct Split {
  uint64_t headerSize = 0;
  std::string rest;
};

Split SplitFile(const std::string& path) {
  const std::string bytes = ReadFileBytes(path);
  const auto header = ReadAsfHeaderBytes(path);
  if (!header) return {};
  return {header->size(), bytes.substr(header->size())};
}

class AsfHeaderEditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!ToolAvailable("ffmpeg")) GTEST_SKIP() << "ffmpeg is needed";
  }
  std::string Image(const std::string& name, const std::string& size) {
    return sonorell::testing::MakeNoiseImage(dir / name, size);
  }
  // The file still plays the same sound, its data and index are unchanged and its file
  // properties give its true size.
  void ExpectSoundKept(const std::string& path) {
    const auto header = ReadAsfHeaderBytes(path);
    ASSERT_TRUE(header);
    const auto parsed = ParseAsfHeader(*header);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->fileSize, std::filesystem::file_size(path));
    EXPECT_TRUE(SplitFile(path).rest == original.rest) << "data object and index untouched";
    EXPECT_EQ(FfmpegDecodeMd5(path), originalMd5);
  }
  TempFolder dir;
  Split original;
  std::string originalMd5;
};

TEST_F(AsfHeaderEditorTest, PicturesUnderAndOver64KbAreReadBackByOtherProgramsAndTheSoundStays) {
  const std::string wma = dir / "a.wma";
  // ffmpeg's own file: no padding, and gain tags of another program in capitals.
  ASSERT_TRUE(MakeAsfAudio(wma, "wmav2", 44100, 2, 3.0,
                           "-metadata title=Tïtle -metadata album=Album "
                           "-metadata REPLAYGAIN_TRACK_GAIN=\"-1.00 dB\" "
                           "-metadata REPLAYGAIN_TRACK_PEAK=0.500000"));
  original = SplitFile(wma);
  originalMd5 = FfmpegDecodeMd5(wma);
  ASSERT_NE(originalMd5, "no decode");

  // Fewer bytes than before: written over ffmpeg's header, the rest padded.
  AsfAttributeEdit gains{{u"replaygain_track_gain", u"replaygain_track_peak"},
                         {{u"replaygain_track_gain", WMT_TYPE_STRING, Utf16z(u"-2 dB"), 0}}};
  const uint64_t sizeBefore = std::filesystem::file_size(wma);
  EXPECT_EQ(EditAsfAttributes(wma, gains), AsfEditResult::kInPlace);
  EXPECT_EQ(std::filesystem::file_size(wma), sizeBefore);
  ExpectSoundKept(wma);
  auto probe = sonorell::testing::FfprobeStream(wma);
  EXPECT_EQ(probe.tags["REPLAYGAIN_TRACK_GAIN"], "-2 dB");
  EXPECT_EQ(probe.tags.count("REPLAYGAIN_TRACK_PEAK"), 0u) << "the capitals' peak is gone";
  EXPECT_EQ(probe.tags["TITLE"], "Tïtle");
  const auto names = sonorell::testing::MutagenAttributes(wma);
  if (names) {
    EXPECT_NE(names->find("replaygain_track_gain=-2 dB\n"), std::string::npos) << *names;
    EXPECT_EQ(names->find("REPLAYGAIN"), std::string::npos) << *names;
  }

  const std::string small = Image("small.jpg", "96x64");
  const std::string large = Image("large.jpg", "400x300");
  ASSERT_GT(small.size(), 1000u);
  ASSERT_LT(small.size(), 60000u);
  ASSERT_GT(large.size(), 70000u) << "over what the extended content description holds";
  const std::string mutagen = sonorell::testing::MutagenPython();
  // The large picture goes to the metadata library; putting the small one back frees its
  // room, so that edit fits in place.
  const struct {
    const std::string* image;
    AsfEditResult result;
  } steps[] = {{&small, AsfEditResult::kRewritten},
               {&large, AsfEditResult::kRewritten},
               {&small, AsfEditResult::kInPlace}};
  for (const auto& step : steps) {
    const std::string& image = *step.image;
    SCOPED_TRACE(image.size());
    const AsfAttributeEdit edit{{u"WM/Picture"}, {Picture("image/jpeg", image)}};
    EXPECT_EQ(EditAsfAttributes(wma, edit), step.result);
    ExpectSoundKept(wma);
    // FFmpeg 5.1's ASF demuxer does not look inside the header extension (nor into
    // mutagen's files), so it shows pictures of the extended content description only.
    if (image.size() < 65000) {
      EXPECT_TRUE(FfmpegAttachedPicture(wma) == image);
    }
    probe = sonorell::testing::FfprobeStream(wma);
    EXPECT_EQ(probe.tags["REPLAYGAIN_TRACK_GAIN"], "-2 dB") << "other attributes stay";
    if (!mutagen.empty()) {
      EXPECT_TRUE(sonorell::testing::MutagenPictures(wma) ==
                  "3 image/jpeg Front " + Hex(image) + "\n")
          << "exactly one picture";
    }
    if (ToolAvailable("exiftool")) {
      EXPECT_TRUE(sonorell::testing::ExiftoolPicture(wma) == image);
    }
  }
  const auto header = ReadAsfHeaderBytes(wma);
  ASSERT_TRUE(header);
  const auto parsed = ParseAsfHeader(*header);
  int pictures = 0;
  for (const AsfAttribute& a : parsed->attributes) pictures += a.name == u"WM/Picture";
  EXPECT_EQ(pictures, 1);

  // A few texts more fit in the room a rewrite keeps.
  gains.add.push_back({u"replaygain_track_peak", WMT_TYPE_STRING, Utf16z(u"0.988525"), 0});
  EXPECT_EQ(EditAsfAttributes(wma, gains), AsfEditResult::kInPlace);
  ExpectSoundKept(wma);
  EXPECT_TRUE(FfmpegAttachedPicture(wma) == small);
  EXPECT_EQ(sonorell::testing::FfprobeStream(wma).tags["REPLAYGAIN_TRACK_PEAK"], "0.988525");
}

TEST_F(AsfHeaderEditorTest, DamagedForeignAndUnwritableFilesAreRefusedAndLeftAlone) {
  const std::string wma = dir / "a.wma";
  ASSERT_TRUE(MakeAsfAudio(wma, "wmav2", 22050, 1, 1.0, "-metadata title=T -metadata album=A"));
  const std::string file = ReadFileBytes(wma);
  const auto header = ReadAsfHeaderBytes(wma);
  ASSERT_TRUE(header);
  const AsfAttributeEdit edit{{u"WM/Picture"}, {Picture("image/png", std::string(70000, 'p'))}};
  const std::string target = dir / "t.wma";

  // Cut anywhere in the header or before the data object's header is whole.
  for (size_t cut = 0; cut < header->size() + 24; cut += 13) {
    WriteFileBytes(target, file.substr(0, cut));
    EXPECT_EQ(EditAsfAttributes(target, edit), AsfEditResult::kUnreadable) << cut;
    EXPECT_TRUE(ReadFileBytes(target) == file.substr(0, cut)) << cut;
  }
  // Bytes of the header flipped, sizes made huge: edited consistently or refused untouched.
  std::mt19937 random(11);
  for (int round = 0; round < 300; ++round) {
    std::string damaged = file;
    const size_t at = random() % header->size();
    damaged[at] = static_cast<char>(random());
    if (round % 2 == 0 && at + 8 <= header->size()) damaged.replace(at, 8, 8, '\xFF');
    WriteFileBytes(target, damaged);
    const AsfEditResult result = EditAsfAttributes(target, edit);
    if (result == AsfEditResult::kRewritten || result == AsfEditResult::kInPlace) {
      const auto edited = ReadAsfHeaderBytes(target);
      ASSERT_TRUE(edited) << round;
      EXPECT_TRUE(ParseAsfHeader(*edited)) << round;
      EXPECT_TRUE(ReadFileBytes(target).substr(edited->size()) == damaged.substr(header->size()));
    } else {
      EXPECT_TRUE(ReadFileBytes(target) == damaged) << round;
    }
  }
  // Not ASF at all, empty, a folder.
  WriteFileBytes(target, "RIFF....WAVEfmt not an asf file at all");
  EXPECT_EQ(EditAsfAttributes(target, edit), AsfEditResult::kUnreadable);
  WriteFileBytes(target, "");
  EXPECT_EQ(EditAsfAttributes(target, edit), AsfEditResult::kUnreadable);
  EXPECT_EQ(EditAsfAttributes(dir.path(), edit), AsfEditResult::kUnreadable);
  // A header followed by something else than its data object.
  std::string noData = file;
  noData[header->size()] ^= 0x55;
  WriteFileBytes(target, noData);
  EXPECT_EQ(EditAsfAttributes(target, edit), AsfEditResult::kUnreadable);
  EXPECT_TRUE(ReadFileBytes(target) == noData);

  // The disk fills up during the rewrite: it fails, the file stays as it was and no
  // temporary file is left.
  const std::string full = dir / "full.wma";
  WriteFileBytes(full, file);
  {
    const sonorell::testing::FileSizeLimit limit(file.size() + 1000);
    EXPECT_EQ(EditAsfAttributes(full, edit), AsfEditResult::kFailed);
  }
  EXPECT_TRUE(ReadFileBytes(full) == file);
  EXPECT_EQ(sonorell::testing::ListFolder(dir.path()), "a.wma\nfull.wma\nt.wma\n");
}

}  // namespace
}  // namespace platform::wm
