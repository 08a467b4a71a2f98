// The Options button of the main window: the sheet over the window, the WMA page with the
// runtime's list, and conversions that follow what the user chose on the pages.
#include <QApplication>
#include <QComboBox>
#include <QProcess>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "engine/jobs/output_formats.h"
#include "settings/settings_store.h"
#include "tests/support/temp_folder.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/main_dlg.h"
#include "ui/opt_page.h"
#include "ui/opt_sheet.h"

namespace sonorell {
namespace {

namespace fs = std::filesystem;

MainWindowServices QuietServices(std::vector<QString>& messages) {
  MainWindowServices s = DefaultMainWindowServices();
  s.showMessage = [&messages](QWidget*, QMessageBox::Icon, const QString& text) {
    messages.push_back(text);
  };
  s.askYesNo = [](QWidget*, const QString&) { return false; };
  s.openWithShell = [](const std::string&, sonorell::DesktopAnswer) {};
  s.selectInFileBrowser = [](const std::string&, sonorell::DesktopAnswer) {};
  return s;
}

// Runs action on the Options sheet once it is up, then presses OK or Cancel as it says.
void WhenSheetOpens(std::function<bool(COptSheet&)> action) {
  QTimer::singleShot(0, [action = std::move(action)] {
    auto* sheet = dynamic_cast<COptSheet*>(QApplication::activeModalWidget());
    if (!sheet) {
      // The sheet is not up yet; try again on the next turn of the event loop.
      WhenSheetOpens(action);
      return;
    }
    if (action(*sheet)) {
      sheet->accept();
    } else {
      sheet->reject();
    }
  });
}

// A stereo sine made by ffmpeg, so the input is not our own writer's.
bool MakeSine(const std::string& path, int seconds) {
  QProcess p;
  p.start("ffmpeg",
          {"-v", "error", "-y", "-f", "lavfi", "-i",
           QStringLiteral("sine=frequency=440:sample_rate=44100:duration=%1").arg(seconds), "-ac",
           "2", QString::fromStdString(path)});
  return p.waitForFinished(30000) && p.exitCode() == 0;
}

// One field of the first audio stream (or of the format) as ffprobe reports it.
std::optional<QString> Probe(const std::string& path, const QString& entry) {
  QProcess p;
  p.start("ffprobe", {"-v", "error", "-select_streams", "a:0", "-show_entries", entry, "-of",
                      "default=nw=1:nk=1", QString::fromStdString(path)});
  if (!p.waitForFinished(20000) || p.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

void Choose(QComboBox& combo, const QString& text) {
  const int index = combo.findText(text);
  if (index < 0) qFatal("no entry %s", qPrintable(text));
  combo.setCurrentIndex(index);
  emit combo.activated(index);
}

class OptionsFromMainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void init() { profile_.emplace(); }
  void cleanup() { profile_.reset(); }

  // The user picks 192 kbps on the MP3 page and 96 kbps on the Ogg page; the files the
  // next runs write carry exactly those rates.
  void conversionsFollowThePagesChoices() {
    testing::TempFolder in;
    testing::TempFolder out;
    if (!MakeSine(in / "tone.wav", 3)) QSKIP("ffmpeg is not available");
    std::vector<QString> messages;
    CMainDlg window(QuietServices(messages));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.AddDroppedItems({in / "tone.wav"});
    QCOMPARE(window.Files().Count(), 1);
    Settings& s = window.CurrentSettings();
    s.DestOutputFolderOpt = kOutputToCustomFolder;
    s.DestSpecifiedFolder = out.path() + "/";
    s.OutputFiles2MyDocuments = 0;
    s.BrowseOutputFolder = 0;
    s.TargetExistsOpt = kTargetExistsOverwrite;

    bool sawSheet = false;
    WhenSheetOpens([&](COptSheet& sheet) {
      sawSheet = true;
      sheet.Tabs()->setCurrentIndex(kMp3Page);
      QWidget& page = *sheet.Page(kMp3Page);
      Choose(*page.findChild<QComboBox*>("encodingOptions"), "Custom");
      Choose(*page.findChild<QComboBox*>("bitrate"), "192 kbps");
      sheet.Tabs()->setCurrentIndex(kOggPage);
      QWidget& ogg = *sheet.Page(kOggPage);
      Choose(*ogg.findChild<QComboBox*>("encodingOptions"), "Custom");
      Choose(*ogg.findChild<QComboBox*>("bitrate"), "96 kbps");
      return true;
    });
    window.findChild<QPushButton*>("options")->click();
    QVERIFY(sawSheet);
    QCOMPARE(s.AutoDestMP3EncodingParam, 0);
    QCOMPARE(s.MP3BitRate, 192);
    QCOMPARE(s.OGGBitRate, 96);
    // The choices were saved at once: a program started now would find them.
    QCOMPARE(testing::StoredSettings().MP3BitRate, 192);
    QCOMPARE(s.OptStartPageIndex, kOggPage);

    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(kOutputMp3));
    window.Convert();
    const std::string mp3 = out / "tone.mp3";
    QVERIFY(fs::exists(mp3));
    QCOMPARE(Probe(mp3, "stream=bit_rate").value_or(""), QString("192000"));

    window.FormatBox()->setCurrentIndex(window.FormatBox()->findData(kOutputOgg));
    window.Convert();
    const std::string ogg = out / "tone.ogg";
    QVERIFY(fs::exists(ogg));
    QCOMPARE(Probe(ogg, "stream=bit_rate").value_or(""), QString("96000"));
    QVERIFY(messages.empty());
  }

  // The WMA page asks the main window for the runtime's list: present here, so it offers
  // more than "Auto"; Cancel keeps every WMA setting.
  void wmaPageOffersTheRuntimesEncodings() {
    std::vector<QString> messages;
    CMainDlg window(QuietServices(messages));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const Settings before = window.CurrentSettings();
    int entries = 0;
    WhenSheetOpens([&](COptSheet& sheet) {
      sheet.Tabs()->setCurrentIndex(kWmaPage);
      entries = sheet.Page(kWmaPage)->findChild<QComboBox*>("encodingOptions")->count();
      return false;
    });
    window.findChild<QPushButton*>("options")->click();
    QVERIFY2(entries > 1, qPrintable(QString::number(entries)));
    Settings after = window.CurrentSettings();
    after.OptStartPageIndex = before.OptStartPageIndex;
    QVERIFY(after == before);
    QCOMPARE(window.CurrentSettings().OptStartPageIndex, kWmaPage);
  }

 private:
  std::optional<testing::ProfileScope> profile_;
};

SONORELL_UI_TEST(OptionsFromMainWindowTest);

}  // namespace
}  // namespace sonorell

#include "options_from_main_window_test.moc"
