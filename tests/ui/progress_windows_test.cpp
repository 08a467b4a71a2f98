#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <memory>

#include "engine/encoders/file_progress.h"
#include "engine/encoders/forwarding_progress.h"
#include "engine/jobs/conversion_job.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_encoder.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/convert_progress_dlg.h"
#include "ui/progress_dlg.h"

namespace sonorell {
namespace {

void SaveScreenshot(QWidget& window, const QString& name) {
  const QString dir = qEnvironmentVariable("SONORELL_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  window.grab().save(dir + "/" + name + ".png");
}

// A list window for one run: it opens real progress windows and records the rows.
class WindowHost : public RunHost {
 public:
  void SetWaitCursor(bool) override {}
  void SetMainWindowEnabled(bool) override {}
  void SetRowStatus(int row, const std::string& text) override { status[row] = text; }
  void EnsureRowVisible(int) override {}
  void SetStatusColumnWidth(int) override {}
  bool AskYesNo(const std::string&) override { return false; }
  void OpenWithShell(const std::string&) override {}
  void SelectInFileBrowser(const std::string&) override {}
  std::unique_ptr<ConvertProgress> OpenConvertProgress() override {
    window = std::make_unique<CConvertProgressDlg>();
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) qWarning("progress window not exposed");
    return std::make_unique<ForwardingProgress>(*window, [this] { window.reset(); });
  }

  std::unique_ptr<CConvertProgressDlg> window;
  std::map<int, std::string> status;
};

class ProgressWindowsTest : public QObject {
  Q_OBJECT

 private slots:
  void conversionWindowShowsLinesAndBars() {
    CConvertProgressDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(dlg.width() > 300);
    QVERIFY(dlg.FileBarWidth() > 0);

    dlg.SetOverallBarRange(3);
    dlg.StepOverallBar();
    dlg.SetOverallLine("Converting 1 of 3 file(s) to MP3...");
    dlg.SetFileLine("Converting Ünïcødé song.flac...");
    FileProgress progress(dlg, "/music/Ünïcødé song.flac", 1000);
    progress.Update(420);
    QCOMPARE(dlg.FileLine()->text(), QString::fromUtf8("Converting Ünïcødé song.flac...42%"));
    QCOMPARE(dlg.FileBar()->maximum(), dlg.FileBarWidth());
    QVERIFY(dlg.FileBar()->value() > 0);
    QVERIFY(dlg.FileBar()->value() <= dlg.FileBar()->maximum());
    QCOMPARE(dlg.OverallBar()->value(), 1);
    QCOMPARE(dlg.OverallLine()->text(), QString("Converting 1 of 3 file(s) to MP3..."));
    SaveScreenshot(dlg, "convert-progress");

    progress.Complete();
    QCOMPARE(dlg.FileBar()->value(), dlg.FileBar()->maximum());
  }

  void cancelOnlySetsTheFlagAndTheWindowStays() {
    CConvertProgressDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QVERIFY(!dlg.CancelRequested());
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QTest::keyClick(&dlg, Qt::Key_Return);
    QVERIFY(dlg.isVisible());
    QVERIFY(!dlg.CancelRequested());
    dlg.close();  // a close gesture during a run is ignored
    QVERIFY(dlg.isVisible());
    QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
    QVERIFY(dlg.CancelRequested());
    QVERIFY(dlg.isVisible());
  }

  void conversionWindowDragsFromAnywhere() {
    CConvertProgressDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    const QPoint before = dlg.pos();
    QTest::mousePress(&dlg, Qt::LeftButton, {}, QPoint(5, 5));
    QMouseEvent move(QEvent::MouseMove, QPointF(45, 35), dlg.mapToGlobal(QPointF(45, 35)),
                     Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&dlg, &move);
    QTest::mouseRelease(&dlg, Qt::LeftButton, {}, QPoint(45, 35));
    QCOMPARE(dlg.pos(), before + QPoint(40, 30));
  }

  void intakeWindowCountsAndCancels() {
    CProgressDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.SetLine("Searching files...");
    dlg.SetBarRange(4);
    dlg.StepBar();
    dlg.SetLine("Adding file 1 of 4...");
    QCOMPARE(dlg.Line()->text(), QString("Adding file 1 of 4..."));
    QCOMPARE(dlg.Bar()->value(), 1);
    SaveScreenshot(dlg, "intake-progress");
    for (int i = 0; i < 10; ++i) dlg.StepBar();
    QCOMPARE(dlg.Bar()->value(), 4);  // never past its range
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QVERIFY(dlg.isVisible());
    QTest::mouseClick(dlg.CancelButton(), Qt::LeftButton);
    QVERIFY(dlg.CancelRequested());
  }

  void barWithoutWidthNeverDividesByZero() {
    CConvertProgressDlg dlg;  // never shown: its bar may report no width
    dlg.FileBar()->setFixedWidth(0);
    FileProgress progress(dlg, "/a/b.wav", 0);
    progress.Update(0);
    progress.Update(5);
    progress.Complete();
    QVERIFY(dlg.FileBar()->value() <= dlg.FileBar()->maximum());
    QCOMPARE(dlg.FileLine()->text(), QString("Converting b.wav...100%"));
  }

  // A whole run on the one thread: the window stays alive between blocks and a click on
  // Cancel reaches the run through the message pump.
  void cancelClickedDuringARunStopsIt() {
    testing::TempFolder in;
    testing::TempFolder out;
    std::vector<SourceFile> files(3);
    for (size_t i = 0; i < files.size(); ++i) {
      files[i].SourcePath = in / ("song " + std::to_string(i) + ".wav");
      testing::WriteFileBytes(files[i].SourcePath, "x");
      files[i].InputType = kInputWav;
    }
    Settings settings;
    settings.OutputFormat = 2000;
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = out.path();
    settings.OutputFiles2MyDocuments = 0;
    settings.BrowseOutputFolder = 0;

    testing::TestEncoderPlan plan;
    plan.shape.frames = 44100L * 60 * 30;  // long enough that the click lands inside it
    testing::TestEncoderLog log;
    RunServices services = DefaultRunServices();
    services.encoderFor = [&](int) { return testing::MakeTestEncoder(plan, log); };
    services.wmRuntimeLoaded = [] { return true; };

    WindowHost host;
    bool screenshotTaken = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
      if (!host.window || host.window->FileBar()->value() < 3) return;
      if (!screenshotTaken) {
        SaveScreenshot(*host.window, "convert-progress-running");
        screenshotTaken = true;
      }
      QTest::mouseClick(host.window->CancelButton(), Qt::LeftButton);
    });
    clicker.start(5);

    std::vector<SourceFile*> entries{&files[0], &files[1], &files[2]};
    std::vector<int> rows{0, 1, 2};
    RunState state;
    ConvertFiles(entries, rows, settings, state, host, services);

    QCOMPARE(host.status[0], std::string("Cancelled"));
    QVERIFY(host.status.count(1) == 0);
    QVERIFY(!host.window);  // closed by the run
    QCOMPARE(testing::ListFolder(out.path()), std::string());
  }
};

SONORELL_UI_TEST(ProgressWindowsTest);

}  // namespace
}  // namespace sonorell

#include "progress_windows_test.moc"
