#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "engine/jobs/output_formats.h"
#include "tests/support/decoding.h"
#include "tests/ui/ui_test_registry.h"
#include "tests/ui/window_test_support.h"
#include "ui/convert_progress_dlg.h"
#include "ui/main_dlg.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;
using testing::Cell;
using testing::Desktop;
using testing::ServicesFor;
using testing::WriteWav;

// Sets the test-only fault switch of the workers for as long as it lives.
class WorkerFaults {
 public:
  explicit WorkerFaults(const char* faults) { qputenv("SONORELL_TEST_WORKER_FAULT", faults); }
  ~WorkerFaults() { qunsetenv("SONORELL_TEST_WORKER_FAULT"); }
  WorkerFaults(const WorkerFaults&) = delete;
  WorkerFaults& operator=(const WorkerFaults&) = delete;
};

void OutputTo(CMainDlg& window, const std::string& folder, int format, int filesAtOnce) {
  window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(format));
  Settings& s = window.CurrentSettings();
  s.DestOutputFolderOpt = kOutputToCustomFolder;
  s.DestSpecifiedFolder = folder;
  s.OutputFiles2MyDocuments = 0;
  s.BrowseOutputFolder = 0;
  s.FilesAtOnce = filesAtOnce;
}

// The window's runs and intake go through the worker helper: several files at once, and a
// file whose decoder crashes or hangs fails alone while the window and the list live on.
class WorkerRunTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    profile_ = std::make_unique<testing::TempFolder>();
    qputenv("HOME", QByteArray::fromStdString(*profile_ / "home"));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(*profile_ / "config"));
    fs::create_directories(*profile_ / "home");
  }
  void cleanup() { profile_.reset(); }

  void twoAtOnceWhileACrashAndAHangFailAlone() {
    testing::TempFolder in;
    testing::TempFolder out;
    testing::TempFolder elsewhere;
    const std::vector<std::string> names{"a.wav", "bad-crash.wav", "b.wav", "bad-hang.wav",
                                         "c.wav"};
    for (const std::string& n : names) WriteWav(in / n, 44100, 2, 40);
    const WorkerFaults faults("crash:bad-crash,hang:bad-hang");
    Desktop desktop;
    MainWindowServices services = ServicesFor(desktop);
    services.conversionSilenceLimit = std::chrono::seconds(2);
    CMainDlg window(std::move(services));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    std::vector<std::string> items;
    for (const std::string& n : names) items.push_back(in / n);
    window.AddDroppedItems(items);
    QCOMPARE(window.Files().Count(), 5);
    OutputTo(window, out.path(), kOutputMp3, 2);

    // Two files run at once, each on a line of its own; an option saved meanwhile cannot
    // reach the run.
    bool sawTwo = false;
    QTimer watcher;
    connect(&watcher, &QTimer::timeout, [&] {
      CConvertProgressDlg* progress = window.ConvertProgressWindow();
      if (sawTwo || !progress || progress->FileSlots() != 2) return;
      const QString first = progress->SlotLine(0)->text();
      const QString second = progress->SlotLine(1)->text();
      if (!first.contains('%') || !second.contains('%')) return;
      sawTwo = true;
      QVERIFY(first != second);
      QVERIFY(progress->OverallLine()->text().contains(" file(s) to MP3..."));
      window.CurrentSettings().DestSpecifiedFolder = elsewhere.path();
      progress->repaint();
      testing::SaveScreenScreenshot("convert-progress-two-at-once");
    });
    watcher.start(2);
    window.Convert();
    watcher.stop();

    QVERIFY(sawTwo);
    QVERIFY(window.isVisible() && window.isEnabled() && !window.Busy());
    QCOMPARE(Cell(window, 0, kColumnStatus), QString("a.mp3"));
    QCOMPARE(Cell(window, 1, kColumnStatus),
             QString("Conversion Failure (worker crashed: signal 11)"));
    QCOMPARE(Cell(window, 2, kColumnStatus), QString("b.mp3"));
    QCOMPARE(Cell(window, 3, kColumnStatus), QString("Conversion Failure (timed out after 2 s)"));
    QCOMPARE(Cell(window, 4, kColumnStatus), QString("c.mp3"));
    QCOMPARE(window.ListView()->header()->sectionSize(kColumnStatus), 500);
    QVERIFY(window.Files().Entry(1).TargetPath.empty());
    // Nothing partial is left, and nothing went where the option pointed after Convert.
    QCOMPARE(testing::ListFolder(out.path()), std::string("a.mp3\nb.mp3\nc.mp3\n"));
    QCOMPARE(testing::ListFolder(elsewhere.path()), std::string());
    for (const char* n : {"a.mp3", "b.mp3", "c.mp3"}) {
      const std::optional<std::vector<int16_t>> pcm = testing::FfmpegDecode16(out / n);
      QVERIFY(pcm);
      QVERIFY(std::abs(static_cast<double>(pcm->size()) / (2 * 44100) - 40) < 0.2);
    }
    testing::SaveScreenshot(window, "main-after-crash-and-hang");
  }

  // The two newer formats from the format box: a 24-bit source stays 24-bit in FLAC, and
  // both outputs pass their reference checkers.
  void flacAndOpusFromTheFormatBox() {
    if (!testing::ToolAvailable("flac") || !testing::ToolAvailable("opusinfo")) {
      QSKIP("flac or opusinfo is not installed");
    }
    testing::TempFolder in;
    testing::TempFolder out;
    const std::string source = in / "hires.wav";
    QVERIFY(testing::CommandOutput("sox -n -r 96000 -b 24 -c 2 " + testing::ShellQuote(source) +
                                   " synth 3 sine 440 sine 660 gain -6"));
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({source});
    QCOMPARE(window.Files().Count(), 1);
    struct Case {
      int format;
      const char* output;
      std::string check;
    } cases[] = {
        {kOutputFlac, "hires.flac", "flac -s -t "},
        {kOutputOpus, "hires.opus", "opusinfo "},
    };
    for (const Case& c : cases) {
      OutputTo(window, out.path(), c.format, 1);
      window.Convert();
      QCOMPARE(Cell(window, 0, kColumnStatus), QString(c.output));
      QVERIFY2(testing::CommandOutput(c.check + testing::ShellQuote(out / c.output)), c.output);
    }
    QCOMPARE(
        testing::CommandOutput("metaflac --show-bps " + testing::ShellQuote(out / "hires.flac"))
            .value_or(""),
        std::string("24\n"));
  }

  void cancelStopsTheRunningFilesAndLeavesTheRest() {
    testing::TempFolder in;
    testing::TempFolder out;
    std::vector<std::string> items;
    for (const char* n : {"1.wav", "2.wav", "3.wav", "4.wav", "5.wav", "6.wav"}) {
      WriteWav(in / n, 44100, 2, 240);
      items.push_back(in / n);
    }
    Desktop desktop;
    CMainDlg window(ServicesFor(desktop));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems(items);
    OutputTo(window, out.path(), kOutputOgg, 2);
    QTimer canceller;
    connect(&canceller, &QTimer::timeout, [&] {
      CConvertProgressDlg* progress = window.ConvertProgressWindow();
      if (!progress || progress->FileSlots() < 2 || progress->SlotBar(1)->value() <= 0) return;
      canceller.stop();
      window.close();  // a close request during a run is Cancel
    });
    canceller.start(2);
    window.Convert();

    QVERIFY(window.isVisible());
    int cancelled = 0;
    for (int row = 0; row < 6; ++row) {
      const QString status = Cell(window, row, kColumnStatus);
      if (status == "Cancelled") ++cancelled;
      if (row >= 2) QVERIFY2(status.isEmpty(), qPrintable(status));
    }
    QCOMPARE(cancelled, 2);
    QCOMPARE(testing::ListFolder(out.path()), std::string());
  }

  void aFolderWhoseProbeCrashesOrHangsStillAdds() {
    testing::TempFolder in;
    for (const char* n : {"good.wav", "bad-probe.wav", "fine.wav", "slow-probe.wav"}) {
      WriteWav(in / n, 8000, 1, 1);
    }
    const WorkerFaults faults("probe-crash:bad-probe,probe-hang:slow-probe");
    Desktop desktop;
    MainWindowServices services = ServicesFor(desktop);
    services.probeSilenceLimit = std::chrono::seconds(2);
    CMainDlg window(std::move(services));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    desktop.folderToChoose = QString::fromStdString(in.path());
    window.AddFolder();

    QVERIFY(window.isVisible() && window.isEnabled());
    QCOMPARE(window.Files().Count(), 2);
    const std::set<QString> listed{Cell(window, 0, kColumnFile), Cell(window, 1, kColumnFile)};
    QCOMPARE(listed, (std::set<QString>{"good.wav", "fine.wav"}));
    QCOMPARE(desktop.messages.size(), size_t{1});
    const QString& text = desktop.messages[0].text;
    QVERIFY(text.startsWith("Failed to load the following files.\n\n"));
    QVERIFY(text.contains(QString::fromStdString(in / "bad-probe.wav") + "\n"));
    QVERIFY(text.contains(QString::fromStdString(in / "slow-probe.wav") + "\n"));
  }

  // A helper that ends at once (a broken installation) neither hangs the window nor loses a
  // file silently: every path it never answered is named.
  void aHelperThatEndsAtOnceFailsAloud() {
    testing::TempFolder in;
    WriteWav(in / "one.wav", 8000, 1, 1);
    Desktop desktop;
    MainWindowServices services = ServicesFor(desktop);
    services.workerHelper = "/bin/true";
    CMainDlg window(std::move(services));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({in / "one.wav"});
    QVERIFY(window.isEnabled() && !window.Busy());
    QCOMPARE(window.Files().Count(), 0);
    QCOMPARE(desktop.messages.size(), size_t{1});
    QVERIFY(desktop.messages[0].text.contains(QString::fromStdString(in / "one.wav")));
  }

 private:
  std::unique_ptr<testing::TempFolder> profile_;
};

SONORELL_UI_TEST(WorkerRunTest);

}  // namespace
}  // namespace sonorell

#include "worker_run_test.moc"
