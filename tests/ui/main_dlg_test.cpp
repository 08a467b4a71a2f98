#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QUrl>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/jobs/output_formats.h"
#include "settings/settings_store.h"
#include "tests/support/fake_desktop_helpers.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_encoder.h"
#include "tests/ui/ui_test_registry.h"
#include "tests/ui/window_test_support.h"
#include "ui/convert_progress_dlg.h"
#include "ui/main_dlg.h"
#include "ui/progress_dlg.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::Cell;
using testing::Desktop;
using testing::kSamples;
using testing::SaveScreenScreenshot;
using testing::SaveScreenshot;
using testing::ServicesFor;
using testing::WriteWav;

QAction* FindAction(QMenu& menu, const QString& text) {
  for (QAction* a : menu.actions()) {
    if (a->text() == text) return a;
  }
  return nullptr;
}

// Enabled state of the context menu's commands, by their menu text.
std::map<QString, bool> MenuState(CMainDlg& window) {
  const std::unique_ptr<QMenu> menu = window.CreateContextMenu();
  std::map<QString, bool> state;
  for (QAction* a : menu->actions()) {
    if (!a->isSeparator()) state[a->text()] = a->isEnabled();
  }
  return state;
}

int RowOf(CMainDlg& window, const QString& fileName) {
  for (int r = 0; r < window.ListView()->model()->rowCount(); ++r) {
    if (Cell(window, r, kColumnFile) == fileName) return r;
  }
  return -1;
}

void SelectRows(CMainDlg& window, const std::vector<int>& rows) {
  QItemSelectionModel* selection = window.ListView()->selectionModel();
  selection->clearSelection();
  for (const int r : rows) {
    selection->select(window.ListView()->model()->index(r, 0),
                      QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
}

// Stream properties as ffprobe reads them: duration in seconds, rate, channels.
struct Probe {
  double duration = 0;
  int rate = 0;
  int channels = 0;
};

std::optional<Probe> FfProbe(const std::string& path) {
  QProcess process;
  process.start(QStringLiteral("ffprobe"),
                {"-v", "error", "-select_streams", "a:0", "-show_entries",
                 "stream=sample_rate,channels:format=duration", "-of", "default=nw=1",
                 QString::fromStdString(path)});
  if (!process.waitForFinished(20000) || process.exitCode() != 0) return std::nullopt;
  Probe probe;
  for (const QString& line : QString::fromUtf8(process.readAllStandardOutput()).split('\n')) {
    const QString value = line.section('=', 1);
    if (line.startsWith("sample_rate=")) probe.rate = value.toInt();
    if (line.startsWith("channels=")) probe.channels = value.toInt();
    if (line.startsWith("duration=")) probe.duration = value.toDouble();
  }
  return probe;
}

int SecondsOf(const QString& durationText) {
  const QStringList parts = durationText.split(':');
  int seconds = 0;
  for (const QString& p : parts) seconds = seconds * 60 + p.toInt();
  return seconds;
}

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  // Each test starts on a fresh profile, as on a machine where Sonorell never ran.
  void init() {
    profile_ = std::make_unique<testing::TempFolder>();
    savedHome_ = qEnvironmentVariable("HOME");
    savedConfig_ = qEnvironmentVariable("XDG_CONFIG_HOME");
    fs::create_directories(*profile_ / "home");
    qputenv("HOME", QByteArray::fromStdString(*profile_ / "home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(*profile_ / "config"));
  }
  void cleanup() {
    qputenv("HOME", savedHome_.toUtf8());
    if (savedConfig_.isEmpty()) {
      qunsetenv("XDG_CONFIG_HOME");
    } else {
      qputenv("XDG_CONFIG_HOME", savedConfig_.toUtf8());
    }
    profile_.reset();
  }

  void emptyWindowShowsColumnsButtonsAndHelpOnFirstStart() {
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QCOMPARE(window.windowTitle(), QString("Sonorell"));
    QCOMPARE(window.size(), QSize(699, 538));

    // The very first start opens the help; the next one does not.
    QCOMPARE(desktop.opened.size(), size_t{1});
    QVERIFY(QString::fromStdString(desktop.opened[0]).endsWith("sonorell.html"));

    QAbstractItemModel* model = window.ListView()->model();
    const QStringList headers{"File", "Duration", "Bit Rate", "Freq.", "Channels", "Status"};
    const int widths[] = {152, 65, 65, 65, 60, 145};
    for (int c = 0; c < 6; ++c) {
      QCOMPARE(model->headerData(c, Qt::Horizontal).toString(), headers[c]);
      QCOMPARE(window.ListView()->header()->sectionSize(c), widths[c]);
      const bool right = c >= 1 && c <= 3;
      const auto align =
          model->headerData(c, Qt::Horizontal, Qt::TextAlignmentRole).value<Qt::Alignment>();
      QCOMPARE(bool(align & Qt::AlignRight), right);
    }
    QCOMPARE(model->rowCount(), 0);
    QCOMPARE(window.ListView()->selectionMode(), QAbstractItemView::ExtendedSelection);
    QCOMPARE(window.ListView()->selectionBehavior(), QAbstractItemView::SelectRows);

    const std::map<QString, QString> buttons{{"addFiles", "&Add Files|Add files"},
                                             {"addFolder", "Add &Folder|Add files from a folder"},
                                             {"removeAll", "Remove A&ll|Remove all files in list"},
                                             {"convert", "&Convert|Convert all files"},
                                             {"options", "&Options|Options"}};
    for (const auto& [name, textAndTip] : buttons) {
      auto* button = window.findChild<QPushButton*>(name);
      QVERIFY2(button, qPrintable(name));
      QCOMPARE(button->text() + "|" + button->toolTip(), textAndTip);
      QVERIFY(button->isEnabled());
    }
    QCOMPARE(window.FormatBox()->toolTip(), QString("Output format"));
    QCOMPARE(window.FormatBox()->count(), static_cast<int>(OutputFormatTable().size()));
    QCOMPARE(window.FormatBox()->currentText(), QString(" to MP3"));
    SaveScreenshot(window, "main-empty");

    // Enter and Esc leave the window open.
    QTest::keyClick(&window, Qt::Key_Escape);
    QTest::keyClick(&window, Qt::Key_Return);
    QVERIFY(window.isVisible());

    Desktop second;
    CMainDlg again(ServicesFor(second));
    QVERIFY(second.opened.empty());
  }

  void refusalsOnAnEmptyList() {
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.Convert();
    window.ConvertSelected();
    window.Remove();
    window.RemoveAll();
    QCOMPARE(desktop.messages.size(), size_t{4});
    QCOMPARE(desktop.messages[0].text, QString("There aren't files in list."));
    QCOMPARE(desktop.messages[1].text, QString("You should select a file at least."));
    QCOMPARE(desktop.messages[2].text, QString("You should select a file at least."));
    QCOMPARE(desktop.messages[3].text, QString("There aren't files in list."));
    for (const auto& m : desktop.messages) QCOMPARE(m.icon, QMessageBox::Information);
    QVERIFY(!window.ConvertProgressWindow());
  }

  void addFolderListsTheSamplesAndRemembersTheFolder() {
    if (!fs::is_directory(kSamples)) QSKIP("no sample folder");
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.CurrentSettings().Folder = "/nowhere/at/all/";
    desktop.folderToChoose = QString::fromStdString(kSamples);
    window.AddFolder();
    QCOMPARE(desktop.folderDialogStart, QString("/nowhere/at/all"));
    QCOMPARE(window.CurrentSettings().Folder, kSamples + "/");
    Settings stored;
    LoadSettings(stored);
    QCOMPARE(stored.Folder, kSamples + "/");
    QVERIFY(!window.IntakeProgressWindow());
    QVERIFY(window.isEnabled());

    // Every audio sample is listed; the README is the one file no decoder opens.
    int audio = 0;
    for (const auto& e : fs::directory_iterator(kSamples)) {
      if (e.path().extension() != ".md") ++audio;
    }
    QCOMPARE(desktop.messages.size(), size_t{1});
    QVERIFY2(window.Files().Count() == audio, qPrintable(desktop.messages[0].text));
    QCOMPARE(desktop.messages[0].icon, QMessageBox::Warning);
    QVERIFY(desktop.messages[0].text.startsWith("Failed to load the following files.\n\n" +
                                                QString::fromStdString(kSamples) + "/README.md\n"));

    for (const char* name : {"chord.flac", "speech-mono-48k.wav", "chord-16bit.wav"}) {
      const int row = RowOf(window, name);
      QVERIFY2(row >= 0, name);
      const std::optional<Probe> probe = FfProbe(kSamples + "/" + name);
      if (!probe) QSKIP("ffprobe is not available");
      QCOMPARE(Cell(window, row, kColumnFreq), QString("%1 Hz").arg(probe->rate));
      QCOMPARE(Cell(window, row, kColumnChannels),
               QString(probe->channels == 1 ? "Mono" : "Stereo"));
      const int seconds = SecondsOf(Cell(window, row, kColumnDuration));
      QVERIFY2(std::abs(seconds - probe->duration) <= 1.0,
               qPrintable(Cell(window, row, kColumnDuration)));
      QVERIFY(Cell(window, row, kColumnStatus).isEmpty());
    }
    const int mp3 = RowOf(window, "chord.mp3");
    QVERIFY(mp3 >= 0);
    QVERIFY(Cell(window, mp3, kColumnBitRate).endsWith(" kbps"));
    SaveScreenshot(window, "main-with-samples");

    // The same folder again adds nothing and reports only the README once more.
    desktop.messages.clear();
    window.AddFolder();
    QCOMPARE(window.Files().Count(), audio);
    QCOMPARE(desktop.messages.size(), size_t{1});
  }

  void addFilesRefusesDuplicatesAndReportsUndecodableFiles() {
    testing::TempFolder folder;
    WriteWav(folder / "one.wav", 44100, 2, 1);
    WriteWav(folder / "two.wav", 8000, 1, 2);
    std::mt19937 random(42);
    std::string noise(4096, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    testing::WriteFileBytes(folder / "noise.dat", noise);

    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    desktop.filesToChoose = {QString::fromStdString(folder / "one.wav"),
                             QString::fromStdString(folder / "two.wav")};
    window.AddFiles();
    QCOMPARE(window.Files().Count(), 2);
    QCOMPARE(Cell(window, 0, kColumnFile), QString("one.wav"));
    QCOMPARE(Cell(window, 0, kColumnFreq), QString("44100 Hz"));
    QCOMPARE(Cell(window, 0, kColumnChannels), QString("Stereo"));
    QCOMPARE(Cell(window, 0, kColumnDuration), QString("00:01"));
    QCOMPARE(Cell(window, 1, kColumnFreq), QString("8000 Hz"));
    QCOMPARE(Cell(window, 1, kColumnChannels), QString("Mono"));
    QCOMPARE(Cell(window, 1, kColumnDuration), QString("00:02"));
    QVERIFY(desktop.messages.empty());

    // Another spelling of a listed file is the same file.
    desktop.filesToChoose = {QString::fromStdString(folder.path() + "/./one.wav"),
                             QString::fromStdString(folder / "noise.dat")};
    window.AddFiles();
    QCOMPARE(window.Files().Count(), 2);
    QCOMPARE(desktop.messages.size(), size_t{1});
    QCOMPARE(desktop.messages[0].icon, QMessageBox::Warning);
    const QString text = desktop.messages[0].text;
    QVERIFY2(text.startsWith("Failed to load the following files.\n\n" +
                             QString::fromStdString(folder / "noise.dat") + "\n"),
             qPrintable(text));
    QVERIFY(!text.contains("one.wav"));

    // Cancel in the dialog adds nothing.
    desktop.filesToChoose.clear();
    window.AddFiles();
    QCOMPARE(window.Files().Count(), 2);
  }

  void dropAddsFilesAndFolders() {
    testing::TempFolder folder;
    fs::create_directories(folder / "sub");
    WriteWav(folder / "sub/a.wav", 22050, 1, 1);
    WriteWav(folder / "sub/b.wav", 22050, 2, 1);
    WriteWav(folder / "c.wav", 11025, 1, 1);

    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* mime = new QMimeData;  // the drop event does not own it; the test deletes it
    const std::unique_ptr<QMimeData> owner(mime);
    mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(folder / "sub")),
                   QUrl::fromLocalFile(QString::fromStdString(folder / "c.wav"))});
    const QPoint at = window.ListView()->geometry().center();
    QDragEnterEvent enter(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(at, Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&window, &drop);
    QVERIFY(drop.isAccepted());
    QTRY_COMPARE(window.Files().Count(), 3);
    QVERIFY(RowOf(window, "a.wav") >= 0 && RowOf(window, "b.wav") >= 0);
    QVERIFY(RowOf(window, "c.wav") >= 0);
    QVERIFY(desktop.messages.empty());
  }

  void contextMenuFollowsTheListAndSelection() {
    testing::TempFolder folder;
    WriteWav(folder / "one.wav", 44100, 2, 1);
    WriteWav(folder / "two.wav", 44100, 2, 1);
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));

    std::map<QString, bool> s = MenuState(window);
    const QStringList order{"&Play Source",          "Play &Destination",
                            "&Convert Selected",     "Convert All",
                            "Browse &Source Folder", "Browse Destination &Folder",
                            "&Add Files...\tCtrl+O", "Add F&older",
                            "&Remove\tDel",          "Remove Al&l"};
    {
      const std::unique_ptr<QMenu> menu = window.CreateContextMenu();
      QStringList texts;
      int separators = 0;
      for (QAction* a : menu->actions()) {
        if (a->isSeparator()) {
          ++separators;
        } else {
          texts << a->text();
        }
      }
      QCOMPARE(texts, order);
      QCOMPARE(separators, 3);
    }
    for (const QString& t : order) {
      QCOMPARE(s[t], t == "&Add Files...\tCtrl+O" || t == "Add F&older");
    }

    window.AddDroppedItems({folder / "one.wav", folder / "two.wav"});
    QCOMPARE(window.Files().Count(), 2);
    SelectRows(window, {});
    s = MenuState(window);
    QVERIFY(s["Convert All"] && s["Remove Al&l"]);
    QVERIFY(!s["&Convert Selected"] && !s["&Remove\tDel"] && !s["&Play Source"]);

    SelectRows(window, {1});
    s = MenuState(window);
    QVERIFY(s["&Play Source"] && s["Browse &Source Folder"]);
    QVERIFY(!s["Play &Destination"] && !s["Browse Destination &Folder"]);
    QVERIFY(s["&Convert Selected"] && s["&Remove\tDel"]);

    SelectRows(window, {0, 1});
    s = MenuState(window);
    QVERIFY(!s["&Play Source"] && !s["Play &Destination"]);
    QVERIFY(!s["Browse &Source Folder"] && !s["Browse Destination &Folder"]);
    QVERIFY(s["&Convert Selected"] && s["&Remove\tDel"] && s["Convert All"]);

    // Play Source and Browse Source Folder hand the path to the desktop.
    SelectRows(window, {1});
    {
      const std::unique_ptr<QMenu> menu = window.CreateContextMenu();
      FindAction(*menu, "&Play Source")->trigger();
      FindAction(*menu, "Browse &Source Folder")->trigger();
    }
    QTRY_COMPARE(desktop.browsed.size(), size_t{1});
    QCOMPARE(desktop.browsed[0], folder / "two.wav");
    QCOMPARE(desktop.opened.back(), folder / "two.wav");
  }

  void removeDeletesTheSelectedRowsAndTheyMayComeBack() {
    testing::TempFolder folder;
    for (const char* n : {"a.wav", "b.wav", "c.wav"}) WriteWav(folder / n, 8000, 1, 1);
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({folder / "a.wav", folder / "b.wav", folder / "c.wav"});
    QCOMPARE(window.Files().Count(), 3);

    SelectRows(window, {0, 2});
    window.ListView()->setFocus();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    QTest::keyClick(window.ListView(), Qt::Key_Delete);
    QCOMPARE(window.Files().Count(), 1);
    QCOMPARE(Cell(window, 0, kColumnFile), QString("b.wav"));

    window.AddDroppedItems({folder / "a.wav"});
    QCOMPARE(window.Files().Count(), 2);
    window.RemoveAll();
    QCOMPARE(window.Files().Count(), 0);
    QVERIFY(desktop.messages.empty());
  }

  void headerClicksSortAndKeepTheSelection() {
    testing::TempFolder folder;
    WriteWav(folder / "a.wav", 44100, 1, 1);
    WriteWav(folder / "b.wav", 8000, 1, 1);
    WriteWav(folder / "c.wav", 22050, 1, 1);
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({folder / "a.wav", folder / "b.wav", folder / "c.wav"});
    SelectRows(window, {0});  // a.wav

    QHeaderView* header = window.ListView()->header();
    const QPoint freq(header->sectionViewportPosition(kColumnFreq) + 10, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, freq);
    QCOMPARE(
        Cell(window, 0, kColumnFile) + Cell(window, 1, kColumnFile) + Cell(window, 2, kColumnFile),
        QString("b.wavc.wava.wav"));
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, freq);
    QCOMPARE(
        Cell(window, 0, kColumnFile) + Cell(window, 1, kColumnFile) + Cell(window, 2, kColumnFile),
        QString("a.wavc.wavb.wav"));
    const QModelIndexList selected = window.ListView()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(Cell(window, selected[0].row(), kColumnFile), QString("a.wav"));
  }

  void outputFormatBoxFollowsTheStoredCode() {
    {
      Settings s;
      s.OutputFormat = 6500;
      SaveSettings(s, kSaveFormatAndPage);
      Desktop desktop;
      CMainDlg window(ServicesFor(desktop));
      QCOMPARE(window.FormatBox()->currentText(), QString(" to M4A (MPEG-4 Audio)"));
      QCOMPARE(window.FormatBox()->currentIndex(), 7);  // the later of the two M4A items
      QCOMPARE(window.CurrentSettings().OutputFormat, 6500);
    }
    {
      Settings s;
      s.OutputFormat = 12345;
      SaveSettings(s, kSaveFormatAndPage);
      Desktop desktop;
      CMainDlg window(ServicesFor(desktop));
      QCOMPARE(window.FormatBox()->currentText(), QString(" to MP3"));
      QCOMPARE(window.CurrentSettings().OutputFormat, 1000);

      // A choice is kept at once and stored when the window goes.
      window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(2000));
      QCOMPARE(window.CurrentSettings().OutputFormat, 2000);
    }
    Settings stored;
    LoadSettings(stored);
    QCOMPARE(stored.OutputFormat, 2000);
  }

  void convertAllWritesWavFilesAndStatusTexts() {
    testing::TempFolder in;
    testing::TempFolder out;
    WriteWav(in / "tone one.wav", 44100, 2, 2);
    WriteWav(in / "tone two.wav", 22050, 1, 1);
    std::vector<std::string> items{in / "tone one.wav", in / "tone two.wav"};
    const bool samples = fs::is_regular_file(kSamples + "/chord.flac");
    if (samples) {
      items.push_back(kSamples + "/chord.flac");
      items.push_back(kSamples + "/chord.mp3");
    }

    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems(items);
    QCOMPARE(window.Files().Count(), static_cast<int>(items.size()));
    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(2000));
    Settings& s = window.CurrentSettings();
    s.DestOutputFolderOpt = kOutputToCustomFolder;
    s.DestSpecifiedFolder = out.path();
    s.OutputFiles2MyDocuments = 0;
    s.BrowseOutputFolder = 1;
    SaveScreenshot(window, "main-before-run");

    bool sawProgress = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
      CConvertProgressDlg* progress = window.ConvertProgressWindow();
      if (sawProgress || !progress || progress->FileBar()->value() <= 0) return;
      sawProgress = true;
      QVERIFY(!window.findChild<QPushButton*>("convert")->isEnabled());
      QVERIFY(progress->isEnabled());
      progress->repaint();
      window.repaint();
      SaveScreenScreenshot("main-during-run");
    });
    watcher.start(1);
    window.Convert();
    watcher.stop();

    QVERIFY(!window.ConvertProgressWindow());
    QVERIFY(window.findChild<QPushButton*>("convert")->isEnabled());
    for (int row = 0; row < window.Files().Count(); ++row) {
      const QString status = Cell(window, row, kColumnStatus);
      const QString stem = QFileInfo(Cell(window, row, kColumnFile)).completeBaseName();
      QVERIFY2(status.startsWith(stem) && status.endsWith(".wav"), qPrintable(status));
      const std::string target = out.path() + "/" + status.toStdString();
      QVERIFY2(fs::file_size(target) > 44, target.c_str());
      QCOMPARE(window.Files().Entry(row).TargetPath, target);
    }
    // The first output is shown in the file browser and its row is the selected one.
    QCOMPARE(desktop.browsed.size(), size_t{1});
    QCOMPARE(desktop.browsed[0], window.Files().Entry(0).TargetPath);
    const QModelIndexList selected = window.ListView()->selectionModel()->selectedRows();
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected[0].row(), 0);
    const std::map<QString, bool> menu = MenuState(window);
    QVERIFY(menu.at("Play &Destination") && menu.at("Browse Destination &Folder"));
    QVERIFY(desktop.messages.empty());
    QVERIFY(sawProgress);
    SaveScreenshot(window, "main-after-run");
  }

  // The desktop's real opener and file browser, played by stand-in helpers: the Windows Media
  // question opens its help page, a failure is reported once the helper has answered, and
  // the window waits for none of them.
  void theDesktopIsAskedWithoutWaitingAndItsFailuresAreReported() {
    testing::FakeDesktopHelpers helpers;
    helpers.Install("xdg-open", 0);
    testing::TempFolder in;
    const std::string song = in / "a song, 1.wav";
    WriteWav(song, 8000, 1, 1);
    Desktop desktop;
    MainWindowServices services = ServicesFor(desktop);
    const MainWindowServices real = DefaultMainWindowServices();
    services.openWithShell = real.openWithShell;
    services.selectInFileBrowser = real.selectInFileBrowser;
    services.askYesNo = [](QWidget*, const QString&) { return true; };
    services.run.wmRuntimeLoaded = [] { return false; };
    services.run.loadWmRuntime = [] { return false; };
    CMainDlg window(services);
    window.AddDroppedItems({song});
    QCOMPARE(window.Files().Count(), 1);
    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(kOutputWma));
    window.Convert();
    const std::string page = services.programFolder + "sonorell-windows-media.html";
    QVERIFY(fs::is_regular_file(page));
    // The first start's help, and the page the question sends the user to (the helpers run
    // side by side, so in either order).
    QTRY_COMPARE_WITH_TIMEOUT(helpers.Calls().size(), size_t{2}, 10000);
    std::vector<std::string> calls = helpers.Calls();
    std::sort(calls.begin(), calls.end());
    QCOMPARE(calls,
             (std::vector<std::string>{"xdg-open|" + page,
                                       "xdg-open|" + services.programFolder + "sonorell.html"}));

    // Neither the opener nor the file manager answers until let go; the window goes on.
    helpers.Install("xdg-open", 4, /*held=*/true);
    helpers.Install("dbus-send", 1, /*held=*/true);
    SelectRows(window, {0});
    window.PlaySource();
    window.BrowseSourceFolder();
    QVERIFY(desktop.messages.empty());
    QVERIFY(window.isEnabled() && !window.Busy());
    helpers.Release();
    QTRY_COMPARE_WITH_TIMEOUT(desktop.messages.size(), size_t{2}, 10000);
    QStringList texts;
    for (const Desktop::Message& m : desktop.messages) {
      QCOMPARE(m.icon, QMessageBox::Warning);
      texts << m.text;
    }
    texts.sort();
    QCOMPARE(texts[0],
             QString::fromStdString("Unfortunately, \"" + song +
                                    "\" couldn't be opened.\n\nNote: no program on your computer "
                                    "is set up to open it, or the one that is couldn't start."));
    QCOMPARE(texts[1],
             QString::fromStdString("Unfortunately, the file browser couldn't show \"" + song +
                                    "\".\n\nNote: no file manager answered, and its folder "
                                    "couldn't be opened either."));
    calls = helpers.Calls();
    QCOMPARE(calls.size(), size_t{5});
    std::sort(calls.begin() + 2, calls.end());
    QVERIFY(calls[2].rfind("dbus-send|", 0) == 0);
    QCOMPARE(calls[3], "xdg-open|" + in.path() + "/");
    QCOMPARE(calls[4], "xdg-open|" + song);
  }

  // A failure that comes while files are converted is shown once the run is over, so no
  // message box holds up the run.
  void aDesktopFailureDuringARunWaitsUntilTheRunIsOver() {
    testing::TempFolder in;
    testing::TempFolder out;
    WriteWav(in / "a.wav", 8000, 1, 1);
    Desktop desktop;
    desktop.desktopFails = true;
    CMainDlg window(ServicesFor(desktop));
    bool busyWhenShown = true;
    desktop.onMessage = [&] { busyWhenShown = window.Busy(); };
    window.AddDroppedItems({in / "a.wav"});
    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(kOutputWav));
    Settings& s = window.CurrentSettings();
    s.DestOutputFolderOpt = kOutputToCustomFolder;
    s.DestSpecifiedFolder = out.path();
    s.OutputFiles2MyDocuments = 0;
    s.BrowseOutputFolder = 1;
    const size_t firstStart = desktop.messages.size();  // the help of the first start failed
    window.Convert();
    QCOMPARE(desktop.browsed, std::vector<std::string>{out / "a.wav"});
    QCOMPARE(desktop.messages.size(), firstStart + 1);
    QVERIFY(desktop.messages.back().text.startsWith("Unfortunately, the file browser couldn't"));
    QVERIFY(!busyWhenShown);
  }

  void convertAllToMp3ReportsEachRow() {
    testing::TempFolder in;
    testing::TempFolder out;
    WriteWav(in / "a.wav", 44100, 2, 1);
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({in / "a.wav"});
    QCOMPARE(window.Files().Count(), 1);
    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(1000));
    Settings& s = window.CurrentSettings();
    s.DestOutputFolderOpt = kOutputToCustomFolder;
    s.DestSpecifiedFolder = out.path();
    s.OutputFiles2MyDocuments = 0;
    s.BrowseOutputFolder = 0;
    window.Convert();
    QCOMPARE(Cell(window, 0, kColumnStatus), QString("a.mp3"));
    QVERIFY(fs::file_size(out / "a.mp3") > 1000);
    QVERIFY(desktop.browsed.empty());
  }

  void unreadableFilesAreNamedInTheFailureMessage() {
    testing::TempFolder in;
    // A link whose file is gone cannot be opened by anyone, whatever the user's rights.
    fs::create_symlink(in / "gone.wav", in / "dangling.wav");
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    desktop.filesToChoose = {QString::fromStdString(in / "dangling.wav")};
    window.AddFiles();
    QCOMPARE(window.Files().Count(), 0);
    QCOMPARE(desktop.messages.size(), size_t{1});
    QVERIFY(desktop.messages[0].text.contains(QString::fromStdString(in / "dangling.wav")));
  }

  // While a run works the window takes no command, no drop and no close; a close request
  // becomes Cancel of the run.
  void closeDuringARunCancelsItAndTheWindowStays() {
    testing::TempFolder in;
    testing::TempFolder out;
    for (const char* n : {"x.wav", "y.wav"}) WriteWav(in / n, 8000, 1, 1);
    testing::TestEncoderPlan plan;
    plan.shape.frames = 44100L * 60 * 30;
    testing::TestEncoderLog log;
    Desktop desktop;
    MainWindowServices services = ServicesFor(desktop);
    services.run.encoderFor = [&](int) { return testing::MakeTestEncoder(plan, log); };
    services.workerHelper.clear();  // the test encoder lives in this program
    CMainDlg window(std::move(services));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({in / "x.wav", in / "y.wav"});
    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(2000));
    window.CurrentSettings().DestOutputFolderOpt = kOutputToCustomFolder;
    window.CurrentSettings().DestSpecifiedFolder = out.path();
    window.CurrentSettings().OutputFiles2MyDocuments = 0;

    bool tried = false;
    bool stayedOpen = false;
    QTimer poker;
    connect(&poker, &QTimer::timeout, [&] {
      CConvertProgressDlg* progress = window.ConvertProgressWindow();
      if (tried || !progress || progress->FileBar()->value() < 2) return;
      tried = true;
      window.RemoveAll();
      window.AddDroppedItems({in / "x.wav"});
      auto* mime = new QMimeData;
      const std::unique_ptr<QMimeData> owner(mime);
      mime->setUrls({QUrl::fromLocalFile(QString::fromStdString(in.path()))});
      QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, mime, Qt::LeftButton, {});
      QApplication::sendEvent(&window, &enter);
      QVERIFY(!enter.isAccepted());
      progress->close();  // the progress window ignores close requests
      QVERIFY(progress->isVisible());
      window.close();
      stayedOpen = window.isVisible() && window.Files().Count() == 2;
    });
    poker.start(5);
    window.Convert();
    poker.stop();

    QVERIFY(tried);
    QVERIFY(stayedOpen);
    QCOMPARE(window.Files().Count(), 2);
    QCOMPARE(Cell(window, 0, kColumnStatus), QString("Cancelled"));
    QVERIFY(Cell(window, 1, kColumnStatus).isEmpty());
    QCOMPARE(testing::ListFolder(out.path()), std::string());
    QVERIFY(desktop.messages.empty());

    // Once the run is over, a close request closes.
    window.close();
    QVERIFY(!window.isVisible());
  }

 private:
  std::unique_ptr<testing::TempFolder> profile_;
  QString savedHome_;
  QString savedConfig_;
};

SONORELL_UI_TEST(MainWindowTest);

}  // namespace
}  // namespace sonorell

#include "main_dlg_test.moc"
