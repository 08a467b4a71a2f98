// The "Edit ID3 Tag" dialog: what it opens with, which controls the user can reach, what OK
// keeps and refuses, and that Cancel changes nothing.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <vector>

#include "engine/encoders/tags/genre_names.h"
#include "tests/ui/layout_checks.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/spin_edit.h"
#include "ui/tag_edit_dialog.h"

namespace sonorell {
namespace {

struct Shown {
  QMessageBox::Icon icon;
  QString text;
};

// The dialog on a tag set, shown and active, with its messages recorded.
class OpenDialog {
 public:
  explicit OpenDialog(const TagDefaults& tags, bool showCopyright = true)
      : dialog(tags, showCopyright, Recorder(), nullptr) {
    dialog.show();
    dialog.activateWindow();
    if (!QTest::qWaitForWindowActive(&dialog)) qWarning("the tag dialog did not become active");
  }

  template <class W>
  W* Child(const char* name) const {
    W* w = dialog.findChild<W*>(QString::fromUtf8(name));
    if (!w) qFatal("no control named %s", name);
    return w;
  }
  QWidget* Focused() const { return dialog.focusWidget(); }

  std::vector<Shown> messages;
  TagEditDialog dialog;

 private:
  ShowMessageFn Recorder() {
    return [this](QWidget*, QMessageBox::Icon icon, const QString& text) {
      messages.push_back({icon, text});
    };
  }
};

void Click(QAbstractButton* button) {
  const bool indicator = qobject_cast<QCheckBox*>(button) || qobject_cast<QRadioButton*>(button);
  const QPoint at =
      indicator ? QPoint(button->height() / 2, button->height() / 2) : button->rect().center();
  QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, at);
}

// Replaces an edit's text by typing, as the user does.
void Type(QWidget* edit, const QString& text) {
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_A, Qt::ControlModifier);
  QTest::keyClick(edit, Qt::Key_Delete);
  for (const QChar c : text) {
    if (c.unicode() < 0x80) {
      QTest::keyClick(edit, c.toLatin1());
    } else {
      // A letter from a keyboard layout QTest has no key for arrives as its text.
      QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
  }
}

TagDefaults Stored() {
  TagDefaults t;
  t.TitleAsFileName = 0;
  t.Title = "Über den Wolken";
  t.Artist = "Reinhard";
  t.Album = "Live";
  t.Year = "1974";
  t.Genre = "Schlager";  // in no list row
  t.Comment = "remastered";
  t.Composer = "Mey";
  t.Copyright = "(c) 1974";
  t.TrackNumType = 2;
  t.CustomTrackNum = 12;
  return t;
}

class TagEditDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void opensOnTheStoredSet() {
    OpenDialog d(Stored());
    QCOMPARE(d.dialog.windowTitle(), QString("Edit ID3 Tag"));
    QVERIFY(d.Child<QRadioButton>("trackType2")->isChecked());
    QCOMPARE(d.Child<SpinEdit>("customTrack")->text(), QString("12"));
    QVERIFY(d.Child<SpinEdit>("customTrack")->isEnabled());
    QVERIFY(!d.Child<QCheckBox>("titleAsFileName")->isChecked());
    QVERIFY(d.Child<QLineEdit>("title")->isEnabled());
    QCOMPARE(d.Child<QLineEdit>("title")->text(), QString("Über den Wolken"));
    QCOMPARE(d.Child<QLineEdit>("artist")->text(), QString("Reinhard"));
    QCOMPARE(d.Child<QLineEdit>("album")->text(), QString("Live"));
    QCOMPARE(d.Child<QLineEdit>("year")->text(), QString("1974"));
    QCOMPARE(d.Child<QComboBox>("genre")->currentText(), QString("Schlager"));
    QCOMPARE(d.Child<QLineEdit>("comment")->text(), QString("remastered"));
    QCOMPARE(d.Child<QLineEdit>("composer")->text(), QString("Mey"));
    QCOMPARE(d.Child<QLineEdit>("copyright")->text(), QString("(c) 1974"));
    QVERIFY(d.Child<QLineEdit>("copyright")->isVisible());
    QVERIFY(d.Child<QLabel>("copyrightLabel")->isVisible());

    const QStringList texts{"&Track #:", "T&itle:",   "&Artist:",   "Albu&m:",    "&Year:",
                            "&Genre:",   "&Comment:", "C&omposer:", "Co&pyright:"};
    const char* labels[] = {"trackLabel",   "titleLabel",    "artistLabel",
                            "albumLabel",   "yearLabel",     "genreLabel",
                            "commentLabel", "composerLabel", "copyrightLabel"};
    for (int i = 0; i < texts.size(); ++i) {
      QCOMPARE(d.Child<QLabel>(labels[i])->text(), texts[i]);
      QVERIFY(d.Child<QLabel>(labels[i])->buddy());
    }
    QCOMPARE(d.Child<QRadioButton>("trackType0")->text(), QString("&None"));
    QCOMPARE(d.Child<QRadioButton>("trackType1")->text(), QString("&Sequence number in list"));
    QCOMPARE(d.Child<QRadioButton>("trackType2")->text(), QString("C&ustom"));
    QCOMPARE(d.Child<QCheckBox>("titleAsFileName")->text(),
             QString("Nam&e as file name (not include extension)"));
    QCOMPARE(d.Child<QPushButton>("ok")->text(), QString("OK"));
    QCOMPARE(d.Child<QPushButton>("cancel")->text(), QString("Cancel"));
  }

  void theGenreListIsEveryNameAlphabetically() {
    OpenDialog d(TagDefaults{});
    const auto* genre = d.Child<QComboBox>("genre");
    QVERIFY(genre->isEditable());
    QCOMPARE(genre->count(), 148);
    QStringList shown;
    for (int i = 0; i < genre->count(); ++i) shown << genre->itemText(i);
    for (const std::string_view name : GenreNames) {
      QVERIFY2(shown.contains(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()))),
               name.data());
    }
    for (int i = 1; i < shown.size(); ++i) {
      QVERIFY2(QString::compare(shown[i - 1], shown[i], Qt::CaseInsensitive) < 0,
               qPrintable(shown[i - 1] + " / " + shown[i]));
    }
    QCOMPARE(shown.front(), QString("A Cappella"));
    QCOMPARE(shown.back(), QString("Vocal"));
    QCOMPARE(genre->currentText(), QString());
  }

  void oddStoredValuesOpenAsTheFirstChoice() {
    for (const int stored : {-1, 3, 99}) {
      TagDefaults t;
      t.TrackNumType = stored;
      t.CustomTrackNum = 300;  // shown as stored; OK refuses it
      t.TitleAsFileName = 5;
      OpenDialog d(t);
      QVERIFY(d.Child<QRadioButton>("trackType0")->isChecked());
      QVERIFY(!d.Child<SpinEdit>("customTrack")->isEnabled());
      QCOMPARE(d.Child<SpinEdit>("customTrack")->text(), QString("300"));
      QVERIFY(d.Child<QCheckBox>("titleAsFileName")->isChecked());
      QVERIFY(!d.Child<QLineEdit>("title")->isEnabled());
    }
    TagDefaults sequence;
    sequence.TrackNumType = 1;
    OpenDialog d(sequence);
    QVERIFY(d.Child<QRadioButton>("trackType1")->isChecked());
    QVERIFY(!d.Child<SpinEdit>("customTrack")->isEnabled());
  }

  void theCheckBoxAndRadiosEnableTheirEdits() {
    OpenDialog d(TagDefaults{});  // title from the file name, no track
    auto* title = d.Child<QLineEdit>("title");
    auto* custom = d.Child<SpinEdit>("customTrack");
    QVERIFY(!title->isEnabled());
    QVERIFY(!custom->isEnabled());

    Click(d.Child<QCheckBox>("titleAsFileName"));
    QVERIFY(title->isEnabled());
    QCOMPARE(d.Focused(), title);
    Click(d.Child<QCheckBox>("titleAsFileName"));
    QVERIFY(!title->isEnabled());

    Click(d.Child<QRadioButton>("trackType2"));
    QVERIFY(custom->isEnabled());
    QCOMPARE(d.Focused(), static_cast<QWidget*>(custom));
    Click(d.Child<QRadioButton>("trackType1"));
    QVERIFY(!custom->isEnabled());
    Click(d.Child<QRadioButton>("trackType0"));
    QVERIFY(!custom->isEnabled());

    // The spin steps within 0 to 255.
    Click(d.Child<QRadioButton>("trackType2"));
    custom->SetValue(254);
    custom->stepBy(5);
    QCOMPARE(custom->text(), QString("255"));
    custom->SetValue(1);
    custom->stepBy(-5);
    QCOMPARE(custom->text(), QString("0"));
  }

  void okKeepsEveryControl() {
    OpenDialog d(TagDefaults{});
    Click(d.Child<QRadioButton>("trackType2"));
    Type(d.Child<SpinEdit>("customTrack"), "255");
    Click(d.Child<QCheckBox>("titleAsFileName"));
    Type(d.Child<QLineEdit>("title"), QString::fromUtf8("Ёлка"));
    Type(d.Child<QLineEdit>("artist"), "Artist A");
    Type(d.Child<QLineEdit>("album"), "Album B");
    Type(d.Child<QLineEdit>("year"), "2001");
    auto* genre = d.Child<QComboBox>("genre");
    genre->setCurrentIndex(genre->findText("Trash Metal"));
    Type(d.Child<QLineEdit>("comment"), "C");
    Type(d.Child<QLineEdit>("composer"), "Composer D");
    Type(d.Child<QLineEdit>("copyright"), "(c) E");
    // The picture: chosen, cleared, chosen again; Choose... answered with nothing keeps it.
    QVERIFY(d.Child<QLineEdit>("picture")->isReadOnly());
    QString answer = QString::fromUtf8("/pictures/Ёлка front.jpg");
    d.dialog.pickPicture = [&answer](QWidget*) { return answer; };
    Click(d.Child<QPushButton>("choosePicture"));
    Click(d.Child<QPushButton>("clearPicture"));
    QCOMPARE(d.Child<QLineEdit>("picture")->text(), QString());
    Click(d.Child<QPushButton>("choosePicture"));
    answer.clear();
    Click(d.Child<QPushButton>("choosePicture"));
    Click(d.Child<QPushButton>("ok"));

    QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
    QVERIFY(d.messages.empty());
    TagDefaults expected;
    expected.TitleAsFileName = 0;
    expected.Title = "\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0";  // UTF-8 bytes
    expected.Artist = "Artist A";
    expected.Album = "Album B";
    expected.Year = "2001";
    expected.Genre = "Trash Metal";
    expected.Comment = "C";
    expected.Composer = "Composer D";
    expected.Copyright = "(c) E";
    expected.TrackNumType = 2;
    expected.CustomTrackNum = 255;
    expected.CoverPicture = "/pictures/\xD0\x81\xD0\xBB\xD0\xBA\xD0\xB0 front.jpg";
    QCOMPARE(d.dialog.Tags(), expected);
  }

  void anyGenreMayBeTyped() {
    OpenDialog d(TagDefaults{});
    auto* genre = d.Child<QComboBox>("genre");
    Type(genre->lineEdit(), "rock");  // lower case: kept as typed, not completed to a row
    d.dialog.accept();
    QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(d.dialog.Tags().Genre, std::string("rock"));
    QCOMPARE(genre->count(), 148);  // nothing added to the list
  }

  void okRefusesACustomNumberThatIsNoTrack_data() {
    QTest::addColumn<int>("radio");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("message");
    const QString integer = "Please enter an integer.";
    const QString between = "Please enter an integer between 0 and 255.";
    for (const int radio : {0, 1, 2}) {
      QTest::addRow("letters, radio %d", radio) << radio << "abc" << integer;
      QTest::addRow("empty, radio %d", radio) << radio << "" << integer;
      QTest::addRow("3.5, radio %d", radio) << radio << "3.5" << integer;
      QTest::addRow("256, radio %d", radio) << radio << "256" << between;
      QTest::addRow("-1, radio %d", radio) << radio << "-1" << between;
      QTest::addRow("huge, radio %d", radio) << radio << "99999999999" << integer;
    }
  }
  void okRefusesACustomNumberThatIsNoTrack() {
    QFETCH(int, radio);
    QFETCH(QString, typed);
    QFETCH(QString, message);
    TagDefaults t;
    t.TrackNumType = 2;
    OpenDialog d(t);
    Type(d.Child<SpinEdit>("customTrack"), typed);
    Click(d.Child<QRadioButton>(qPrintable(QStringLiteral("trackType%1").arg(radio))));
    Click(d.Child<QPushButton>("ok"));

    QVERIFY(d.dialog.isVisible());
    QCOMPARE(d.dialog.result(), int(QDialog::Rejected));
    QCOMPARE(d.messages.size(), size_t(1));
    QCOMPARE(d.messages[0].icon, QMessageBox::Warning);
    QCOMPARE(d.messages[0].text, message);
    // The edit takes the focus whenever the user can type into it.
    if (radio == 2) QCOMPARE(d.Focused(), d.Child<QWidget>("customTrack"));
    QCOMPARE(d.dialog.Tags().CustomTrackNum, 0);

    // Put right (the user has to choose Custom to reach the edit), OK closes.
    Click(d.Child<QRadioButton>("trackType2"));
    Type(d.Child<SpinEdit>("customTrack"), " 0 ");
    Click(d.Child<QRadioButton>(qPrintable(QStringLiteral("trackType%1").arg(radio))));
    d.dialog.accept();
    QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
    QCOMPARE(d.dialog.Tags().TrackNumType, radio);
    QCOMPARE(d.dialog.Tags().CustomTrackNum, 0);
  }

  void aHiddenCopyrightStaysAsItWas() {
    OpenDialog d(Stored(), false);
    QVERIFY(!d.Child<QLineEdit>("copyright")->isVisible());
    QVERIFY(!d.Child<QLabel>("copyrightLabel")->isVisible());
    Type(d.Child<QLineEdit>("artist"), "Other");
    d.dialog.accept();
    QCOMPARE(d.dialog.result(), int(QDialog::Accepted));
    TagDefaults expected = Stored();
    expected.Artist = "Other";
    QCOMPARE(d.dialog.Tags(), expected);
  }

  void runCopiesBackOnlyOnOk() {
    for (const bool ok : {false, true}) {
      TagDefaults tags = Stored();
      std::vector<Shown> messages;
      bool sawDialog = false;
      QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        sawDialog = true;
        dialog->findChild<QLineEdit*>("album")->setText("Changed");
        QTest::mouseClick(dialog->findChild<QPushButton*>(ok ? "ok" : "cancel"), Qt::LeftButton);
      });
      const bool accepted = RunTagEditDialog(nullptr, tags, true,
                                             [&](QWidget*, QMessageBox::Icon i, const QString& t) {
                                               messages.push_back({i, t});
                                             });
      QVERIFY(sawDialog);
      QCOMPARE(accepted, ok);
      QCOMPARE(tags.Album, std::string(ok ? "Changed" : "Live"));
      TagDefaults rest = tags;
      rest.Album = "Live";
      QCOMPARE(rest, Stored());
      QVERIFY(messages.empty());
    }
  }

  void nothingIsCutOff() {
    for (const bool copyright : {true, false}) {
      OpenDialog d(Stored(), copyright);
      QApplication::processEvents();
      const QStringList clipped = testing::ClippedControls(d.dialog);
      QVERIFY2(clipped.isEmpty(), qPrintable(clipped.join("; ")));
      testing::SaveWindowScreenshot(d.dialog,
                                    copyright ? "tag-edit-dialog" : "tag-edit-dialog-no-copyright");
    }
  }
};

SONORELL_UI_TEST(TagEditDialogTest);

}  // namespace
}  // namespace sonorell

#include "tag_edit_dialog_test.moc"
