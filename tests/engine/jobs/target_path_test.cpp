#include "engine/jobs/target_path.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tests/support/scoped_env.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::ScopedEnv;

constexpr int kMp3 = 1000;
constexpr int kWav = 2000;
const std::string kSameAsSource =
    "Target file name is same as original file that can't be overwritten. Please output files "
    "to a custom folder.";
const std::string kUnwritable = "/proc/sonorell-nowhere";

void WriteFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream(path, std::ios::binary) << bytes;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

class TargetPathTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "sonorell paths XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    home_ = root_ + "/home dir";
    fs::create_directories(home_);
    homeEnv_.emplace("HOME", home_.c_str());
    configEnv_.emplace("XDG_CONFIG_HOME", nullptr);
  }
  void TearDown() override {
    configEnv_.reset();
    homeEnv_.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  Settings Options(int format, int existsPolicy, bool fallback = false) const {
    Settings s;
    s.OutputFormat = format;
    s.TargetExistsOpt = existsPolicy;
    s.OutputFiles2MyDocuments = fallback ? 1 : 0;
    return s;
  }
  static Settings Custom(Settings s, const std::string& folder, bool mirror) {
    s.DestOutputFolderOpt = kOutputToCustomFolder;
    s.DestSpecifiedFolder = folder;
    s.CreateDirs = mirror ? 1 : 0;
    return s;
  }

  // Runs a resolution; returns the target or, on refusal, "!" + status. TargetPath must
  // stay untouched on refusal.
  std::string Resolve(const std::string& source, const Settings& s) {
    SourceFile file;
    file.SourcePath = source;
    file.TargetPath = "untouched";
    std::string status = "untouched";
    if (ResolveTargetPath(file, status, s)) {
      EXPECT_EQ(status, "untouched");
      EXPECT_FALSE(FileExists(file.TargetPath) && s.TargetExistsOpt != kTargetExistsOverwrite)
          << "the creation test left a file at " << file.TargetPath;
      return file.TargetPath;
    }
    EXPECT_EQ(file.TargetPath, "untouched");
    return "!" + status;
  }

  std::string Documents() const { return home_ + "/Documents"; }

  std::string root_;
  std::string home_;
  std::optional<ScopedEnv> homeEnv_;
  std::optional<ScopedEnv> configEnv_;
};

TEST(OutputExtension, EveryFormatCodeHasItsExtension) {
  const std::pair<int, const char*> table[] = {
      {1000, ".mp3"}, {2000, ".wav"}, {4000, ".ogg"}, {5500, ".amr"}, {5600, ".awb"},
      {6000, ".aac"}, {6500, ".m4a"}, {6600, ".mp4"}, {6700, ".m4b"}, {7000, ".wma"}};
  for (const auto& [code, ext] : table) EXPECT_EQ(OutputExtension(code), ext) << code;
  EXPECT_EQ(OutputExtension(0), "");
  EXPECT_EQ(OutputExtension(3000), "");
  EXPECT_EQ(OutputExtension(-1), "");
}

TEST_F(TargetPathTest, ExistenceChecksSeeLinksAndFolders) {
  WriteFile(root_ + "/a file", "x");
  fs::create_symlink(root_ + "/missing", root_ + "/dangling");
  fs::create_directory_symlink(root_, root_ + "/folder link");
  EXPECT_TRUE(FileExists(root_ + "/a file"));
  EXPECT_TRUE(FileExists(root_));
  EXPECT_TRUE(FileExists(root_ + "/dangling"));
  EXPECT_FALSE(FileExists(root_ + "/missing"));
  EXPECT_FALSE(FileExists(""));
  EXPECT_TRUE(FolderExists(root_));
  EXPECT_TRUE(FolderExists(root_ + "/folder link"));
  EXPECT_FALSE(FolderExists(root_ + "/a file"));
  EXPECT_FALSE(FolderExists(root_ + "/dangling"));
}

TEST_F(TargetPathTest, FolderChainCreatesMissingPartsAndRefusesFilesInTheWay) {
  EXPECT_TRUE(CreateFolderChain("/"));
  EXPECT_TRUE(CreateFolderChain(root_ + "//Müsik///日本語 ソング/deep/"));
  EXPECT_TRUE(FolderExists(root_ + "/Müsik/日本語 ソング/deep"));
  EXPECT_TRUE(CreateFolderChain(root_ + "/Müsik"));  // already there

  WriteFile(root_ + "/plain", "x");
  EXPECT_FALSE(CreateFolderChain(root_ + "/plain"));
  EXPECT_FALSE(CreateFolderChain(root_ + "/plain/sub"));
  fs::create_symlink(root_ + "/missing", root_ + "/dangling");
  EXPECT_FALSE(CreateFolderChain(root_ + "/dangling/sub"));
  EXPECT_FALSE(FileExists(root_ + "/missing"));
  EXPECT_FALSE(CreateFolderChain(kUnwritable + "/a"));
  EXPECT_FALSE(CreateFolderChain(root_ + "/" + std::string(300, 'n')));
  EXPECT_FALSE(CreateFolderChain(""));
}

TEST_F(TargetPathTest, SameFolderMp3ToMp3FollowsThePolicy) {
  const std::string src = root_ + "/Müsik/日本語 ソング.mp3";
  WriteFile(src, "source bytes");
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsOverwrite)), "!" + kSameAsSource);
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsRename)), root_ + "/Müsik/日本語 ソング_1.mp3");
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsSkip)), "!Target exists and skipped");
  // Refusals are the user's policy: the documents folder is not tried.
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsSkip, true)), "!Target exists and skipped");
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsOverwrite, true)), "!" + kSameAsSource);
  EXPECT_FALSE(FileExists(Documents()));
  EXPECT_EQ(ReadFile(src), "source bytes");
}

TEST_F(TargetPathTest, SameFolderNamesKeepEveryDotButTheLast) {
  fs::create_directories(root_ + "/a");
  fs::create_directories(root_ + "/my.music");
  const Settings mp3 = Options(kMp3, kTargetExistsRename);
  EXPECT_EQ(Resolve(root_ + "/a/song.wav", mp3), root_ + "/a/song.mp3");
  EXPECT_EQ(Resolve(root_ + "/a/readme", mp3), root_ + "/a/readme.mp3");
  EXPECT_EQ(Resolve(root_ + "/my.music/song", mp3), root_ + "/my.music/song.mp3");
  EXPECT_EQ(Resolve(root_ + "/a/song.live.flac", Options(kWav, kTargetExistsRename)),
            root_ + "/a/song.live.wav");
}

TEST_F(TargetPathTest, RenameSkipsEveryTakenNumber) {
  for (const char* name : {"song.mp3", "song_1.mp3", "song_2.mp3"}) {
    WriteFile(root_ + "/s/" + name, "old");
  }
  EXPECT_EQ(Resolve(root_ + "/s/song.flac", Options(kMp3, kTargetExistsRename)),
            root_ + "/s/song_3.mp3");
}

TEST_F(TargetPathTest, NumberedSeriesEndsAtItsBound) {
  const std::string base = root_ + "/full/song";
  for (const char* suffix : {"_1.mp3", "_2.mp3", "_3.mp3"}) WriteFile(base + suffix, "");
  EXPECT_EQ(FreeNumberedPath(base, ".mp3", 3), std::nullopt);
  EXPECT_EQ(FreeNumberedPath(base, ".mp3", 4), base + "_4.mp3");
  EXPECT_EQ(FreeNumberedPath(base, ".wav", 0), std::nullopt);
  EXPECT_EQ(FreeNumberedPath(base, ".wav", 3), base + "_1.wav");
}

TEST_F(TargetPathTest, DanglingLinkAtTheTargetIsTaken) {
  const std::string src = root_ + "/d/song.flac";
  WriteFile(src, "flac");
  fs::create_symlink(root_ + "/d/nowhere.mp3", root_ + "/d/song.mp3");
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsRename)), root_ + "/d/song_1.mp3");
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsSkip)), "!Target exists and skipped");
  // Overwrite replaces the link later; nothing may be created where it points.
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsOverwrite)), root_ + "/d/song.mp3");
  EXPECT_FALSE(FileExists(root_ + "/d/nowhere.mp3"));
  EXPECT_TRUE(fs::is_symlink(root_ + "/d/song.mp3"));
}

TEST_F(TargetPathTest, OverwriteLeavesTheOldTargetIntactAndNoProbeBehind) {
  const std::string src = root_ + "/o/song.flac";
  WriteFile(src, "flac");
  WriteFile(root_ + "/o/song.mp3", "previous output");
  EXPECT_EQ(Resolve(src, Options(kMp3, kTargetExistsOverwrite)), root_ + "/o/song.mp3");
  EXPECT_EQ(ReadFile(root_ + "/o/song.mp3"), "previous output");
  EXPECT_EQ(std::distance(fs::directory_iterator(root_ + "/o"), fs::directory_iterator()), 2);
}

TEST_F(TargetPathTest, OverwriteRefusesEveryWayOfReachingTheSource) {
  const std::string src = root_ + "/l/song.flac";
  WriteFile(src, "precious");
  const Settings overwrite = Options(kMp3, kTargetExistsOverwrite, true);

  fs::create_symlink(src, root_ + "/l/song.mp3");
  EXPECT_EQ(Resolve(src, overwrite), "!" + kSameAsSource);

  const std::string out = root_ + "/out";
  WriteFile(out + "/keep", "");
  fs::create_hard_link(src, out + "/song.mp3");
  EXPECT_EQ(Resolve(src, Custom(overwrite, out, false)), "!" + kSameAsSource);

  // The source itself is a link to the file that would be the target.
  WriteFile(out + "/via.wav", "wave");
  fs::create_symlink(out + "/via.wav", root_ + "/l/via.flac");
  EXPECT_EQ(Resolve(root_ + "/l/via.flac", Custom(Options(kWav, 22, true), out, false)),
            "!" + kSameAsSource);

  EXPECT_EQ(ReadFile(src), "precious");
  EXPECT_EQ(ReadFile(out + "/via.wav"), "wave");
  EXPECT_FALSE(FileExists(Documents()));
}

TEST_F(TargetPathTest, OverwriteCannotReplaceAFolder) {
  fs::create_directories(root_ + "/f/song.mp3");
  EXPECT_EQ(Resolve(root_ + "/f/song.flac", Options(kMp3, kTargetExistsOverwrite)),
            "!Failed to create file \"" + root_ + "/f/song.mp3\"");
}

TEST_F(TargetPathTest, CustomFolderFollowsThePolicy) {
  const std::string src = root_ + "/Müsik/日本語 ソング.flac";
  const std::string out = root_ + "/out put";
  WriteFile(src, "flac");
  WriteFile(out + "/日本語 ソング.mp3", "old");
  EXPECT_EQ(Resolve(src, Custom(Options(kMp3, kTargetExistsRename), out, false)),
            out + "/日本語 ソング_1.mp3");
  EXPECT_EQ(Resolve(src, Custom(Options(kMp3, kTargetExistsOverwrite), out + "/", false)),
            out + "/日本語 ソング.mp3");
  EXPECT_EQ(Resolve(src, Custom(Options(kMp3, kTargetExistsSkip), out, false)),
            "!Target exists and skipped");
  EXPECT_EQ(Resolve(src, Custom(Options(kWav, kTargetExistsSkip), out, false)),
            out + "/日本語 ソング.wav");
  EXPECT_EQ(ReadFile(out + "/日本語 ソング.mp3"), "old");
}

TEST_F(TargetPathTest, MirrorRebuildsTheSourceFolderBelowTheCustomFolder) {
  const std::string src = root_ + "/Music/pop/1.mp3";
  const std::string mirrored = root_.substr(1) + "/Music/pop/";
  for (const std::string& out : {root_ + "/Out", root_ + "/Out/"}) {
    EXPECT_EQ(Resolve(src, Custom(Options(kWav, kTargetExistsRename), out, true)),
              root_ + "/Out/" + mirrored + "1.wav");
  }
  EXPECT_TRUE(FolderExists(root_ + "/Out/" + mirrored));

  WriteFile(root_ + "/Out/" + mirrored + "1.wav", "old");
  const Settings rename = Custom(Options(kWav, kTargetExistsRename), root_ + "/Out", true);
  EXPECT_EQ(Resolve(src, rename), root_ + "/Out/" + mirrored + "1_1.wav");
  EXPECT_EQ(Resolve(src, Custom(Options(kWav, kTargetExistsOverwrite), root_ + "/Out", true)),
            root_ + "/Out/" + mirrored + "1.wav");
  EXPECT_EQ(Resolve(src, Custom(Options(kWav, kTargetExistsSkip), root_ + "/Out", true)),
            "!Target exists and skipped");

  // Repeated slashes collapse, colons stay, ".." never climbs out of the output folder.
  EXPECT_EQ(Resolve("//srv//a:b///c/2.flac", rename), root_ + "/Out/srv/a:b/c/2.wav");
  EXPECT_EQ(Resolve("/../../x/./3.flac", rename), root_ + "/Out/x/3.wav");
}

TEST_F(TargetPathTest, CustomFolderIsCreatedOrRefused) {
  const Settings mp3 = Options(kMp3, kTargetExistsRename);
  EXPECT_EQ(Resolve("/m/song.flac", Custom(mp3, root_ + "/new/deeper", false)),
            root_ + "/new/deeper/song.mp3");
  EXPECT_TRUE(FolderExists(root_ + "/new/deeper"));

  WriteFile(root_ + "/taken", "x");
  EXPECT_EQ(Resolve("/m/song.flac", Custom(mp3, root_ + "/taken", false)),
            "!Failed to create folder \"" + root_ + "/taken\"");
  EXPECT_EQ(Resolve("/m/song.flac", Custom(mp3, "", false)), "!Failed to create folder \"\"");
  EXPECT_EQ(ReadFile(root_ + "/taken"), "x");
  // The mirrored part cannot be built below a file.
  EXPECT_EQ(Resolve(root_ + "/taken/song.flac", Custom(mp3, "/", true)),
            "!Failed to create folder \"/" + root_.substr(1) + "/taken/\"");
}

TEST_F(TargetPathTest, OverlongNamesFailWhole) {
  const std::string longStem(252, 's');
  const Settings mp3 = Options(kMp3, kTargetExistsRename);
  EXPECT_EQ(Resolve(root_ + "/" + longStem + ".flac", mp3),
            "!Failed to create file \"" + root_ + "/" + longStem + ".mp3\"");

  std::string deep;
  for (int i = 0; i < 40; ++i) deep += "/" + std::string(200, 'a' + i % 26);
  const std::string base = root_ + "/Out/" + deep.substr(1) + "/";
  EXPECT_EQ(Resolve(deep + "/x.flac", Custom(mp3, root_ + "/Out", true)),
            "!Failed to create folder \"" + base + "\"");
}

TEST_F(TargetPathTest, FallbackMirrorsBelowDocumentsForACustomFolder) {
  const std::string src = root_ + "/Music/pop/1.mp3";
  const Settings s = Custom(Options(kWav, kTargetExistsRename, true), kUnwritable, true);
  EXPECT_EQ(Resolve(src, s), Documents() + "/" + root_.substr(1) + "/Music/pop/1.wav");
  EXPECT_EQ(Resolve(src, Custom(s, kUnwritable, false)), Documents() + "/1.wav");
}

TEST_F(TargetPathTest, FallbackPutsSourceFolderOutputDirectlyInDocuments) {
  WriteFile(root_ + "/plain", "x");
  const Settings s = Options(kMp3, kTargetExistsRename, true);
  EXPECT_EQ(Resolve(kUnwritable + "/song.flac", s), Documents() + "/song.mp3");
  Settings mirrorIgnored = s;
  mirrorIgnored.CreateDirs = 1;  // mirroring belongs to the custom folder only
  EXPECT_EQ(Resolve(root_ + "/plain/日本語 ソング.flac", mirrorIgnored),
            Documents() + "/日本語 ソング.mp3");
}

TEST_F(TargetPathTest, FallbackOffReportsTheFirstFailure) {
  EXPECT_EQ(Resolve(kUnwritable + "/song.flac", Options(kMp3, kTargetExistsRename)),
            "!Failed to create file \"" + kUnwritable + "/song.mp3\"");
  EXPECT_EQ(Resolve("/m/song.flac", Custom(Options(kMp3, 11), kUnwritable, true)),
            "!Failed to create folder \"" + kUnwritable + "\"");
  EXPECT_FALSE(FileExists(Documents()));
}

TEST_F(TargetPathTest, FallbackIsTriedOnceAndReportsItsOwnFailure) {
  const std::string longStem(252, 's');
  EXPECT_EQ(Resolve(kUnwritable + "/" + longStem + ".flac", Options(kMp3, 11, true)),
            "!Failed to create file \"" + Documents() + "/" + longStem + ".mp3\"");
}

TEST_F(TargetPathTest, FallbackWithoutDocumentsKeepsTheFirstStatus) {
  WriteFile(root_ + "/plain", "x");
  const ScopedEnv noHome("HOME", (root_ + "/plain/home").c_str());
  EXPECT_EQ(Resolve(kUnwritable + "/song.flac", Options(kMp3, 11, true)),
            "!Failed to create file \"" + kUnwritable + "/song.mp3\"");
}

}  // namespace
}  // namespace sonorell
