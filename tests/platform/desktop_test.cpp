#include <gtest/gtest.h>

#include <filesystem>

#include "platform/desktop/documents_folder.h"
#include "platform/desktop/program_folder.h"
#include "platform/desktop/shell_open.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

TEST(FileUri, EscapesEverythingAFileManagerCouldMisread) {
  EXPECT_EQ(platform::FileUri("/home/u/a b,c.mp3"), "file:///home/u/a%20b%2Cc.mp3");
  EXPECT_EQ(platform::FileUri("/x/Ü#%?.wav"), "file:///x/%C3%9C%23%25%3F.wav");
}

class DocumentsFolder : public testing::TempProfileTest {};

TEST_F(DocumentsFolder, UserDirsEntryWinsAndIsCreated) {
  WriteBytes(config_ + "/user-dirs.dirs",
             "# written by xdg-user-dirs-update\nXDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n");
  const auto docs = platform::UserDocumentsFolder(true);
  ASSERT_TRUE(docs);
  EXPECT_EQ(*docs, home_ + "/Dokumente");
  EXPECT_TRUE(std::filesystem::is_directory(*docs));
}

TEST_F(DocumentsFolder, EntryPointingAtHomeMeansNoneAndFallsBackToDocuments) {
  WriteBytes(config_ + "/user-dirs.dirs", "XDG_DOCUMENTS_DIR=\"$HOME/\"\n");
  EXPECT_EQ(platform::UserDocumentsFolder(true).value_or(""), home_ + "/Documents");
}

TEST_F(DocumentsFolder, WithoutCreationAMissingFolderFallsBackToHome) {
  EXPECT_EQ(platform::UserDocumentsFolder(false).value_or(""), home_);
  EXPECT_FALSE(std::filesystem::exists(home_ + "/Documents"));
}

TEST(ProgramFolder, EndsInASlashAndHoldsThisProgram) {
  const std::string folder = platform::ProgramFolder();
  ASSERT_FALSE(folder.empty());
  EXPECT_EQ(folder.back(), '/');
  EXPECT_TRUE(std::filesystem::exists(folder + "sonorell_tests"));
  EXPECT_TRUE(std::filesystem::exists(folder + "sonorell.html"));  // help ships beside it
}

}  // namespace
}  // namespace sonorell
