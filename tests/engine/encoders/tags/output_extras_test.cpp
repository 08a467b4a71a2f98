// What an output carries beside its texts, per tag mode: the source's extras and picture, an
// image file beside the source, the defaults' picture and the batch command's --cover image.
#include "engine/encoders/tags/output_extras.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "engine/encoders/tags/tag_mode.h"
#include "settings/settings.h"
#include "tests/engine/encoders/tags/cover_inputs.h"
#include "tests/support/decoding.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::ReadFileBytes;
using testing::RunIn;
using testing::TempFolder;
using testing::WriteFileBytes;

constexpr int kAdd = static_cast<int>(TagMode::kAdd);
constexpr int kTransfer = static_cast<int>(TagMode::kTransfer);
constexpr int kNone = static_cast<int>(TagMode::kNone);

class OutputExtrasTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* tool : {"sox", "ffmpeg", "metaflac"}) {
      if (!testing::ToolAvailable(tool)) GTEST_SKIP() << tool << " is not installed";
    }
    ASSERT_TRUE(testing::MakeToneAndImages(dir_.path()));
    // A FLAC with its own front cover and album artist.
    ASSERT_TRUE(RunIn(dir_.path(),
                      "sox tone.wav own.flac && metaflac --set-tag=ALBUMARTIST=Own "
                      "--set-tag=DISCNUMBER=1/2 --import-picture-from='3|image/png|||back.png' "
                      "own.flac"));
  }

  // The extras for one file, with the note it left.
  ExtraTags Extras(int mode, const TagDefaults& defaults, const std::string& source,
                   std::string* note = nullptr) {
    OutputNotes notes;
    const EncodeContext context{settings_, 1, nullptr, &notes};
    ExtraTags extras = OutputExtras(mode, defaults, kInputFlac, source, context);
    if (note) *note = notes.coverNote;
    return extras;
  }

  TempFolder dir_;
  Settings settings_;
};

TEST_F(OutputExtrasTest, EachModeCarriesWhatItShould) {
  const std::string own = dir_ / "own.flac";
  const std::string png = ReadFileBytes(dir_ / "back.png");
  const std::string jpg = ReadFileBytes(dir_ / "front.jpg");
  TagDefaults defaults;

  EXPECT_EQ(Extras(kNone, defaults, own), ExtraTags{});

  ExtraTags transfer = Extras(kTransfer, defaults, own);
  EXPECT_EQ(transfer.albumArtist, "Own");
  EXPECT_EQ(transfer.disc, "1");
  EXPECT_EQ(transfer.discTotal, "2");
  ASSERT_TRUE(transfer.cover);
  EXPECT_TRUE(transfer.cover->data == png);

  defaults.CarryCover = 0;
  transfer = Extras(kTransfer, defaults, own);
  EXPECT_EQ(transfer.albumArtist, "Own");
  EXPECT_FALSE(transfer.cover);

  // Add mode: the source's picture (when carried) and nothing of its texts, or the
  // defaults' own picture.
  defaults.CarryCover = 1;
  ExtraTags add = Extras(kAdd, defaults, own);
  EXPECT_EQ(add.albumArtist, "");
  EXPECT_EQ(add.disc, "");
  ASSERT_TRUE(add.cover);
  EXPECT_TRUE(add.cover->data == png);
  defaults.CoverPicture = dir_ / "front.jpg";
  add = Extras(kAdd, defaults, own);
  ASSERT_TRUE(add.cover);
  EXPECT_TRUE(add.cover->data == jpg);
  EXPECT_EQ(add.cover->mime, "image/jpeg");
  EXPECT_EQ(add.cover->type, 3);

  // The run's --cover image goes in place of either, and the texts stay.
  settings_.CoverImage = dir_ / "front.jpg";
  defaults.CoverPicture.clear();
  transfer = Extras(kTransfer, defaults, own);
  EXPECT_EQ(transfer.albumArtist, "Own");
  ASSERT_TRUE(transfer.cover);
  EXPECT_TRUE(transfer.cover->data == jpg);
  add = Extras(kAdd, defaults, own);
  ASSERT_TRUE(add.cover);
  EXPECT_TRUE(add.cover->data == jpg);
}

TEST_F(OutputExtrasTest, ASourceWithoutPictureTakesTheImageBesideIt) {
  const std::string album = dir_ / "album";
  ASSERT_TRUE(RunIn(dir_.path(), "mkdir album && cp tone.wav album/track.wav"));
  const std::string track = album + "/track.wav";
  const std::string jpg = ReadFileBytes(dir_ / "front.jpg");
  const std::string png = ReadFileBytes(dir_ / "back.png");
  TagDefaults defaults;
  EXPECT_FALSE(Extras(kTransfer, defaults, track).cover);

  // Names outside the list, and a pipe that would never deliver, are passed over; among
  // the names, cover comes before folder, front and albumart, whatever the case.
  WriteFileBytes(album + "/back.jpg", jpg);
  WriteFileBytes(album + "/cover.txt", jpg);
  ASSERT_EQ(::mkfifo((album + "/cover.jpg").c_str(), 0600), 0);
  WriteFileBytes(album + "/AlbumArt.PNG", png);
  ExtraTags extras = Extras(kTransfer, defaults, track);
  ASSERT_TRUE(extras.cover);
  EXPECT_TRUE(extras.cover->data == png);
  EXPECT_EQ(extras.cover->mime, "image/png");
  WriteFileBytes(album + "/Folder.JPEG", jpg);
  extras = Extras(kTransfer, defaults, track);
  ASSERT_TRUE(extras.cover);
  EXPECT_TRUE(extras.cover->data == jpg);
  EXPECT_EQ(extras.cover->type, 3);

  // An image file that is none is left out with a note; so is one that cannot be carried.
  ASSERT_TRUE(RunIn(album, "rm cover.jpg && echo 'not a picture' > COVER.jpg"));
  std::string note;
  EXPECT_FALSE(Extras(kTransfer, defaults, track, &note).cover);
  EXPECT_EQ(note, "it is no image");
  defaults.CarryCover = 0;
  EXPECT_FALSE(Extras(kTransfer, defaults, track, &note).cover);
  EXPECT_EQ(note, "");

  // A source's own picture comes before the file beside it.
  ASSERT_TRUE(RunIn(dir_.path(), "cp own.flac album/own.flac"));
  defaults.CarryCover = 1;
  extras = Extras(kTransfer, defaults, album + "/own.flac");
  ASSERT_TRUE(extras.cover);
  EXPECT_TRUE(extras.cover->data == png);
}

TEST_F(OutputExtrasTest, AChosenPictureThatCannotBeCarriedIsANoteNotAFailure) {
  TagDefaults defaults;
  WriteFileBytes(dir_ / "notes.jpg", "Track list, typed out.\n");
  ASSERT_TRUE(RunIn(dir_.path(), "head -c 31457280 /dev/zero | cat front.jpg - > huge.jpg"));
  const struct Case {
    const char* picture;
    const char* note;
  } cases[] = {
      {"notes.jpg", "it is no image"},
      {"huge.jpg", "it is larger than 16 MB"},
      {"missing.jpg", "its file cannot be read"},
      {"", "its file cannot be read"},  // a folder
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.picture);
    defaults.CoverPicture = dir_ / c.picture;
    std::string note;
    const ExtraTags extras = Extras(kAdd, defaults, dir_ / "own.flac", &note);
    EXPECT_FALSE(extras.cover);
    EXPECT_EQ(note, c.note);
  }
}

}  // namespace
}  // namespace sonorell
