#include <gtest/gtest.h>
#include <poll.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/desktop_request.h"
#include "platform/desktop/documents_folder.h"
#include "platform/desktop/file_uri.h"
#include "platform/desktop/program_folder.h"
#include "tests/support/fake_desktop_helpers.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

TEST(FileUri, EscapesEverythingAFileManagerCouldMisread) {
  EXPECT_EQ(platform::FileUri("/home/u/a b,c.mp3"), "file:///home/u/a%20b%2Cc.mp3");
  EXPECT_EQ(platform::FileUri("/x/Ü#%?.wav"), "file:///x/%C3%9C%23%25%3F.wav");
}

using platform::DesktopRequest;
using Calls = std::vector<std::string>;

// The request's outcome once its helpers have ended (each ends at once unless held);
// nullopt when one still runs after ten seconds.
std::optional<bool> Finish(DesktopRequest& request) {
  for (;;) {
    if (const std::optional<bool> outcome = request.Advance()) return outcome;
    pollfd handle{request.WaitHandle(), POLLIN, 0};
    if (::poll(&handle, 1, 10000) <= 0) return std::nullopt;
  }
}

TEST(DesktopRequest, OpeningNeverWaitsForTheOpenerAndTellsWhatItAnswered) {
  testing::FakeDesktopHelpers helpers;
  helpers.Install("xdg-open", 0, /*held=*/true);
  DesktopRequest open = DesktopRequest::Open("/music/a b.mp3");
  // The opener waits to be let go, yet the request is back: nothing waited for it.
  EXPECT_EQ(open.Advance(), std::nullopt);
  EXPECT_GE(open.WaitHandle(), 0);
  helpers.Release();
  EXPECT_EQ(Finish(open), true);
  EXPECT_EQ(open.WaitHandle(), -1);
  EXPECT_EQ(helpers.Calls(), Calls{"xdg-open|/music/a b.mp3"});

  // xdg-open's 4: the action failed (no program for the type, a file that is not there).
  helpers.Install("xdg-open", 4);
  DesktopRequest refused = DesktopRequest::Open("/music/gone.mp3");
  EXPECT_EQ(Finish(refused), false);

  DesktopRequest missing(std::vector<std::vector<std::string>>{{"sonorell-no-such-helper", "x"}});
  EXPECT_EQ(missing.WaitHandle(), -1);
  EXPECT_EQ(missing.Advance(), false);
}

TEST(DesktopRequest, TheFileBrowserFallsBackToTheFolderAndFailsOnlyWhenBothFail) {
  testing::FakeDesktopHelpers helpers;
  const std::string showItems =
      "dbus-send|--session|--print-reply|--reply-timeout=3000|"
      "--dest=org.freedesktop.FileManager1|--type=method_call|/org/freedesktop/FileManager1|"
      "org.freedesktop.FileManager1.ShowItems|array:string:file:///music/a%2Cb.mp3|string:";
  helpers.Install("dbus-send", 0);
  helpers.Install("xdg-open", 0);
  DesktopRequest shown = DesktopRequest::ShowInFileBrowser("/music/a,b.mp3");
  EXPECT_EQ(Finish(shown), true);
  EXPECT_EQ(helpers.Calls(), Calls{showItems});

  // No file manager answers (a slow one is given up by dbus-send itself after 3 s): the
  // folder is opened instead, and nothing waits for either.
  helpers.Install("dbus-send", 1, /*held=*/true);
  DesktopRequest folder = DesktopRequest::ShowInFileBrowser("/music/a,b.mp3");
  EXPECT_EQ(folder.Advance(), std::nullopt);
  helpers.Release();
  EXPECT_EQ(Finish(folder), true);
  EXPECT_EQ(helpers.Calls(), (Calls{showItems, showItems, "xdg-open|/music/"}));

  helpers.Install("xdg-open", 3);  // "a required tool could not be found"
  DesktopRequest neither = DesktopRequest::ShowInFileBrowser("/music/a,b.mp3");
  EXPECT_EQ(Finish(neither), false);
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
