// The FLAC and Opus pages of the Options sheet: what they open with, what the user's choices
// store, what leaving refuses, and how they look.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTest>

#include <optional>

#include "settings/settings_store.h"
#include "tests/ui/hosted_page.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/opt_flac_page.h"
#include "ui/opt_opus_page.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

using testing::Click;
using testing::Entries;
using testing::ExpectPageFits;
using testing::Hosted;
using testing::kGainRefusal;
using testing::Pick;
using testing::ProfileScope;
using testing::SaveAndReload;
using testing::Type;

// Texts of the named buttons, in order.
template <class Page>
QStringList ButtonTexts(const Hosted<Page>& h, std::initializer_list<const char*> names) {
  QStringList texts;
  for (const char* name : names) texts << h.template Child<QAbstractButton>(name)->text();
  return texts;
}

// The comment group, the channel radios and the gain as both pages show them; then a wrong
// coefficient refused with the focus on it, a good one let through.
template <class Page>
void ExpectSharedControls(Hosted<Page>& h) {
  QCOMPARE(h.template Child<QGroupBox>("tagMode")->title(), QString("Comments"));
  QCOMPARE(ButtonTexts(h, {"channel0", "channel1", "channel2", "tagChoice0", "tagChoice1",
                           "tagChoice2", "editTag"}),
           QStringList({"&Stereo", "&Mono", "Same as &original file", "A&dd comments",
                        "T&ransfer comments from source file", "&None", "Edit commen&ts"}));
  if (!h.Checked("amplify")) {
    Click(h, "amplify");
    QCOMPARE(h.Focused(), h.template Child<QWidget>("coefficient"));
  }
  for (const char* typed : {"9", "3001", "", "abc"}) {
    Type(h.template Child<SpinEdit>("coefficient"), typed);
    const std::optional<PageRefusal> refusal = h.page->LeavePage();
    QVERIFY2(refusal, typed);
    QCOMPARE(refusal->text, QString(kGainRefusal));
    QCOMPARE(refusal->focus, h.template Child<QWidget>("coefficient"));
  }
  Type(h.template Child<SpinEdit>("coefficient"), "3000");
  QVERIFY(!h.page->LeavePage());
}

class FlacOpusPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void flacShowsStoresAndRefuses() {
    ProfileScope profile;
    Hosted<COptFlacPage> fresh(CreateDefaultSettings());
    QCOMPARE(fresh.page->Title(), QString("FLAC Options"));
    QCOMPARE(fresh.Shown("compression"), QString("5 (default)"));
    QCOMPARE(fresh.Shown("sampleRate"), QString("Same as original file"));
    QVERIFY(fresh.Checked("channel2"));
    QVERIFY(fresh.Checked("tagChoice1"));
    QVERIFY(!fresh.Enabled("editTag"));
    QVERIFY(!fresh.Enabled("coefficient"));
    QCOMPARE(Entries(fresh.Child<QComboBox>("compression")),
             QStringList({"0 (fastest, largest)", "1", "2", "3", "4", "5 (default)", "6", "7",
                          "8 (slowest, smallest)"}));
    QCOMPARE(Entries(fresh.Child<QComboBox>("sampleRate")),
             QStringList({"Same as original file", "8000 Hz", "11025 Hz", "12000 Hz", "16000 Hz",
                          "22050 Hz", "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz", "88200 Hz",
                          "96000 Hz", "176400 Hz", "192000 Hz"}));
    const QString note = fresh.Child<QLabel>("note")->text();
    QVERIFY2(note.contains("16 or 24 bits") && note.contains("8-bit sources become 16-bit") &&
                 note.contains("at most two channels"),
             qPrintable(note));

    // Stored values of no entry show as the nearest one; the user's picks go back on OK.
    Settings s = CreateDefaultSettings();
    s.FLACCompression = 8;
    s.FLACSampleRate = 44000;
    s.FLACChannels = 1;
    s.FLACID3TagType = 0;
    s.AmplifyFLAC = 1;
    s.AmplifyFLACCoeff = 250;
    s.FlacTags.Artist = "Ensemble";
    Hosted<COptFlacPage> h(s);
    QCOMPARE(h.Shown("compression"), QString("8 (slowest, smallest)"));
    QCOMPARE(h.Shown("sampleRate"), QString("44100 Hz"));
    QVERIFY(h.Checked("channel1"));
    QVERIFY(h.Enabled("editTag"));
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("250"));
    h.desktop.tagEdit = [](TagDefaults& t) {
      QCOMPARE(t.Artist, std::string("Ensemble"));
      t.Album = "Lieder";
    };
    Click(h, "editTag");
    QCOMPARE(h.desktop.tagEdits, 1);
    QVERIFY(h.desktop.tagEditShowCopyright);
    Pick(h, "compression", "0 (fastest, largest)");
    Pick(h, "sampleRate", "192000 Hz");
    Click(h, "channel0");
    // The cover and ReplayGain boxes: ticked as stored, usable while tags are written.
    QVERIFY(h.Checked("carryCover") && !h.Checked("replayGain"));
    Click(h, "carryCover");
    Click(h, "replayGain");
    Click(h, "tagChoice2");
    QVERIFY(!h.Enabled("editTag"));
    QVERIFY(!h.Enabled("carryCover") && !h.Enabled("replayGain"));
    ExpectSharedControls(h);
    ExpectPageFits(h, "page-flac");
    h.page->StoreInto(s);
    Settings stored = SaveAndReload(s);
    QCOMPARE(stored.FLACCompression, 0);
    QCOMPARE(stored.FLACSampleRate, 192000);
    QCOMPARE(stored.FLACChannels, 2);
    QCOMPARE(stored.FLACID3TagType, 2);
    QCOMPARE(stored.AmplifyFLAC, 1);
    QCOMPARE(stored.AmplifyFLACCoeff, 3000);
    QCOMPARE(stored.FlacTags.Artist, std::string("Ensemble"));
    QCOMPARE(stored.FlacTags.Album, std::string("Lieder"));
    QCOMPARE(stored.FlacTags.CarryCover, 0);
    QCOMPARE(stored.FlacTags.ReplayGain, 2);  // the track's and the album's

    Pick(h, "sampleRate", "Same as original file");
    Click(h, "channel2");
    Click(h, "tagChoice1");
    Click(h, "amplify");
    QVERIFY(!h.page->LeavePage());  // as OK does before storing
    h.page->StoreInto(s);
    stored = SaveAndReload(s);
    QCOMPARE(stored.FLACSampleRate, 0);
    QCOMPARE(stored.FLACChannels, 0);
    QCOMPARE(stored.FLACID3TagType, 1);
    QCOMPARE(stored.AmplifyFLAC, 0);
    QCOMPARE(stored.Mp3Tags.Album, std::string());  // the FLAC family's own defaults
  }

  void opusShowsStoresAndRefuses() {
    ProfileScope profile;
    QCOMPARE(OpusAutoKbps(1), 64);
    QCOMPARE(OpusAutoKbps(2), 128);
    Hosted<COptOpusPage> fresh(CreateDefaultSettings());
    QCOMPARE(fresh.page->Title(), QString("Opus Options"));
    QCOMPARE(fresh.Shown("bitrate"), QString("Auto"));
    QCOMPARE(fresh.Shown("rateControl"), QString("Variable (VBR)"));
    QCOMPARE(fresh.Shown("complexity"), QString("10 (best, default)"));
    QVERIFY(fresh.Checked("channel2"));
    QVERIFY(fresh.Checked("tagChoice1"));
    QCOMPARE(Entries(fresh.Child<QComboBox>("bitrate")),
             QStringList({"Auto",     "6 kbps",   "8 kbps",   "12 kbps",  "16 kbps",
                          "24 kbps",  "32 kbps",  "48 kbps",  "64 kbps",  "80 kbps",
                          "96 kbps",  "112 kbps", "128 kbps", "160 kbps", "192 kbps",
                          "256 kbps", "320 kbps", "384 kbps", "450 kbps", "510 kbps"}));
    QCOMPARE(Entries(fresh.Child<QComboBox>("rateControl")),
             QStringList({"Variable (VBR)", "Constrained variable (CVBR)", "Constant (CBR)"}));
    QCOMPARE(Entries(fresh.Child<QComboBox>("complexity")),
             QStringList({"0 (fastest)", "1", "2", "3", "4", "5", "6", "7", "8", "9",
                          "10 (best, default)"}));
    QVERIFY(fresh.Child<QLabel>("note")->text().contains("always 48000 Hz"));

    Settings s = CreateDefaultSettings();
    s.OpusBitRate = 100;  // no entry: the nearest shows
    s.OpusRateControl = 2;
    s.OpusComplexity = 3;
    s.OpusChannels = 2;
    s.OpusID3TagType = 5;  // no tag mode: None
    s.AmplifyOpus = 0;
    s.AmplifyOpusCoeff = 80;
    Hosted<COptOpusPage> h(s);
    QCOMPARE(h.Shown("bitrate"), QString("96 kbps"));
    QCOMPARE(h.Shown("rateControl"), QString("Constant (CBR)"));
    QCOMPARE(h.Shown("complexity"), QString("3"));
    QVERIFY(h.Checked("channel0"));
    QVERIFY(h.Checked("tagChoice2"));
    QVERIFY(!h.Checked("amplify"));
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("80"));
    Pick(h, "bitrate", "Auto");
    Pick(h, "rateControl", "Constrained variable (CVBR)");
    Pick(h, "complexity", "0 (fastest)");
    Click(h, "channel1");
    Click(h, "tagChoice0");
    h.desktop.tagEdit = [](TagDefaults& t) { t.Genre = "Chanson"; };
    Click(h, "editTag");
    ExpectSharedControls(h);
    ExpectPageFits(h, "page-opus");
    h.page->StoreInto(s);
    Settings stored = SaveAndReload(s);
    QCOMPARE(stored.OpusBitRate, 0);
    QCOMPARE(stored.OpusRateControl, 1);
    QCOMPARE(stored.OpusComplexity, 0);
    QCOMPARE(stored.OpusChannels, 1);
    QCOMPARE(stored.OpusID3TagType, 0);
    QCOMPARE(stored.AmplifyOpus, 1);
    QCOMPARE(stored.AmplifyOpusCoeff, 3000);
    QCOMPARE(stored.OpusTags.Genre, std::string("Chanson"));

    Pick(h, "bitrate", "510 kbps");
    Pick(h, "rateControl", "Variable (VBR)");
    Click(h, "channel2");
    h.page->StoreInto(s);
    stored = SaveAndReload(s);
    QCOMPARE(stored.OpusBitRate, 510);
    QCOMPARE(stored.OpusRateControl, 0);
    QCOMPARE(stored.OpusChannels, 0);
    QCOMPARE(stored.OggTags.Genre, std::string());  // the OPUS family's own defaults
  }
};

SONORELL_UI_TEST(FlacOpusPagesTest);

}  // namespace
}  // namespace sonorell

#include "flac_opus_pages_test.moc"
