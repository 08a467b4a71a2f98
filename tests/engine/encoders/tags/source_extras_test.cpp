// The cover picture and extra tags of sources written by other programs, read back byte for
// byte: ID3v2 APIC, FLAC PICTURE, Opus and Vorbis METADATA_BLOCK_PICTURE, MP4 covr and ASF
// WM/Picture; and pictures that cannot be carried (no image, damaged, too large).
#include "engine/encoders/tags/source_extras.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/engine/encoders/tags/cover_inputs.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::ReadFileBytes;
using testing::RunIn;
using testing::RunMutagen;
using testing::TempFolder;

class SourceExtras : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "ffmpeg", "metaflac", "opusenc", "oggenc"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    if (testing::MutagenPython().empty()) GTEST_SKIP() << "python3-mutagen is not installed";
    ASSERT_TRUE(testing::MakeToneAndImages(dir_.path()));
  }

  std::string Image(const char* name) const { return ReadFileBytes(dir_ / name); }

  TempFolder dir_;
};

TEST_F(SourceExtras, EverySourceKindGivesItsFrontCoverByteForByte) {
  const std::string folder = dir_.path();
  ASSERT_TRUE(testing::MakeCoveredSources(folder));

  const struct Case {
    const char* file;
    const char* image;
    const char* mime;
    int type;
    const char* description;
    const char* trackTotal;  // ASF has no place for it
  } cases[] = {
      {"a.mp3", "front.jpg", "image/jpeg", 3, "Front of the sleeve", "12"},
      {"b.flac", "front.jpg", "image/jpeg", 3, "Front é", "12"},
      {"c.m4a", "front.jpg", "image/jpeg", 3, "", "12"},
      {"d.opus", "back.png", "image/png", 4, "Back only", "12"},
      {"e.ogg", "front.jpg", "image/jpeg", 3, "Ogg front", "12"},
      {"f.wma", "front.jpg", "image/jpeg", 3, "WMA front", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string note = "left from before";
    const ExtraTags extras = ReadSourceExtras(dir_ / c.file, true, note);
    EXPECT_EQ(note, "");
    ASSERT_TRUE(extras.cover.has_value());
    EXPECT_TRUE(extras.cover->data == Image(c.image)) << extras.cover->data.size() << " bytes";
    EXPECT_EQ(extras.cover->mime, c.mime);
    EXPECT_EQ(extras.cover->type, c.type);
    EXPECT_EQ(extras.cover->description, c.description);
    EXPECT_EQ(extras.albumArtist, "Ensemble Ébène");
    EXPECT_EQ(extras.disc, "2");
    EXPECT_EQ(extras.discTotal, "3");
    EXPECT_EQ(extras.trackTotal, c.trackTotal);

    // Without the picture the texts stay.
    const ExtraTags textsOnly = ReadSourceExtras(dir_ / c.file, false, note);
    EXPECT_FALSE(textsOnly.cover.has_value());
    EXPECT_EQ(textsOnly.disc, "2");
  }
}

TEST_F(SourceExtras, PicturesThatCannotBeCarriedAreLeftOutWithWhy) {
  const std::string folder = dir_.path();
  ASSERT_TRUE(testing::MakeUncarriableCovers(folder));

  const struct Case {
    const char* file;
    const char* note;
  } cases[] = {
      {"text.flac", "it is no image"},
      {"damaged.flac", "its picture block is damaged"},
      {"big.mp3", "it is larger than 16 MB"},
      {"tone.wav", ""},  // no picture: nothing to say
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    std::string note;
    const ExtraTags extras = ReadSourceExtras(dir_ / c.file, true, note);
    EXPECT_FALSE(extras.cover.has_value());
    EXPECT_EQ(note, c.note);
  }
  std::string note;
  EXPECT_EQ(ReadSourceExtras(dir_ / "big.mp3", true, note).albumArtist, "Kept");
  // The file itself still decodes: the damage is the picture's alone.
  EXPECT_TRUE(testing::FfmpegDecode16(dir_ / "damaged.flac").has_value());
}

}  // namespace
}  // namespace sonorell
