// The Options sheet and its General page: which page opens, what OK and Cancel keep, and
// the General page's checks, texts and buttons.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <string>
#include <thread>

#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/hosted_page.h"
#include "tests/ui/layout_checks.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/opt_output_page.h"
#include "ui/opt_page.h"
#include "ui/opt_sheet.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::OptionDesktop;
using testing::ProfileScope;
using testing::ServicesFor;
using testing::StoredSettings;

template <typename T>
T* Find(QWidget& parent, const char* name) {
  T* w = parent.findChild<T*>(QString::fromUtf8(name));
  if (!w) qFatal("no control named %s", name);
  return w;
}

// Settings as a user who has used the program a while has them, saved to the store.
Settings SavedSettings() {
  Settings s = CreateDefaultSettings();
  s.DestOutputFolderOpt = kOutputToSourceFolder;
  s.DestSpecifiedFolder.clear();
  s.FilterExts = "wav,mp3";
  s.Mp3Tags.Artist = "Ёлка";
  SaveSettings(s, kSaveEverything);
  return s;
}

class OptionsSheetTest : public QObject {
  Q_OBJECT

 private slots:
  void opensOnTheRememberedPageOrTheFirst() {
    ProfileScope profile;
    OptionDesktop desktop;
    const struct {
      int stored;
      int opened;
    } cases[] = {{kWavPage, kWavPage},
                 {kM4aPage, kM4aPage},
                 {8, kFlacPage},
                 {9, kOpusPage},
                 {10, kGeneralPage},
                 {-1, kGeneralPage},
                 {-2147483647 - 1, kGeneralPage}};
    for (const auto& c : cases) {
      Settings settings = SavedSettings();
      settings.OptStartPageIndex = c.stored;
      COptSheet sheet(settings, ServicesFor(desktop), nullptr);
      QCOMPARE(sheet.windowTitle(), QString("Options"));
      QCOMPARE(sheet.Tabs()->currentIndex(), c.opened);
      sheet.reject();
      QCOMPARE(settings.OptStartPageIndex, c.opened);
    }
  }

  void tabsAreThePagesInOrder() {
    ProfileScope profile;
    OptionDesktop desktop;
    Settings settings = SavedSettings();
    COptSheet sheet(settings, ServicesFor(desktop), nullptr);
    const QStringList titles{
        "General",         "MP3 Options", "WAV Options",         "WMA Options",  "OGG Options",
        "AMR/AWB Options", "AAC Options", "MP4/M4A/M4B Options", "FLAC Options", "Opus Options"};
    QCOMPARE(sheet.Tabs()->count(), titles.size());
    for (int i = 0; i < titles.size(); ++i) QCOMPARE(sheet.Tabs()->tabText(i), titles[i]);
    sheet.reject();
  }

  // Cancel keeps the store as it was, byte for byte, and only the page index changes.
  void cancelChangesNothingButThePageShown() {
    ProfileScope profile;
    OptionDesktop desktop;
    Settings settings = SavedSettings();
    const std::string before = testing::ReadFileBytes(profile.OptionsFile());
    QVERIFY(!before.empty());
    const Settings original = settings;
    {
      COptSheet sheet(settings, ServicesFor(desktop), nullptr);
      sheet.show();
      auto& general = *sheet.Page(kGeneralPage);
      Find<QCheckBox>(general, "mirror")->setChecked(true);
      Find<QLineEdit>(general, "filterExts")->setText("ogg");
      sheet.Tabs()->setCurrentIndex(kWavPage);
      QCOMPARE(sheet.Tabs()->currentIndex(), kWavPage);
      sheet.reject();
    }
    QCOMPARE(testing::ReadFileBytes(profile.OptionsFile()), before);
    Settings expected = original;
    expected.OptStartPageIndex = kWavPage;
    QVERIFY(settings == expected);

    // The next Options opens where the last one was closed.
    COptSheet again(settings, ServicesFor(desktop), nullptr);
    QCOMPARE(again.Tabs()->currentIndex(), kWavPage);
    again.reject();
  }

  void generalPageShowsAndStoresEveryField() {
    ProfileScope profile;
    testing::TempFolder out;
    OptionDesktop desktop;
    Settings settings = SavedSettings();
    settings.TargetExistsOpt = 77;  // no such policy: shows, and is stored, as the first
    settings.FilesAtOnce = 7;
    COptSheet sheet(settings, ServicesFor(desktop), nullptr);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QWidget& page = *sheet.Page(kGeneralPage);

    auto* mode = Find<QComboBox>(page, "folderMode");
    QCOMPARE(mode->count(), 2);
    QCOMPARE(mode->itemText(0), QString("Same as original file"));
    QCOMPARE(mode->itemText(1), QString("A custom folder"));
    auto* exists = Find<QComboBox>(page, "targetExists");
    QCOMPARE(exists->currentText(), QString("Auto rename (add number at end of file name)"));
    QCOMPARE(exists->itemText(1), QString("Overwrite"));
    QCOMPARE(exists->itemText(2), QString("Skip (not convert)"));
    // Beside the source: the custom folder controls are not usable.
    for (const char* name : {"customFolder", "browse", "open", "mirror", "example"}) {
      QVERIFY2(!Find<QWidget>(page, name)->isEnabled(), name);
    }
    QVERIFY(!Find<QLineEdit>(page, "filterExts")->isEnabled());
    QCOMPARE(Find<SpinEdit>(page, "filesAtOnce")->text(), QString("7"));
    QVERIFY(!Find<QCheckBox>(page, "keepDamaged")->isChecked());
    QVERIFY(Find<QCheckBox>(page, "splitLongFiles")->isChecked());
    testing::SaveWindowScreenshot(sheet, "options-general");

    // Every control changed as a user would.
    mode->setCurrentIndex(1);
    for (const char* name : {"customFolder", "browse", "open", "mirror", "example"}) {
      QVERIFY2(Find<QWidget>(page, name)->isEnabled(), name);
    }
    auto* folder = Find<QLineEdit>(page, "customFolder");
    folder->clear();
    QTest::keyClicks(folder, QString::fromStdString(out.path() + "/Ausgabe Ä/"));
    Find<QCheckBox>(page, "mirror")->click();
    exists->setCurrentIndex(2);
    Find<QCheckBox>(page, "documentsFallback")->click();
    Find<QCheckBox>(page, "browseOutput")->click();
    Find<QRadioButton>(page, "mono2")->click();
    testing::Type(Find<SpinEdit>(page, "filesAtOnce"), "12");
    Find<QCheckBox>(page, "keepDamaged")->click();
    Find<QCheckBox>(page, "splitLongFiles")->click();
    Find<QCheckBox>(page, "filterOn")->click();
    auto* exts = Find<QLineEdit>(page, "filterExts");
    QVERIFY(exts->isEnabled());
    QCOMPARE(sheet.focusWidget(), exts);
    exts->clear();
    QTest::keyClicks(exts, "wav; mp3 ,m4a\t;FLAC");
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QVERIFY(desktop.messages.empty());

    const Settings stored = StoredSettings();
    QCOMPARE(stored.DestOutputFolderOpt, kOutputToCustomFolder);
    QCOMPARE(stored.DestSpecifiedFolder, out.path() + "/Ausgabe Ä/");
    QCOMPARE(stored.CreateDirs, 1);
    QCOMPARE(stored.TargetExistsOpt, kTargetExistsSkip);
    QCOMPARE(stored.OutputFiles2MyDocuments, 0);
    QCOMPARE(stored.BrowseOutputFolder, 0);
    QCOMPARE(stored.MonoType, 2);
    QCOMPARE(stored.FilesAtOnce, 12);
    QCOMPARE(stored.KeepDamaged, 1);
    QCOMPARE(stored.SplitLongFiles, 0);
    QCOMPARE(stored.EnableExtFilter, 1);
    QCOMPARE(stored.FilterExts, std::string("wav,mp3,m4a,FLAC"));
    // The live record has its filter rebuilt for Add Folder and drops.
    QCOMPARE(settings.ExtensionFilter, (std::vector<std::string>{"wav", "mp3", "m4a", "flac"}));
    // What the other pages hold was not touched by accepting the sheet.
    QCOMPARE(stored.Mp3Tags.Artist, std::string("Ёлка"));
  }

  void generalPageRefusesToBeLeftWithoutFolderOrExtensions() {
    ProfileScope profile;
    OptionDesktop desktop;
    Settings settings = SavedSettings();
    const std::string before = testing::ReadFileBytes(profile.OptionsFile());
    COptSheet sheet(settings, ServicesFor(desktop), nullptr);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QWidget& page = *sheet.Page(kGeneralPage);

    // A custom folder with no folder: neither OK nor another tab leaves the page.
    Find<QComboBox>(page, "folderMode")->setCurrentIndex(1);
    Find<QLineEdit>(page, "customFolder")->clear();
    sheet.accept();
    QVERIFY(sheet.isVisible());
    QCOMPARE(desktop.LastMessage(), QString("Please choose an output folder."));
    QCOMPARE(desktop.messages.back().icon, QMessageBox::Warning);
    QCOMPARE(sheet.focusWidget(), Find<QLineEdit>(page, "customFolder"));
    sheet.Tabs()->setCurrentIndex(kMp3Page);
    QCOMPARE(sheet.Tabs()->currentIndex(), kGeneralPage);
    QCOMPARE(desktop.messages.size(), size_t{2});

    // The filter on with nothing but blanks.
    Find<QLineEdit>(page, "customFolder")->setText("/tmp/out/");
    Find<QCheckBox>(page, "filterOn")->click();
    Find<QLineEdit>(page, "filterExts")->setText(" \t  ");
    sheet.accept();
    QVERIFY(sheet.isVisible());
    QCOMPARE(desktop.LastMessage(), QString("Please enter file extensions you need to filter."));
    QCOMPARE(sheet.focusWidget(), Find<QLineEdit>(page, "filterExts"));
    // Nothing reached the store while the page refused.
    QCOMPARE(testing::ReadFileBytes(profile.OptionsFile()), before);

    Find<QLineEdit>(page, "filterExts")->setText("aiff");
    sheet.Tabs()->setCurrentIndex(kOggPage);
    QCOMPARE(sheet.Tabs()->currentIndex(), kOggPage);
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(settings.OptStartPageIndex, kOggPage);
    QCOMPARE(StoredSettings().FilterExts, std::string("aiff"));
  }

  void generalPageRefusesFilesAtOnceOutsideOneTo64() {
    ProfileScope profile;
    OptionDesktop desktop;
    Settings settings = SavedSettings();
    const std::string before = testing::ReadFileBytes(profile.OptionsFile());
    COptSheet sheet(settings, ServicesFor(desktop), nullptr);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    QWidget& page = *sheet.Page(kGeneralPage);
    auto* edit = Find<SpinEdit>(page, "filesAtOnce");

    for (const char* typed : {"0", "65", "-1", "", "  ", "four", "2x", "99999999999"}) {
      testing::Type(edit, typed);
      sheet.accept();
      QVERIFY2(sheet.isVisible(), typed);
      QCOMPARE(desktop.LastMessage(),
               QString("Invalid number of files converted at once. It's between 1 and 64."));
      QCOMPARE(desktop.messages.back().icon, QMessageBox::Warning);
      QCOMPARE(sheet.focusWidget(), edit);
    }
    testing::Type(edit, "65");
    sheet.accept();
    testing::SaveWindowScreenshot(sheet, "options-general-files-at-once-refused");
    // Another tab is refused the same way, and nothing reached the store.
    sheet.Tabs()->setCurrentIndex(kWavPage);
    QCOMPARE(sheet.Tabs()->currentIndex(), kGeneralPage);
    QCOMPARE(desktop.messages.size(), size_t{10});
    QCOMPARE(testing::ReadFileBytes(profile.OptionsFile()), before);

    // The arrows stay within the range.
    testing::Type(edit, "64");
    QTest::keyClick(edit, Qt::Key_Up);
    QCOMPARE(edit->text(), QString("64"));
    testing::Type(edit, "1");
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(edit->text(), QString("1"));

    testing::Type(edit, "64");
    sheet.accept();
    QCOMPARE(sheet.result(), int(QDialog::Accepted));
    QCOMPARE(desktop.messages.size(), size_t{10});
    QCOMPARE(settings.FilesAtOnce, 64);
    QCOMPARE(StoredSettings().FilesAtOnce, 64);
  }

  // A record that leaves the count unset or out of range shows the count that is used, and
  // OK keeps it.
  void generalPageShowsTheCountInUse() {
    ProfileScope profile;
    const int cores = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
    const struct {
      int held;
      int shown;
    } cases[] = {{0, cores}, {-5, cores}, {65, 64}, {1, 1}};
    for (const auto& c : cases) {
      Settings settings = SavedSettings();
      settings.FilesAtOnce = c.held;
      testing::Hosted<COptOutputPage> h(settings);
      QCOMPARE(h.Child<SpinEdit>("filesAtOnce")->text(), QString::number(c.shown));
      QVERIFY(!h.page->LeavePage());
      h.page->StoreInto(settings);
      QCOMPARE(settings.FilesAtOnce, c.shown);
    }
  }

  void browseOpenAndTheMonoExplanation() {
    ProfileScope profile;
    testing::TempFolder root;
    OptionDesktop desktop;
    Settings settings = SavedSettings();
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = root.path() + "/not yet/";
    COptSheet sheet(settings, ServicesFor(desktop), nullptr);
    sheet.show();
    QWidget& page = *sheet.Page(kGeneralPage);

    // Open on a folder that does not exist: the note, and no folder made.
    Find<QPushButton>(page, "open")->click();
    QCOMPARE(desktop.LastMessage(),
             QString::fromStdString("The folder \"" + root.path() +
                                    "/not yet/\" doesn't exist yet.\n\nNote: the program will "
                                    "create the folder automatically when converting files."));
    QCOMPARE(desktop.messages.back().icon, QMessageBox::Warning);
    QVERIFY(!fs::exists(root.path() + "/not yet"));
    QVERIFY(desktop.opened.empty());

    // Browse: titled, starting on the folder without its final slash; Cancel keeps it.
    Find<QPushButton>(page, "browse")->click();
    QCOMPARE(desktop.folderTitle, QString("Please choose an output folder:"));
    QCOMPARE(desktop.folderStart, QString::fromStdString(root.path() + "/not yet"));
    QCOMPARE(Find<QLineEdit>(page, "customFolder")->text(),
             QString::fromStdString(root.path() + "/not yet/"));
    desktop.folderToChoose = QString::fromStdString(root.path());
    Find<QPushButton>(page, "browse")->click();
    QCOMPARE(Find<QLineEdit>(page, "customFolder")->text(),
             QString::fromStdString(root.path() + "/"));

    // Open on an existing folder hands it to the desktop.
    Find<QPushButton>(page, "open")->click();
    QCOMPARE(desktop.opened, (std::vector<std::string>{root.path() + "/"}));

    Find<QPushButton>(page, "monoHelp")->click();
    QVERIFY(desktop.LastMessage().startsWith(
        "In general, the output sound equals to \"(L+R)/2,\" which contains left and right "
        "channels.\n\n\"L channel\" means"));
    QVERIFY(desktop.LastMessage().endsWith("contains left and right channels distinguishingly."));
    QCOMPARE(desktop.messages.back().icon, QMessageBox::Information);
    sheet.reject();
  }

  void extensionListCleaning() {
    QCOMPARE(CleanExtensionList("wav; mp3 ,m4a"), std::string("wav,mp3,m4a"));
    QCOMPARE(CleanExtensionList("\t ;; "), std::string(",,"));
    QCOMPARE(CleanExtensionList("flac"), std::string("flac"));
  }
};

SONORELL_UI_TEST(OptionsSheetTest);

}  // namespace
}  // namespace sonorell

#include "options_sheet_test.moc"
