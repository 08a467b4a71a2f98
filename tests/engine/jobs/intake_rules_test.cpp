#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "engine/jobs/folder_search.h"
#include "engine/jobs/input_types.h"
#include "tests/support/temp_folder.h"

namespace sonorell {
namespace {

using testing::TempFolder;
using testing::WriteFileBytes;

TEST(InputTypes, ExtensionDecidesTheDecoderFamily) {
  EXPECT_EQ(InputTypeForPath("/a/b.MP3"), kInputMp3);
  EXPECT_EQ(InputTypeForPath("/a/b.wave"), kInputWav);
  EXPECT_EQ(InputTypeForPath("/a/b.ogv"), kInputOgg);
  EXPECT_EQ(InputTypeForPath("/a/b.it"), kInputTrackerModule);
  EXPECT_EQ(InputTypeForPath("/a/b.kar"), kInputMidi);
  EXPECT_EQ(InputTypeForPath("/a/b.snd"), kInputSunAudio);
  EXPECT_EQ(InputTypeForPath("/a/b.afc"), kInputAiff);
  EXPECT_EQ(InputTypeForPath("/a/Track01.cda"), kInputCdAudio);
  EXPECT_EQ(InputTypeForPath("/a/b.fla"), kInputFlac);
  EXPECT_EQ(InputTypeForPath("/a/b.xwmv"), kInputWindowsMedia);
  EXPECT_EQ(InputTypeForPath("/a/b.wv"), kInputWavPack);
  EXPECT_EQ(InputTypeForPath("/a/b.adx"), kInputAdx);
  EXPECT_EQ(InputTypeForPath("/a/b.mac"), kInputMonkeysAudio);
  EXPECT_EQ(InputTypeForPath("/a/b.mp+"), kInputMusepack);
  EXPECT_EQ(InputTypeForPath("/a/b.spx"), kInputSpeex);
  EXPECT_EQ(InputTypeForPath("/a/b.tta"), kInputTta);
  EXPECT_EQ(InputTypeForPath("/a/b.aac"), kInputAac);
  EXPECT_EQ(InputTypeForPath("/a/b.m4v"), kInputMp4);
  EXPECT_EQ(InputTypeForPath("/a/b.m4b"), kInputM4a);
  EXPECT_EQ(InputTypeForPath("/a/clip.mkv"), kInputOther);
  EXPECT_EQ(InputTypeForPath("/a/readme"), kInputOther);
  EXPECT_EQ(InputTypeForPath("/folder.mp3/readme"), kInputOther);
}

TEST(FolderSearch, WholeTreeTheFolderFirstThenEachSubFolderDepthFirst) {
  TempFolder dir;
  std::filesystem::create_directories(dir / "x/y");
  WriteFileBytes(dir / "top.wav", "");
  WriteFileBytes(dir / "x/mid.mp3", "");
  WriteFileBytes(dir / "x/y/deep.flac", "");
  WriteFileBytes(dir / "x/y/.hidden.ogg", "");
  std::vector<std::string> paths;
  CollectFolderFiles(paths, dir.path(), false, {});
  ASSERT_EQ(paths.size(), 4u);
  EXPECT_EQ(paths[0], dir / "top.wav");
  EXPECT_EQ(paths[1], dir / "x/mid.mp3");
  std::sort(paths.begin() + 2, paths.end());
  EXPECT_EQ(paths[2], dir / "x/y/.hidden.ogg");
  EXPECT_EQ(paths[3], dir / "x/y/deep.flac");
}

TEST(FolderSearch, FilterKeepsListedExtensionsAndFollowsLinks) {
  TempFolder dir;
  std::filesystem::create_directories(dir / "real");
  WriteFileBytes(dir / "real/song.mp3", "");
  WriteFileBytes(dir / "cover.jpg", "");
  WriteFileBytes(dir / "noext", "");
  std::filesystem::create_symlink(dir / "real/song.mp3", dir / "shortcut.lnk");
  std::vector<std::string> paths;
  CollectFolderFiles(paths, dir.path(), true, {"mp3"});
  std::sort(paths.begin(), paths.end());
  // The link is replaced by its target; the real file is found too.
  ASSERT_EQ(paths.size(), 2u);
  EXPECT_EQ(paths[0], std::filesystem::canonical(dir / "real/song.mp3").string());
  EXPECT_EQ(paths[1], dir / "real/song.mp3");

  std::vector<std::string> withEmpty;
  CollectFolderFiles(withEmpty, dir.path(), true, {""});
  ASSERT_EQ(withEmpty.size(), 1u);  // only a file without extension passes an empty entry
  EXPECT_EQ(withEmpty[0], dir / "noext");
}

TEST(FolderSearch, LinkLoopsAndUnreadableFoldersEndTheSearch) {
  TempFolder dir;
  std::filesystem::create_directories(dir / "a");
  std::filesystem::create_directory_symlink(dir.path(), dir / "a/loop");
  WriteFileBytes(dir / "a/x.wav", "");
  std::vector<std::string> paths;
  CollectFolderFiles(paths, dir.path(), false, {});
  EXPECT_EQ(paths.size(), 1u);
  CollectFolderFiles(paths, "/nonexistent/sonorell", false, {});
  EXPECT_EQ(paths.size(), 1u);
}

}  // namespace
}  // namespace sonorell
