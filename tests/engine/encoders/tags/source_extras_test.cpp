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
  // ID3v2: a back cover before the front one; FFmpeg's muxer takes the type from "comment".
  ASSERT_TRUE(
      RunIn(folder,
            "ffmpeg -nostdin -v error -y -i tone.wav -i back.png -i front.jpg -map 0 -map 1 "
            "-map 2 -c:v copy -disposition:v attached_pic "
            "-metadata:s:v:0 comment='Cover (back)' -metadata:s:v:1 comment='Cover (front)' "
            "-metadata:s:v:1 title='Front of the sleeve' -metadata album_artist='Ensemble "
            "Ébène' -metadata disc=2/3 -metadata track=4/12 a.mp3"));
  ASSERT_TRUE(RunIn(folder,
                    "sox tone.wav b.flac && metaflac --set-tag='ALBUMARTIST=Ensemble Ébène' "
                    "--set-tag=DISCNUMBER=2 --set-tag=DISCTOTAL=3 --set-tag=TRACKNUMBER=4 "
                    "--set-tag=TRACKTOTAL=12 --import-picture-from='4|image/png|Back||back.png' "
                    "--import-picture-from='3|image/jpeg|Front é||front.jpg' b.flac"));
  ASSERT_TRUE(RunIn(folder,
                    "ffmpeg -nostdin -v error -y -i tone.wav -i front.jpg -map 0 -map 1 -c:a aac "
                    "-c:v copy -disposition:v attached_pic -metadata album_artist='Ensemble Ébène' "
                    "-metadata disc=2/3 -metadata track=4/12 c.m4a"));
  // Only a back cover: the first picture is taken, with its own type.
  ASSERT_TRUE(RunIn(folder,
                    "opusenc --quiet --picture '4|image/png|Back only||back.png' "
                    "--comment 'ALBUMARTIST=Ensemble Ébène' --comment DISCNUMBER=2 "
                    "--comment TOTALDISCS=3 --comment TRACKNUMBER=4 --comment TOTALTRACKS=12 "
                    "tone.wav d.opus"));
  ASSERT_TRUE(RunIn(folder,
                    "oggenc -Q -c 'ALBUMARTIST=Ensemble Ébène' -c DISCNUMBER=2/3 "
                    "-c TRACKNUMBER=4/12 -o e.ogg tone.wav"));
  ASSERT_TRUE(RunMutagen(folder, R"(
import base64
from mutagen.flac import Picture
from mutagen.oggvorbis import OggVorbis
p = Picture()
p.type, p.mime, p.desc, p.data = 3, 'image/jpeg', 'Ogg front', open('front.jpg', 'rb').read()
f = OggVorbis('e.ogg')
f['METADATA_BLOCK_PICTURE'] = [base64.b64encode(p.write()).decode()]
f.save()
)"));
  ASSERT_TRUE(RunIn(folder, "ffmpeg -nostdin -v error -y -i tone.wav -c:a wmav2 f.wma"));
  ASSERT_TRUE(RunMutagen(folder, R"(
import struct
from mutagen.asf import ASF, ASFByteArrayAttribute
data = open('front.jpg', 'rb').read()
text = lambda s: s.encode('utf-16-le') + b'\0\0'
f = ASF('f.wma')
f['WM/Picture'] = [ASFByteArrayAttribute(
    struct.pack('<bI', 3, len(data)) + text('image/jpeg') + text('WMA front') + data)]
f['WM/AlbumArtist'] = ['Ensemble Ébène']
f['WM/PartOfSet'] = ['2/3']
f.save()
)"));

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
  // A picture block whose bytes are text; a second file whose block's MIME length runs
  // past its end (FFmpeg passes over it); a 30 MB "JPEG" in an ID3v2 tag.
  ASSERT_TRUE(RunIn(folder, "sox tone.wav text.flac && sox tone.wav damaged.flac"));
  ASSERT_TRUE(RunMutagen(folder, R"(
from mutagen.flac import FLAC, Picture
p = Picture()
p.type, p.mime, p.data = 3, 'image/jpeg', b'Liner notes, typed out: not a picture at all.'
f = FLAC('text.flac')
f.add_picture(p)
f.save()
p.data = open('front.jpg', 'rb').read()
f = FLAC('damaged.flac')
f.add_picture(p)
f.save()
b = bytearray(open('damaged.flac', 'rb').read())
at = b.index(b'\0\0\0\x03\0\0\0\x0aimage/jpeg')
b[at + 4:at + 8] = b'\xff\xff\xff\xff'
open('damaged.flac', 'wb').write(b)
open('big.jpg', 'wb').write(open('front.jpg', 'rb').read() + bytes(30 * 1024 * 1024))
)"));
  ASSERT_TRUE(RunIn(folder,
                    "ffmpeg -nostdin -v error -y -i tone.wav -i big.jpg -map 0 -map 1 -c:v copy "
                    "-disposition:v attached_pic -metadata:s:v comment='Cover (front)' "
                    "-metadata album_artist=Kept big.mp3"));

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
