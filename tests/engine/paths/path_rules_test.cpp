#include "engine/paths/path_rules.h"

#include <gtest/gtest.h>

namespace sonorell {
namespace {

TEST(PathRules, ExtensionComesOnlyFromTheFileName) {
  EXPECT_EQ(ExtensionOf("/a/song.mp3"), ".mp3");
  EXPECT_EQ(ExtensionOf("/a/song.live.flac"), ".flac");
  EXPECT_EQ(ExtensionOf("/a/readme"), "");
  EXPECT_EQ(ExtensionOf("/my.music/song"), "");
  EXPECT_EQ(ExtensionOf("song.WAV"), ".WAV");
  EXPECT_EQ(ExtensionOf("/a/.hidden"), ".hidden");
  EXPECT_EQ(ExtensionOf("/a/trailing."), ".");
}

TEST(PathRules, StemKeepsFolderAndInnerDots) {
  EXPECT_EQ(StemOf("/a/song.live.flac"), "/a/song.live");
  EXPECT_EQ(StemOf("/my.music/song"), "/my.music/song");
  EXPECT_EQ(StemOf("/a/readme"), "/a/readme");
}

TEST(PathRules, FileNameAndFolderSplitAtTheLastSlash) {
  EXPECT_EQ(FileNamePart("/a/b/c.wav"), "c.wav");
  EXPECT_EQ(FileNamePart("c.wav"), "c.wav");
  EXPECT_EQ(FileNamePart("/a/b/"), "");
  EXPECT_EQ(FolderPart("/a/b/c.wav"), "/a/b/");
  EXPECT_EQ(FolderPart("c.wav"), "");
  EXPECT_EQ(FileNamePart("/Musik/Straße/Ünïcødé 名前.ogg"), "Ünïcødé 名前.ogg");
}

TEST(PathRules, LowerCaseLeavesMultiByteTextAlone) {
  EXPECT_EQ(AsciiLower("MP3.WAV"), "mp3.wav");
  EXPECT_EQ(AsciiLower("ÄÖÜ.FLAC"), "ÄÖÜ.flac");
}

}  // namespace
}  // namespace sonorell
