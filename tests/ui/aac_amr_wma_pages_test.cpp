#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <memory>
#include <optional>

#include "settings/settings_store.h"
#include "tests/ui/hosted_page.h"
#include "tests/ui/layout_checks.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/amr_opt_page.h"
#include "ui/opt_aac_page.h"
#include "ui/opt_m4a_page.h"
#include "ui/page_wma_options.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

using testing::Click;
using testing::ClippedControls;
using testing::Entries;
using testing::Hosted;
using testing::kGainRefusal;
using testing::OptionDesktop;
using testing::Pick;
using testing::ProfileScope;
using testing::SaveAndReload;
using testing::SaveWindowScreenshot;
using testing::ServicesFor;
using testing::StoredSettings;
using testing::Type;

constexpr const char* kQualityRefusal = "Invalid quality value. It's betwen 10 and 500.";

TagDefaults SomeTags() {
  TagDefaults t;
  t.Title = "Night";
  t.Artist = "Quartet";
  t.TrackNumType = 2;
  t.CustomTrackNum = 7;
  return t;
}

WmaProfileEntry Wma(int rate, int bitRate, int channels) {
  return WmaProfileEntry{WmaWaveFormat{0x0161, channels, rate, 16}, bitRate};
}

// A short list as a runtime might give it; the 500 bit/s format is never offered.
WmaProfileList SomeWmaList() {
  WmaProfileList list;
  list.Insert(Wma(44100, 128000, 2));
  list.Insert(Wma(22050, 32000, 1));
  list.Insert(Wma(48000, 192000, 2));
  list.Insert(Wma(8000, 500, 1));
  list.Insert(Wma(44100, 64000, 2));
  return list;
}

// One AAC-family page of either family, for the cases both share.
struct AacHost {
  explicit AacHost(const Settings& s, bool mp4) {
    if (mp4) {
      m4a = std::make_unique<Hosted<COptM4aPage>>(s);
    } else {
      aac = std::make_unique<Hosted<COptAacPage>>(s);
    }
  }
  COptPage* Page() const {
    return aac ? static_cast<COptPage*>(aac->page) : static_cast<COptPage*>(m4a->page);
  }
  template <class W>
  W* Child(const char* name) const {
    return aac ? aac->Child<W>(name) : m4a->Child<W>(name);
  }
  bool Has(const char* name) const { return aac ? aac->Has(name) : m4a->Has(name); }
  QWidget* Focused() const { return aac ? aac->Focused() : m4a->Focused(); }
  OptionDesktop& Desktop() const { return aac ? aac->desktop : m4a->desktop; }

  std::unique_ptr<Hosted<COptAacPage>> aac;
  std::unique_ptr<Hosted<COptM4aPage>> m4a;
};

class AacAmrWmaPagesTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- AAC and MP4 pages ----

  void aacPagesOpenOnTheStoredValues_data() { Families(); }
  void aacPagesOpenOnTheStoredValues() {
    QFETCH(bool, mp4);
    Settings s = CreateDefaultSettings();
    (mp4 ? s.AutoDestM4AEncodingParam : s.AutoDestAACEncodingParam) = 0;
    (mp4 ? s.M4AVBR : s.AACVBR) = 0;
    (mp4 ? s.M4AABRBitRate : s.AACABRBitRate) = 200;  // no entry: the first shows
    (mp4 ? s.M4AVBRQuality : s.AACVBRQuality) = 9;    // shown as stored
    (mp4 ? s.M4AEnableTNS : s.AACEnableTNS) = 1;
    (mp4 ? s.M4AEnableMidside : s.AACEnableMidside) = 0;
    (mp4 ? s.M4ABlockType : s.AACBlockType) = 2;
    (mp4 ? s.AmplifyM4A : s.AmplifyAAC) = 1;
    (mp4 ? s.AmplifyM4ACoef : s.AmplifyAACCoef) = 250;
    s.AACMpegVersion = 5;  // any non-zero value is MPEG-2
    s.M4AID3TagType = 7;   // no tag mode: None
    AacHost h(s, mp4);

    QCOMPARE(h.Page()->Title(), QString(mp4 ? "MP4/M4A/M4B Options" : "AAC Options"));
    QVERIFY(!h.Child<QCheckBox>("auto")->isChecked());
    QVERIFY(h.Child<QRadioButton>("mode0")->isChecked());
    QCOMPARE(h.Child<QComboBox>("bitrate")->currentText(), QString("16 kbps"));
    QCOMPARE(h.Child<SpinEdit>("quality")->text(), QString("9"));
    QVERIFY(h.Child<QCheckBox>("tns")->isChecked());
    QVERIFY(!h.Child<QCheckBox>("midside")->isChecked());
    // "No long" is not offered (the encoder decides block switching itself): the stored one
    // shows as what the encoder does.
    QVERIFY(h.Child<QRadioButton>("blockType0")->isChecked());
    QVERIFY(!h.Child<QRadioButton>("blockType2")->isChecked());
    QVERIFY(h.Child<QCheckBox>("amplify")->isChecked());
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("250"));
    QCOMPARE(h.Has("mpegVersion0"), !mp4);
    QCOMPARE(h.Has("tagChoice0"), mp4);
    if (mp4) {
      QVERIFY(h.Child<QRadioButton>("tagChoice2")->isChecked());
      QCOMPARE(h.Child<QPushButton>("editTag")->text(), QString("E&dit ID3 tag"));
    } else {
      QVERIFY(h.Child<QRadioButton>("mpegVersion1")->isChecked());
    }
    QStringList entries;
    const auto* combo = h.Child<QComboBox>("bitrate");
    for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
    QCOMPARE(entries.size(), 18);
    QCOMPARE(entries.front(), QString("16 kbps"));
    QCOMPARE(entries[10], QString("128 kbps"));
    QCOMPARE(entries.back(), QString("Same as original file"));
    QCOMPARE(h.Child<QLabel>("qualityNote")->text(), QString("(Default: 100. From 10 to 500)"));

    // "Same as original file" is a stored choice of its own.
    (mp4 ? s.M4AABRBitRate : s.AACABRBitRate) = 0;
    AacHost same(s, mp4);
    QCOMPARE(same.Child<QComboBox>("bitrate")->currentText(), QString("Same as original file"));
  }

  void aacPagesStoreWhatTheUserChose_data() { Families(); }
  void aacPagesStoreWhatTheUserChose() {
    QFETCH(bool, mp4);
    const ProfileScope profile;
    Settings start = CreateDefaultSettings();
    (mp4 ? start.M4ABlockType : start.AACBlockType) = 1;  // "No short", from an older store
    AacHost h(start, mp4);
    h.Desktop().tagEdit = [](TagDefaults& t) { t = SomeTags(); };

    Click(h.Child<QCheckBox>("auto"));
    Click(h.Child<QRadioButton>("mode0"));
    Pick(h.Child<QComboBox>("bitrate"), "320 kbps");
    Click(h.Child<QRadioButton>("mode1"));
    Type(h.Child<SpinEdit>("quality"), "250");
    Click(h.Child<QCheckBox>("tns"));
    Click(h.Child<QCheckBox>("midside"));
    if (!mp4) Click(h.Child<QRadioButton>("mpegVersion1"));
    Click(h.Child<QRadioButton>("blockType1"));  // unavailable: nothing changes
    Click(h.Child<QCheckBox>("amplify"));
    Type(h.Child<SpinEdit>("coefficient"), "40");
    if (mp4) {
      Click(h.Child<QRadioButton>("tagChoice0"));
      Click(h.Child<QPushButton>("editTag"));
      QCOMPARE(h.Desktop().tagEdits, 1);
      QVERIFY(!h.Desktop().tagEditShowCopyright);
    }
    QVERIFY(!h.Page()->LeavePage());
    Settings s = start;
    h.Page()->StoreInto(s);
    const Settings stored = SaveAndReload(s);

    QCOMPARE(mp4 ? stored.AutoDestM4AEncodingParam : stored.AutoDestAACEncodingParam, 0);
    QCOMPARE(mp4 ? stored.M4AVBR : stored.AACVBR, 1);
    QCOMPARE(mp4 ? stored.M4AABRBitRate : stored.AACABRBitRate, 320);
    QCOMPARE(mp4 ? stored.M4AVBRQuality : stored.AACVBRQuality, 250);
    QCOMPARE(mp4 ? stored.M4AEnableTNS : stored.AACEnableTNS, 1);
    QCOMPARE(mp4 ? stored.M4AEnableMidside : stored.AACEnableMidside, 0);
    QCOMPARE(mp4 ? stored.M4ABlockType : stored.AACBlockType, 0);
    QCOMPARE(mp4 ? stored.AmplifyM4A : stored.AmplifyAAC, 1);
    QCOMPARE(mp4 ? stored.AmplifyM4ACoef : stored.AmplifyAACCoef, 40);
    if (mp4) {
      QCOMPARE(stored.M4AID3TagType, 0);
      QVERIFY(stored.M4aTags == SomeTags());
      // The raw AAC fields are another page's.
      QCOMPARE(stored.AutoDestAACEncodingParam, start.AutoDestAACEncodingParam);
      QCOMPARE(stored.AACABRBitRate, start.AACABRBitRate);
    } else {
      QCOMPARE(stored.AACMpegVersion, 1);
      QCOMPARE(stored.AutoDestM4AEncodingParam, start.AutoDestM4AEncodingParam);
      QCOMPARE(stored.M4AABRBitRate, start.M4AABRBitRate);
    }
  }

  void aacAutoStoresOnlyItsFlag_data() { Families(); }
  void aacAutoStoresOnlyItsFlag() {
    QFETCH(bool, mp4);
    Settings start = CreateDefaultSettings();
    (mp4 ? start.AutoDestM4AEncodingParam : start.AutoDestAACEncodingParam) = 0;
    (mp4 ? start.M4AVBR : start.AACVBR) = 0;
    AacHost h(start, mp4);
    Pick(h.Child<QComboBox>("bitrate"), "64 kbps");
    Click(h.Child<QRadioButton>("mode1"));
    Type(h.Child<SpinEdit>("quality"), "300");
    Click(h.Child<QCheckBox>("tns"));
    Click(h.Child<QRadioButton>("blockType2"));
    if (!mp4) Click(h.Child<QRadioButton>("mpegVersion1"));
    Click(h.Child<QCheckBox>("amplify"));
    Click(h.Child<QCheckBox>("auto"));
    QVERIFY(!h.Page()->LeavePage());
    Settings s = start;
    h.Page()->StoreInto(s);

    QCOMPARE(mp4 ? s.AutoDestM4AEncodingParam : s.AutoDestAACEncodingParam, 1);
    QCOMPARE(mp4 ? s.M4AVBR : s.AACVBR, 0);
    QCOMPARE(mp4 ? s.M4AABRBitRate : s.AACABRBitRate, 128);
    QCOMPARE(mp4 ? s.M4AVBRQuality : s.AACVBRQuality, 100);
    QCOMPARE(mp4 ? s.M4AEnableTNS : s.AACEnableTNS, 0);
    QCOMPARE(mp4 ? s.M4ABlockType : s.AACBlockType, 0);
    QCOMPARE(s.AACMpegVersion, 0);
    // Gain goes back whatever the auto box says.
    QCOMPARE(mp4 ? s.AmplifyM4A : s.AmplifyAAC, 1);
  }

  void aacLeavingChecksQualityThenGain_data() {
    QTest::addColumn<bool>("mp4");
    QTest::addColumn<QString>("typed");
    for (const bool mp4 : {false, true}) {
      for (const char* typed : {"9", "501", "", "x1"}) {
        QTest::addRow("%s quality '%s'", mp4 ? "mp4" : "aac", typed) << mp4 << QString(typed);
      }
    }
  }
  void aacLeavingChecksQualityThenGain() {
    QFETCH(bool, mp4);
    QFETCH(QString, typed);
    Settings start = CreateDefaultSettings();
    (mp4 ? start.AutoDestM4AEncodingParam : start.AutoDestAACEncodingParam) = 0;
    (mp4 ? start.AmplifyM4A : start.AmplifyAAC) = 1;
    AacHost h(start, mp4);
    auto* quality = h.Child<SpinEdit>("quality");
    auto* coefficient = h.Child<SpinEdit>("coefficient");

    // Both wrong: the quality is named first.
    Type(quality, typed);
    Type(coefficient, typed == "501" ? QString("3001") : typed);
    std::optional<PageRefusal> refusal = h.Page()->LeavePage();
    QVERIFY(refusal);
    QCOMPARE(refusal->text, QString(kQualityRefusal));
    QCOMPARE(refusal->focus, quality);

    Type(quality, "500");
    refusal = h.Page()->LeavePage();
    QVERIFY(refusal);
    QCOMPARE(refusal->text, QString(kGainRefusal));
    QCOMPARE(refusal->focus, coefficient);

    Type(coefficient, "10");
    QVERIFY(!h.Page()->LeavePage());

    // The quality counts only in VBR without Auto, and a wrong one is then not taken.
    Type(quality, typed);
    Click(h.Child<QRadioButton>("mode0"));
    QVERIFY(!h.Page()->LeavePage());
    Click(h.Child<QRadioButton>("mode1"));
    Click(h.Child<QCheckBox>("auto"));
    QVERIFY(!h.Page()->LeavePage());
    Click(h.Child<QCheckBox>("auto"));
    Click(h.Child<QRadioButton>("mode0"));
    QVERIFY(!h.Page()->LeavePage());
    Settings s = start;
    h.Page()->StoreInto(s);
    QCOMPARE(mp4 ? s.M4AVBRQuality : s.AACVBRQuality, 500);
  }

  void aacEnablingFollowsAutoModeAndGain_data() { Families(); }
  void aacEnablingFollowsAutoModeAndGain() {
    QFETCH(bool, mp4);
    AacHost h(CreateDefaultSettings(), mp4);
    QStringList parameters{"mode0", "mode1", "tns", "midside", "blockType0"};
    if (!mp4)
      parameters << "mpegVersion0"
                 << "mpegVersion1";
    const auto enabled = [&](const char* name) { return h.Child<QWidget>(name)->isEnabled(); };

    for (const QString& name : parameters) QVERIFY(!enabled(qPrintable(name)));
    QVERIFY(!enabled("bitrate"));
    QVERIFY(!enabled("quality"));

    Click(h.Child<QCheckBox>("auto"));
    for (const QString& name : parameters) QVERIFY(enabled(qPrintable(name)));
    QVERIFY(!enabled("bitrate"));
    QVERIFY(enabled("quality"));
    // What the encoder cannot do is never offered, and says why.
    for (const char* name : {"blockType1", "blockType2"}) {
      QVERIFY(!enabled(name));
      QCOMPARE(h.Child<QWidget>(name)->toolTip(),
               QString("The AAC encoder of this build decides block switching itself."));
    }
    QVERIFY(h.Child<QWidget>("blockType0")->toolTip().isEmpty());

    Click(h.Child<QRadioButton>("mode0"));
    QVERIFY(enabled("bitrate"));
    QVERIFY(!enabled("quality"));
    QCOMPARE(h.Focused(), h.Child<QWidget>("bitrate"));
    Click(h.Child<QRadioButton>("mode1"));
    QVERIFY(!enabled("bitrate"));
    QVERIFY(enabled("quality"));
    QCOMPARE(h.Focused(), h.Child<QWidget>("quality"));

    QVERIFY(!enabled("coefficient"));
    Click(h.Child<QCheckBox>("amplify"));
    QVERIFY(enabled("coefficient"));
    QCOMPARE(h.Focused(), h.Child<QWidget>("coefficient"));

    if (mp4) {
      QVERIFY(!enabled("editTag"));
      Click(h.Child<QRadioButton>("tagChoice0"));
      QVERIFY(enabled("editTag"));
      Click(h.Child<QRadioButton>("tagChoice1"));
      QVERIFY(!enabled("editTag"));
    }
  }

  void aacResetLeavesGainAndTagsAlone_data() { Families(); }
  void aacResetLeavesGainAndTagsAlone() {
    QFETCH(bool, mp4);
    Settings start = CreateDefaultSettings();
    (mp4 ? start.AutoDestM4AEncodingParam : start.AutoDestAACEncodingParam) = 0;
    (mp4 ? start.M4AVBR : start.AACVBR) = 0;
    (mp4 ? start.M4AABRBitRate : start.AACABRBitRate) = 32;
    (mp4 ? start.M4AVBRQuality : start.AACVBRQuality) = 400;
    (mp4 ? start.M4AEnableTNS : start.AACEnableTNS) = 1;
    (mp4 ? start.M4AEnableMidside : start.AACEnableMidside) = 0;
    (mp4 ? start.M4ABlockType : start.AACBlockType) = 2;
    start.AACMpegVersion = 1;
    start.M4AID3TagType = 0;
    start.M4aTags = SomeTags();
    AacHost h(start, mp4);
    Click(h.Child<QCheckBox>("amplify"));
    Type(h.Child<SpinEdit>("coefficient"), "700");

    Click(h.Child<QPushButton>("reset"));
    QVERIFY(h.Child<QCheckBox>("auto")->isChecked());
    QVERIFY(h.Child<QRadioButton>("mode1")->isChecked());
    QCOMPARE(h.Child<QComboBox>("bitrate")->currentText(), QString("128 kbps"));
    QCOMPARE(h.Child<SpinEdit>("quality")->text(), QString("100"));
    QVERIFY(!h.Child<QCheckBox>("tns")->isChecked());
    QVERIFY(h.Child<QCheckBox>("midside")->isChecked());
    QVERIFY(h.Child<QRadioButton>("blockType0")->isChecked());
    if (!mp4) QVERIFY(h.Child<QRadioButton>("mpegVersion0")->isChecked());
    QVERIFY(!h.Child<QWidget>("tns")->isEnabled());
    QVERIFY(h.Child<QCheckBox>("amplify")->isChecked());
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("700"));
    if (mp4) QVERIFY(h.Child<QRadioButton>("tagChoice0")->isChecked());

    // Stored as OK stores it: Auto, so the manual values stay; gain and tags as they were.
    QVERIFY(!h.Page()->LeavePage());
    Settings s = start;
    h.Page()->StoreInto(s);
    QCOMPARE(mp4 ? s.AutoDestM4AEncodingParam : s.AutoDestAACEncodingParam, 1);
    QCOMPARE(mp4 ? s.M4AABRBitRate : s.AACABRBitRate, 32);
    QCOMPARE(mp4 ? s.AmplifyM4A : s.AmplifyAAC, 1);
    QCOMPARE(mp4 ? s.AmplifyM4ACoef : s.AmplifyAACCoef, 700);
    QCOMPARE(s.M4AID3TagType, 0);
    QVERIFY(s.M4aTags == SomeTags());
  }

  void aacPagesFitAndArePictured_data() { Families(); }
  void aacPagesFitAndArePictured() {
    QFETCH(bool, mp4);
    Settings s = CreateDefaultSettings();
    (mp4 ? s.AutoDestM4AEncodingParam : s.AutoDestAACEncodingParam) = 0;
    s.M4AID3TagType = 0;
    AacHost h(s, mp4);
    QWidget& window = *h.Page()->window();
    QCOMPARE(ClippedControls(window), QStringList());
    SaveWindowScreenshot(window, mp4 ? "page-m4a" : "page-aac");
  }

  // ---- AMR/AWB page ----

  void amrOpensOnTheStoredValues() {
    Settings s = CreateDefaultSettings();
    s.AMRType = 3;    // any non-zero type is wide band
    s.AMRMode = 8;    // no NB entry: 7.4 kbps shows
    s.AMRWBMode = 9;  // no WB entry: 15.85 kbps shows
    s.AWBMode = 2;
    s.AMRDTX = 1;
    s.AWBDTX = 0;
    s.AmplifyAMR = 1;
    s.AmplifyAMRCoef = 90;
    Hosted<CAmrOptPage> h(s);
    QCOMPARE(h.page->Title(), QString("AMR/AWB Options"));
    QVERIFY(h.Child<QRadioButton>("codec1")->isChecked());
    QCOMPARE(h.Child<QComboBox>("nbBitrate")->currentText(), QString("7.4 kbps"));
    QCOMPARE(h.Child<QComboBox>("wbBitrate")->currentText(), QString("15.85 kbps"));
    QCOMPARE(h.Child<QComboBox>("awbBitrate")->currentText(), QString("12.65 kbps"));
    QCOMPARE(h.Child<QComboBox>("nbBitrate")->itemText(1), QString("5.15kbps"));
    QCOMPARE(h.Child<QComboBox>("awbBitrate")->count(), 9);
    QVERIFY(h.Child<QCheckBox>("amrDtx")->isChecked());
    QVERIFY(!h.Child<QCheckBox>("awbDtx")->isChecked());
    QVERIFY(h.Child<QCheckBox>("amplify")->isChecked());
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("90"));
    QCOMPARE(h.Child<QLabel>("awbRate")->text(), QString("Sample Frequency: 16000 Hz"));

    QVERIFY(!h.page->LeavePage());
    Settings stored = s;
    h.page->StoreInto(stored);
    QCOMPARE(stored.AMRWBMode, 4);
    QCOMPARE(stored.AMRMode, 4);
    QCOMPARE(stored.AMRType, 1);
  }

  void amrStoresWhatTheUserChose() {
    const ProfileScope profile;
    const Settings start = CreateDefaultSettings();
    Hosted<CAmrOptPage> h(start);
    Pick(h.Child<QComboBox>("nbBitrate"), "4.75 kbps");
    Click(h.Child<QRadioButton>("codec1"));
    Pick(h.Child<QComboBox>("wbBitrate"), "23.85 kbps");
    Click(h.Child<QCheckBox>("amrDtx"));
    Pick(h.Child<QComboBox>("awbBitrate"), "8.85 kbps");
    Click(h.Child<QCheckBox>("awbDtx"));
    Click(h.Child<QCheckBox>("amplify"));
    Type(h.Child<SpinEdit>("coefficient"), "3000");
    QVERIFY(!h.page->LeavePage());
    Settings s = start;
    h.page->StoreInto(s);
    const Settings stored = SaveAndReload(s);
    QCOMPARE(stored.AMRType, 1);
    QCOMPARE(stored.AMRMode, 0);
    QCOMPARE(stored.AMRWBMode, 8);
    QCOMPARE(stored.AMRDTX, 1);
    QCOMPARE(stored.AWBMode, 1);
    QCOMPARE(stored.AWBDTX, 1);
    QCOMPARE(stored.AmplifyAMR, 1);
    QCOMPARE(stored.AmplifyAMRCoef, 3000);
  }

  void amrEnablingFollowsTheCodecAndGain() {
    Hosted<CAmrOptPage> h(CreateDefaultSettings());
    const auto enabled = [&](const char* name) { return h.Child<QWidget>(name)->isEnabled(); };
    QVERIFY(h.Child<QRadioButton>("codec0")->isChecked());
    QVERIFY(enabled("nbBitrate"));
    QVERIFY(!enabled("wbBitrate"));
    Click(h.Child<QRadioButton>("codec1"));
    QVERIFY(!enabled("nbBitrate"));
    QVERIFY(enabled("wbBitrate"));
    Click(h.Child<QRadioButton>("codec0"));
    QVERIFY(enabled("nbBitrate"));
    QVERIFY(!enabled("wbBitrate"));
    for (const char* always : {"awbBitrate", "amrDtx", "awbDtx"}) QVERIFY(enabled(always));

    QVERIFY(!enabled("coefficient"));
    Click(h.Child<QCheckBox>("amplify"));
    QVERIFY(enabled("coefficient"));
    QCOMPARE(h.Focused(), h.Child<QWidget>("coefficient"));
  }

  void amrLeavingChecksTheCoefficient_data() { WrongCoefficients(); }
  void amrLeavingChecksTheCoefficient() {
    QFETCH(QString, typed);
    Hosted<CAmrOptPage> h(CreateDefaultSettings());
    Click(h.Child<QCheckBox>("amplify"));
    Type(h.Child<SpinEdit>("coefficient"), typed);
    const std::optional<PageRefusal> refusal = h.page->LeavePage();
    QVERIFY(refusal);
    QCOMPARE(refusal->text, QString(kGainRefusal));
    QCOMPARE(refusal->focus, h.Child<QWidget>("coefficient"));
    // Unticked, the coefficient is not judged.
    Click(h.Child<QCheckBox>("amplify"));
    QVERIFY(!h.page->LeavePage());
  }

  void amrPageFitsAndIsPictured() {
    Hosted<CAmrOptPage> h(CreateDefaultSettings());
    QCOMPARE(ClippedControls(h.tabs), QStringList());
    SaveWindowScreenshot(h.tabs, "page-amr");
  }

  // ---- WMA page ----

  void wmaOpensOnTheStoredEncoding() {
    Settings s = CreateDefaultSettings();
    s.AutoDestWMAEncodingParam = 0;
    s.WMASampleRate = 44100;
    s.WMABitRate = 128500;  // compared in whole kbps
    s.WMAChannels = 2;
    s.WMAID3TagType = 0;
    s.AmplifyWMA = 1;
    s.AmplifyWMACoeff = 150;
    Hosted<CPageWMAOptions> h(s, SomeWmaList());
    QCOMPARE(h.page->Title(), QString("WMA Options"));
    auto* combo = h.Child<QComboBox>("encodingOptions");
    QStringList entries;
    for (int i = 0; i < combo->count(); ++i) entries << combo->itemText(i);
    QCOMPARE(entries, QStringList({"Auto", "22050 Hz, 32 kbps, Mono", "44100 Hz, 64 kbps, Stereo",
                                   "44100 Hz, 128 kbps, Stereo", "48000 Hz, 192 kbps, Stereo"}));
    QCOMPARE(combo->currentIndex(), 3);
    QVERIFY(h.Child<QRadioButton>("tagChoice0")->isChecked());
    QCOMPARE(h.Child<QPushButton>("editTag")->text(), QString("Edit ID3 &tag"));
    QVERIFY(h.Child<QCheckBox>("amplify")->isChecked());
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("150"));

    s.AutoDestWMAEncodingParam = 1;
    Hosted<CPageWMAOptions> automatic(s, SomeWmaList());
    QCOMPARE(automatic.Child<QComboBox>("encodingOptions")->currentIndex(), 0);
  }

  void wmaWithNoMatchSelectsNothingAndStoresAuto() {
    Settings start = CreateDefaultSettings();
    start.AutoDestWMAEncodingParam = 0;
    start.WMASampleRate = 32000;
    start.WMABitRate = 96000;
    start.WMAChannels = 1;
    Hosted<CPageWMAOptions> h(start, SomeWmaList());
    QCOMPARE(h.Child<QComboBox>("encodingOptions")->currentIndex(), -1);
    QVERIFY(!h.page->LeavePage());
    Settings s = start;
    h.page->StoreInto(s);
    QCOMPARE(s.AutoDestWMAEncodingParam, 1);
    QCOMPARE(s.WMASampleRate, 32000);
    QCOMPARE(s.WMABitRate, 96000);
    QCOMPARE(s.WMAChannels, 1);
  }

  void wmaWithoutTheRuntimeOffersOnlyAuto() {
    Settings start = CreateDefaultSettings();
    for (const int automatic : {1, 0}) {
      start.AutoDestWMAEncodingParam = automatic;
      Hosted<CPageWMAOptions> h(start, WmaProfileList());
      auto* combo = h.Child<QComboBox>("encodingOptions");
      QCOMPARE(combo->count(), 1);
      QCOMPARE(combo->itemText(0), QString("Auto"));
      QCOMPARE(combo->currentIndex(), automatic ? 0 : -1);
      QVERIFY(!h.page->LeavePage());
      Settings s = start;
      h.page->StoreInto(s);
      QCOMPARE(s.AutoDestWMAEncodingParam, 1);
    }
  }

  void wmaAsksForTheListOnceAndStoresNothingBeforeIt() {
    Settings start = CreateDefaultSettings();
    start.AutoDestWMAEncodingParam = 0;
    start.WMAID3TagType = 2;
    start.AmplifyWMA = 1;
    OptionDesktop desktop;
    desktop.wmaList = SomeWmaList();
    const OptionServices services = ServicesFor(desktop);
    QTabWidget tabs;
    auto* page = new CPageWMAOptions(start, services, &tabs);
    tabs.addTab(page, page->Title());
    QCOMPARE(desktop.wmaListRequests, 0);
    QVERIFY(!page->LeavePage());
    Settings s = CreateDefaultSettings();
    page->StoreInto(s);
    QVERIFY(s == CreateDefaultSettings());

    for (int shown = 0; shown < 2; ++shown) {
      tabs.show();
      QVERIFY(QTest::qWaitForWindowExposed(&tabs));
      page->InitPage();
      tabs.hide();
    }
    QCOMPARE(desktop.wmaListRequests, 1);
    page->StoreInto(s);
    QCOMPARE(s.WMAID3TagType, 2);
    QCOMPARE(s.AmplifyWMA, 1);
  }

  void wmaStoresWhatTheUserChose() {
    const ProfileScope profile;
    const Settings start = CreateDefaultSettings();
    Hosted<CPageWMAOptions> h(start, SomeWmaList());
    h.desktop.tagEdit = [](TagDefaults& t) { t = SomeTags(); };
    Pick(h.Child<QComboBox>("encodingOptions"), "22050 Hz, 32 kbps, Mono");
    Click(h.Child<QRadioButton>("tagChoice0"));
    Click(h.Child<QPushButton>("editTag"));
    QCOMPARE(h.desktop.tagEdits, 1);
    QVERIFY(h.desktop.tagEditShowCopyright);
    Click(h.Child<QCheckBox>("amplify"));
    Type(h.Child<SpinEdit>("coefficient"), "10");
    QVERIFY(!h.page->LeavePage());
    Settings s = start;
    h.page->StoreInto(s);
    const Settings stored = SaveAndReload(s);
    QCOMPARE(stored.AutoDestWMAEncodingParam, 0);
    QCOMPARE(stored.WMASampleRate, 22050);
    QCOMPARE(stored.WMABitRate, 32000);
    QCOMPARE(stored.WMAChannels, 1);
    QCOMPARE(stored.WMAID3TagType, 0);
    QVERIFY(stored.WmaTags == SomeTags());
    QCOMPARE(stored.AmplifyWMA, 1);
    QCOMPARE(stored.AmplifyWMACoeff, 10);
  }

  void wmaAutoStoresOnlyItsFlag() {
    Settings start = CreateDefaultSettings();
    start.AutoDestWMAEncodingParam = 0;
    start.WMASampleRate = 48000;
    start.WMABitRate = 192000;
    start.WMAChannels = 2;
    Hosted<CPageWMAOptions> h(start, SomeWmaList());
    QCOMPARE(h.Child<QComboBox>("encodingOptions")->currentIndex(), 4);
    Pick(h.Child<QComboBox>("encodingOptions"), "Auto");
    Click(h.Child<QRadioButton>("tagChoice2"));
    QVERIFY(!h.page->LeavePage());
    Settings s = start;
    h.page->StoreInto(s);
    QCOMPARE(s.AutoDestWMAEncodingParam, 1);
    QCOMPARE(s.WMASampleRate, 48000);
    QCOMPARE(s.WMABitRate, 192000);
    QCOMPARE(s.WMAChannels, 2);
    QCOMPARE(s.WMAID3TagType, 2);
  }

  void wmaEnablingFollowsTagModeAndGain() {
    Hosted<CPageWMAOptions> h(CreateDefaultSettings(), SomeWmaList());
    const auto enabled = [&](const char* name) { return h.Child<QWidget>(name)->isEnabled(); };
    QVERIFY(h.Child<QRadioButton>("tagChoice1")->isChecked());  // Transfer, as stored first
    QVERIFY(!enabled("editTag"));
    Click(h.Child<QRadioButton>("tagChoice0"));
    QVERIFY(enabled("editTag"));
    Click(h.Child<QRadioButton>("tagChoice2"));
    QVERIFY(!enabled("editTag"));
    QVERIFY(!enabled("coefficient"));
    Click(h.Child<QCheckBox>("amplify"));
    QVERIFY(enabled("coefficient"));
    QCOMPARE(h.Focused(), h.Child<QWidget>("coefficient"));
  }

  void wmaLeavingChecksTheCoefficient_data() { WrongCoefficients(); }
  void wmaLeavingChecksTheCoefficient() {
    QFETCH(QString, typed);
    Hosted<CPageWMAOptions> h(CreateDefaultSettings(), SomeWmaList());
    Click(h.Child<QCheckBox>("amplify"));
    Type(h.Child<SpinEdit>("coefficient"), typed);
    const std::optional<PageRefusal> refusal = h.page->LeavePage();
    QVERIFY(refusal);
    QCOMPARE(refusal->text, QString(kGainRefusal));
    QCOMPARE(refusal->focus, h.Child<QWidget>("coefficient"));
  }

  void wmaPageFitsAndIsPictured() {
    Settings s = CreateDefaultSettings();
    s.AutoDestWMAEncodingParam = 0;
    s.WMAID3TagType = 0;
    Hosted<CPageWMAOptions> h(s, SomeWmaList());
    QCOMPARE(ClippedControls(h.tabs), QStringList());
    SaveWindowScreenshot(h.tabs, "page-wma");
  }

 private:
  static void Families() {
    QTest::addColumn<bool>("mp4");
    QTest::newRow("aac") << false;
    QTest::newRow("mp4") << true;
  }
  static void WrongCoefficients() {
    QTest::addColumn<QString>("typed");
    for (const char* typed : {"9", "3001", "", "abc"})
      QTest::addRow("'%s'", typed) << QString(typed);
  }
};

SONORELL_UI_TEST(AacAmrWmaPagesTest);

}  // namespace
}  // namespace sonorell

#include "aac_amr_wma_pages_test.moc"
