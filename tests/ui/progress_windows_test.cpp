#include <QApplication>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

#include "engine/encoders/file_progress.h"
#include "engine/encoders/forwarding_progress.h"
#include "engine/jobs/conversion_job.h"
#include "tests/support/temp_folder.h"
#include "tests/support/test_encoder.h"
#include "tests/ui/layout_checks.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/convert_progress_dlg.h"
#include "ui/dialog_units.h"
#include "ui/elided_label.h"
#include "ui/progress_dlg.h"

namespace sonorell {
namespace {

void SaveScreenshot(QWidget& window, const QString& name) {
  const QString dir = qEnvironmentVariable("SONORELL_SCREENSHOT_DIR");
  if (dir.isEmpty()) return;
  QDir().mkpath(dir);
  window.grab().save(dir + "/" + name + ".png");
}

// The window's visible controls from top to bottom, each as "name x,y wxh".
QStringList ControlRows(QWidget& window) {
  std::vector<QWidget*> controls;
  for (QWidget* w : window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (w->isVisibleTo(&window)) controls.push_back(w);
  }
  std::sort(controls.begin(), controls.end(), [](const QWidget* a, const QWidget* b) {
    return std::pair(a->y(), a->x()) < std::pair(b->y(), b->x());
  });
  QStringList rows;
  for (const QWidget* w : controls) {
    rows << QStringLiteral("%1 %2,%3 %4x%5")
                .arg(w->objectName())
                .arg(w->x())
                .arg(w->y())
                .arg(w->width())
                .arg(w->height());
  }
  return rows;
}

QStringList Names(const QStringList& rows) {
  QStringList names;
  for (const QString& row : rows) names << row.section(' ', 0, 0);
  return names;
}

// The controls a window with count slots shows, top to bottom.
QStringList SlotWindowNames(int count) {
  QStringList names{"fileLine", "fileBar"};
  for (int slot = 1; slot < count; ++slot) {
    names << QStringLiteral("fileLine%1").arg(slot) << QStringLiteral("fileBar%1").arg(slot);
  }
  return names << "overallLine"
               << "overallBar"
               << "cancel";
}

int DrawnSlots(const CConvertProgressDlg& dlg) {
  int drawn = 0;
  while (dlg.SlotLine(drawn) && dlg.SlotBar(drawn)) ++drawn;
  return drawn;
}

// How far the file in a slot has come: 42% in slot 0, less in each next one, then round.
int SlotPercent(int slot) {
  return (42 + 91 * slot) % 100;
}

// A run converting several files at once, as its slots show it part-way.
void FillSlots(CConvertProgressDlg& dlg) {
  const char* const names[] = {"track07.flac", "track08.flac", "Intro (live).ogg",
                               "11 - Ünïcødé Ballad.wav"};
  for (int slot = 0; slot < dlg.FileSlots(); ++slot) {
    const int percent = SlotPercent(slot);
    dlg.SetSlotLine(
        slot, "Converting " + std::string(names[slot % 4]) + "..." + std::to_string(percent) + "%");
    dlg.SetSlotBarRange(slot, dlg.SlotBarWidth(slot));
    dlg.SetSlotBarPos(slot, dlg.SlotBarWidth(slot) * percent / 100);
  }
  dlg.SetOverallBarRange(16);
  for (int i = 0; i < 2; ++i) dlg.StepOverallBar();
  dlg.SetOverallLine("Converting 3 of 16 file(s) to MP3...");
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

  // One slot is the designed window, whichever count asked for it and whatever came before.
  void oneFileSlotIsTheDesignedWindow() {
    CConvertProgressDlg designed;
    designed.show();
    QVERIFY(QTest::qWaitForWindowExposed(&designed));
    QCOMPARE(designed.FileSlots(), 1);
    QCOMPARE(designed.size(), DialogUnitsToPixels(designed, 320, 95));
    QCOMPARE(Names(ControlRows(designed)), SlotWindowNames(1));
    QCOMPARE(designed.SlotLine(0), designed.FileLine());
    QCOMPARE(designed.SlotBar(0), designed.FileBar());
    FillSlots(designed);

    CConvertProgressDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (int count : {4, 1, 0, -3, INT_MIN}) dlg.SetFileSlots(count);
    QCOMPARE(dlg.FileSlots(), 1);
    QVERIFY(!dlg.SlotLine(1));
    FillSlots(dlg);
    QTRY_COMPARE(dlg.size(), designed.size());
    QCOMPARE(ControlRows(dlg), ControlRows(designed));
    QCOMPARE(dlg.grab().toImage(), designed.grab().toImage());
  }

  // Several slots: a line and a bar per running file above the overall line, each pair as
  // tall as the window grows for it, and every call landing in its own slot.
  void severalFileSlotsStackAboveTheOverallLine() {
    // an owner inside the screen but off its centre, so that the two centres differ
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(screen.adjusted(screen.width() / 8, screen.height() / 8, -screen.width() / 5,
                                      -screen.height() / 6));
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    const QSize designed = CConvertProgressDlg(&owner).size();
    int pairHeight = 0;
    for (int count : {1, 2, 4}) {
      CConvertProgressDlg dlg(&owner);
      dlg.SetFileSlots(count);
      dlg.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dlg));
      FillSlots(dlg);
      QCOMPARE(dlg.FileSlots(), count);
      QCOMPARE(DrawnSlots(dlg), count);
      QCOMPARE(Names(ControlRows(dlg)), SlotWindowNames(count));
      QCOMPARE(dlg.width(), designed.width());
      if (count == 2) pairHeight = dlg.height() - designed.height();
      QVERIFY(count == 1 || pairHeight > 0);
      QCOMPARE(dlg.height(), designed.height() + (count - 1) * pairHeight);
      QVERIFY(dlg.height() <= dlg.screen()->availableGeometry().height());
      const QPoint offCentre = dlg.frameGeometry().center() - owner.frameGeometry().center();
      QVERIFY2(offCentre.manhattanLength() <= 2,
               qPrintable(QStringLiteral("%1,%2 %3x%4 in %5,%6 %7x%8")
                              .arg(dlg.x())
                              .arg(dlg.y())
                              .arg(dlg.width())
                              .arg(dlg.height())
                              .arg(owner.x())
                              .arg(owner.y())
                              .arg(owner.width())
                              .arg(owner.height())));

      for (int slot = 0; slot < count; ++slot) {
        // even spacing: each pair sits one pair height above the next, the last one above
        // the overall line; every line and bar spans the width of the overall bar
        const QWidget* next = slot + 1 < count ? dlg.SlotLine(slot + 1) : dlg.OverallLine();
        if (count > 1) QVERIFY(std::abs(next->y() - dlg.SlotLine(slot)->y() - pairHeight) <= 1);
        QCOMPARE(dlg.SlotBar(slot)->geometry().left(), dlg.OverallBar()->geometry().left());
        QCOMPARE(dlg.SlotBarWidth(slot), dlg.OverallBar()->width());
        QCOMPARE(dlg.SlotLine(slot)->width(), dlg.OverallBar()->width());
        const int percent = SlotPercent(slot);
        QVERIFY(dlg.SlotLine(slot)->text().endsWith(QStringLiteral("...%1%").arg(percent)));
        QCOMPARE(dlg.SlotBar(slot)->maximum(), dlg.SlotBarWidth(slot));
        QCOMPARE(dlg.SlotBar(slot)->value(), dlg.SlotBarWidth(slot) * percent / 100);
      }
      QCOMPARE(testing::ClippedControls(dlg), QStringList());
      SaveScreenshot(dlg, QStringLiteral("convert-progress-slots-%1").arg(count));

      // the file calls of a one-file run are slot 0; an idle slot empties only itself
      dlg.SetFileLine("Converting track01.flac...");
      QCOMPARE(dlg.SlotLine(0)->text(), QString("Converting track01.flac..."));
      dlg.ClearSlot(count - 1);
      QCOMPARE(dlg.SlotLine(count - 1)->text(), QString());
      QCOMPARE(dlg.SlotBar(count - 1)->value(), 0);
      if (count > 2) QCOMPARE(dlg.SlotLine(1)->text(), QString("Converting track08.flac...33%"));
    }
  }

  void slotCallsOutsideTheSlotsAreHarmless() {
    CConvertProgressDlg dlg;
    dlg.SetFileSlots(2);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    FillSlots(dlg);
    const QImage before = dlg.grab().toImage();
    for (int slot : {-1, 2, 63, 64, INT_MIN, INT_MAX}) {
      dlg.SetSlotLine(slot, "Converting stray.flac...99%");
      dlg.SetSlotBarRange(slot, 10);
      dlg.SetSlotBarPos(slot, 5);
      dlg.ClearSlot(slot);
      QCOMPARE(dlg.SlotBarWidth(slot), 0);
      QVERIFY(!dlg.SlotLine(slot));
      QVERIFY(!dlg.SlotBar(slot));
    }
    QCOMPARE(dlg.grab().toImage(), before);
    dlg.SetFileSlots(INT_MAX);
    QCOMPARE(dlg.FileSlots(), CConvertProgressDlg::kMaxFileSlots);
  }

  // More slots than the screen can hold: the window shows as many pairs as fit, stays on
  // the screen even when its owner sits low, and the slots past them still take calls.
  void manyFileSlotsStayOnTheScreen() {
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    QWidget owner;
    owner.setGeometry(screen.left() + 100, screen.bottom() - 250, 700, 200);
    owner.show();
    QVERIFY(QTest::qWaitForWindowExposed(&owner));
    CConvertProgressDlg dlg(&owner);
    const int designedHeight = dlg.height();
    dlg.SetFileSlots(CConvertProgressDlg::kMaxFileSlots);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    FillSlots(dlg);

    QCOMPARE(dlg.FileSlots(), 64);
    const int drawn = DrawnSlots(dlg);
    QVERIFY2(drawn > 4 && drawn < 64, qPrintable(QString::number(drawn)));
    QCOMPARE(Names(ControlRows(dlg)), SlotWindowNames(drawn));
    const int pairHeight = (dlg.height() - designedHeight) / (drawn - 1);
    QCOMPARE(dlg.height(), designedHeight + (drawn - 1) * pairHeight);
    QVERIFY(dlg.height() + pairHeight > screen.height());  // one more would not fit
    QVERIFY2(screen.contains(dlg.frameGeometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                                  .arg(dlg.x())
                                                                  .arg(dlg.y())
                                                                  .arg(dlg.width())
                                                                  .arg(dlg.height())));
    QCOMPARE(testing::ClippedControls(dlg), QStringList());
    SaveScreenshot(dlg, "convert-progress-slots-64");

    const QImage before = dlg.grab().toImage();
    dlg.SetSlotLine(63, "Converting unseen.flac...5%");
    dlg.SetSlotBarRange(63, dlg.SlotBarWidth(63));
    dlg.SetSlotBarPos(63, 3);
    dlg.ClearSlot(63);
    QCOMPARE(dlg.SlotBarWidth(63), dlg.FileBarWidth());
    QCOMPARE(dlg.grab().toImage(), before);
  }

  // A long name keeps the window's width: its line leaves out the middle and keeps the
  // start and the percentage.
  void longFileNamesAreShortenedInTheMiddle() {
    CConvertProgressDlg dlg;
    dlg.SetFileSlots(2);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    FillSlots(dlg);
    const QSize size = dlg.size();
    const QString longLine = QStringLiteral(
        "Converting 01 - Symphony No. 9 in D minor, Op. 125 'Choral' - IV. Presto - Allegro "
        "assai (Live at the Royal Albert Hall, Remastered 2011) [Deluxe Edition, Disc 2].flac"
        "...42%");
    const QString rightToLeft = QString::fromUtf8("שיר ארוך מאוד ").repeated(12);
    dlg.SetSlotLine(0, longLine.toStdString());
    dlg.SetSlotLine(1, rightToLeft.toStdString());
    QApplication::processEvents();
    QCOMPARE(dlg.size(), size);
    for (int slot : {0, 1}) {
      auto* line = dynamic_cast<ElidedLabel*>(dlg.SlotLine(slot));
      QVERIFY(line);
      QCOMPARE(line->width(), dlg.OverallBar()->width());
      const QString shown = line->ShownText();
      QVERIFY2(shown.contains(QChar(0x2026)), qPrintable(shown));
      QVERIFY(line->fontMetrics().horizontalAdvance(shown) <= line->contentsRect().width());
      // what it draws is what a plain label of its size draws for the shortened text
      QLabel plain(shown, &dlg);
      plain.setGeometry(line->geometry());
      plain.show();
      QCOMPARE(line->grab().toImage(), plain.grab().toImage());
    }
    const QString shown = dynamic_cast<ElidedLabel*>(dlg.FileLine())->ShownText();
    QCOMPARE(dlg.FileLine()->text(), longLine);
    QVERIFY2(shown.startsWith("Converting 01 - Symphony") && shown.endsWith("].flac...42%"),
             qPrintable(shown));
    dlg.SetSlotLine(1, longLine.toStdString());
    SaveScreenshot(dlg, "convert-progress-long-name");
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
