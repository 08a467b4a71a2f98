// The cover and the extra tags in the Vorbis comment family, as our writers put them and as
// other programs read them back: ffmpeg's attached picture, metaflac, vorbiscomment,
// opusinfo and mutagen.
#include <gtest/gtest.h>

#include <string>

#include "engine/encoders/tags/extra_tags.h"
#include "engine/encoders/tags/vorbis_comment_fields.h"
#include "tests/engine/encoders/tags/xiph_outputs.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::CommandOutput;
using testing::ReadFileBytes;
using testing::TempFolder;
constexpr auto& Quote = testing::ShellQuote;

bool Has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// Every comment of the file as its own format's tool lists it.
std::string ListedComments(const std::string& path) {
  if (path.ends_with(".flac")) {
    return CommandOutput("metaflac --export-tags-to=- " + Quote(path)).value_or("");
  }
  if (path.ends_with(".opus"))
    return CommandOutput("LC_ALL=C.UTF-8 opusinfo " + Quote(path)).value_or("");
  return CommandOutput("vorbiscomment -l -R " + Quote(path)).value_or("");
}

TEST(XiphCover, PictureAndExtraTagsReadBackByOtherPrograms) {
  for (const char* tool : {"ffmpeg", "metaflac", "vorbiscomment", "opusinfo"}) {
    SONORELL_REQUIRE_TOOL(tool);
  }
  const std::string python = testing::MutagenPython();
  if (python.empty()) GTEST_SKIP() << "mutagen is not installed";
  TempFolder dir;
  ASSERT_TRUE(testing::MakeImage(dir / "cover.png", 96, 64));
  ASSERT_TRUE(testing::MakeImage(dir / "cover.jpg", 120, 80));
  const std::string mutagenScript = dir / "picture.py";
  testing::WriteFileBytes(mutagenScript,
                          "import sys, base64\n"
                          "from mutagen import File\n"
                          "from mutagen.flac import FLAC, Picture\n"
                          "f = File(sys.argv[1])\n"
                          "p = f.pictures[0] if isinstance(f, FLAC) else "
                          "Picture(base64.b64decode(f['metadata_block_picture'][0]))\n"
                          "open(sys.argv[2], 'wb').write(p.data)\n"
                          "print(p.type, p.mime, p.desc, p.width, p.height, p.depth, p.colors)\n");

  TagRecord tags;
  tags.title = "Song";
  tags.artist = "Band";
  ExtraTags extras;
  extras.albumArtist = "Various Ärtists";
  extras.disc = "1";
  extras.discTotal = "2";
  extras.trackTotal = "12";
  for (const auto& [image, mime, shape] : {std::tuple{"cover.png", "image/png", "96 64 24 0"},
                                           std::tuple{"cover.jpg", "image/jpeg", "120 80 24 0"}}) {
    extras.cover = CoverPicture{3, mime, "Front ✓", ReadFileBytes(dir / image)};
    for (const std::string name : {"out.ogg", "out.opus", "out.flac"}) {
      SCOPED_TRACE(std::string(image) + " in " + name);
      const std::string path = dir / name;
      if (name == "out.flac") {
        FlacStreamSetup setup;
        setup.comments = VorbisCommentFields(tags);
        for (const CommentField& field : VorbisExtraFields(extras)) setup.comments.push_back(field);
        setup.picture = extras.cover;
        ASSERT_TRUE(testing::WriteOurFlac(path, setup));
        const std::string exported = dir / "exported";
        ASSERT_TRUE(
            CommandOutput("metaflac --export-picture-to=" + Quote(exported) + " " + Quote(path)));
        EXPECT_EQ(ReadFileBytes(exported), extras.cover->data);
        const std::string listed =
            CommandOutput("metaflac --list --block-type=PICTURE " + Quote(path)).value_or("");
        EXPECT_TRUE(Has(listed, "type: 3 (Cover (front))")) << listed;
        EXPECT_TRUE(Has(listed, std::string("MIME type: ") + mime)) << listed;
        EXPECT_TRUE(Has(listed, "description: Front ✓")) << listed;
        EXPECT_TRUE(
            Has(CommandOutput("flac -t -s " + Quote(path) + " 2>&1 && echo clean").value_or(""),
                "clean"));
      } else {
        const std::vector<CommentField> fields = OggCommentFields(&tags, extras);
        ASSERT_TRUE(name == "out.ogg" ? testing::WriteOurVorbis(path, fields)
                                      : testing::WriteOurOpus(path, fields));
      }
      EXPECT_EQ(testing::FfmpegAttachedPicture(path), extras.cover->data) << "ffmpeg's attached picture";
      const std::string copy = dir / "mutagen-copy";
      EXPECT_EQ(CommandOutput(python + " " + Quote(mutagenScript) + " " + Quote(path) + " " +
                              Quote(copy)),
                std::string("3 ") + mime + " Front ✓ " + shape + "\n");
      EXPECT_EQ(ReadFileBytes(copy), extras.cover->data) << "mutagen's picture";
      const std::string comments = ListedComments(path);
      for (const char* comment : {"TITLE=Song", "ARTIST=Band", "ALBUMARTIST=Various Ärtists",
                                  "DISCNUMBER=1", "DISCTOTAL=2", "TRACKTOTAL=12"}) {
        EXPECT_TRUE(Has(comments, comment)) << comment << " in\n" << comments;
      }
    }
  }
}

}  // namespace
}  // namespace sonorell
