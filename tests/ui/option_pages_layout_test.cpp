// Every page of the Options sheet and the tag dialog, shown as the user sees them: nothing
// cut off, nothing outside the window. The test runs once at the desktop's font and once
// more with the whole screen scaled by one and a half (QT_SCALE_FACTOR).
#include <QApplication>
#include <QTabWidget>
#include <QTest>

#include "settings/settings_store.h"
#include "tests/ui/layout_checks.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/opt_page.h"
#include "ui/opt_sheet.h"
#include "ui/tag_edit_dialog.h"

namespace sonorell {
namespace {

QString ScaleSuffix() {
  const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR");
  return scale.isEmpty() || scale == "1" ? QString() : "-x" + scale;
}

QString FileNamePart(QString title) {
  title = title.toLower();
  for (QChar& c : title) {
    if (!c.isLetterOrNumber()) c = '-';
  }
  return title;
}

class OptionPagesLayoutTest : public QObject {
  Q_OBJECT

 private slots:
  void everyPageFitsItsControls() {
    testing::ProfileScope profile;
    testing::OptionDesktop desktop;
    WmaProfileEntry entry;
    entry.format = {0x0161, 2, 44100, 16};
    entry.bitRate = 128000;
    desktop.wmaList.Insert(entry);
    Settings settings = CreateDefaultSettings();
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = "/home/user/Music/Converted/";
    settings.AutoDestMP3EncodingParam = 0;
    settings.AutoDestAACEncodingParam = 0;
    settings.AmplifyWav = 1;
    COptSheet sheet(settings, testing::ServicesFor(desktop), nullptr);
    sheet.show();
    QVERIFY(QTest::qWaitForWindowExposed(&sheet));
    for (int i = 0; i < sheet.Tabs()->count(); ++i) {
      sheet.Tabs()->setCurrentIndex(i);
      QCOMPARE(sheet.Tabs()->currentIndex(), i);
      QApplication::processEvents();
      const QStringList clipped = testing::ClippedControls(*sheet.Page(i));
      QVERIFY2(clipped.isEmpty(), qPrintable(sheet.Tabs()->tabText(i) + ": " + clipped.join("; ")));
      testing::SaveWindowScreenshot(
          sheet, QStringLiteral("options-%1-%2%3")
                     .arg(i)
                     .arg(FileNamePart(sheet.Tabs()->tabText(i)), ScaleSuffix()));
    }
    sheet.reject();
  }

  void tagDialogFitsItsControls() {
    for (const bool copyright : {true, false}) {
      TagDefaults tags;
      tags.Title = "Über den Wolken";
      tags.Genre = "Psychadelic";
      TagEditDialog dialog(
          tags, copyright, [](QWidget*, QMessageBox::Icon, const QString&) {}, nullptr);
      dialog.show();
      QVERIFY(QTest::qWaitForWindowExposed(&dialog));
      const QStringList clipped = testing::ClippedControls(dialog);
      QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
      testing::SaveWindowScreenshot(
          dialog, QStringLiteral("tag-dialog%1%2").arg(copyright ? "" : "-mp4", ScaleSuffix()));
      dialog.reject();
    }
  }
};

SONORELL_UI_TEST(OptionPagesLayoutTest);

}  // namespace
}  // namespace sonorell

#include "option_pages_layout_test.moc"
