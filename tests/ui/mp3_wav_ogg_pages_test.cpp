// The MP3, WAV and OGG pages of the Options sheet: what they open with, how the user's
// choices move each other, what OK stores, what leaving refuses, and how they look.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>

#include <optional>

#include "settings/settings_store.h"
#include "tests/ui/hosted_page.h"
#include "tests/ui/option_test_services.h"
#include "tests/ui/ui_test_registry.h"
#include "ui/opt_mp3_page.h"
#include "ui/opt_ogg_page.h"
#include "ui/opt_wav_page.h"
#include "ui/spin_edit.h"

namespace sonorell {
namespace {

using testing::Click;
using testing::Entries;
using testing::Hosted;
using testing::kGainRefusal;
using testing::OptionDesktop;
using testing::Pick;
using testing::ProfileScope;
using testing::SaveAndReload;
using testing::ServicesFor;
using testing::StoredSettings;
using testing::Type;

// Ticks the gain box and types the coefficient, then checks what leaving the page says.
template <class Page>
void ExpectGainRefusal(const QString& typed) {
  Settings s = CreateDefaultSettings();
  s.AutoDestMP3EncodingParam = s.AutoDestWAVEncodingParam = s.AutoDestOGGEncodingParam = 0;
  Hosted<Page> h(s);
  Click(h, "amplify");
  Type(h.template Child<SpinEdit>("coefficient"), typed);
  const std::optional<PageRefusal> refusal = h.page->LeavePage();
  QVERIFY(refusal);
  QCOMPARE(refusal->text, QString(kGainRefusal));
  QCOMPARE(refusal->focus, h.template Child<QWidget>("coefficient"));
  // Cleared, the box lets the page go whatever the edit holds.
  Click(h, "amplify");
  QVERIFY(!h.page->LeavePage());
  QVERIFY(!h.Enabled("coefficient"));
}

template <class Page>
void ExpectNothingCutOff(const Settings& s, const char* shot) {
  Hosted<Page> h(s);
  testing::ExpectPageFits(h, QString::fromUtf8(shot));
}

class Mp3WavOggPagesTest : public QObject {
  Q_OBJECT

 private slots:
  // ---- MP3 ----

  void mp3OpensOnTheStoredValues() {
    Settings s = CreateDefaultSettings();
    s.AutoDestMP3EncodingParam = 0;
    s.MP3BitRate = 100;  // no entry: the first shows
    s.MP3SampleRate = 0;
    s.MP3ChannelMode = 2;  // dual channel has no radio: same as the source
    s.MP3ID3TagType = 7;   // no tag mode: None
    s.MP3WriteID3Version = 2;
    s.AmplifyMp3 = 1;
    s.AmplifyMp3Coeff = 250;
    Hosted<COptMp3Page> h(s);

    QCOMPARE(h.page->Title(), QString("MP3 Options"));
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    QCOMPARE(h.Shown("bitrate"), QString("8 kbps"));
    QCOMPARE(h.Shown("sampleRate"), QString("Same as original file"));
    QVERIFY(h.Checked("channel3"));
    QVERIFY(h.Checked("tagChoice2"));
    QVERIFY(h.Checked("id3Version2"));
    QVERIFY(!h.Enabled("id3Version0"));
    QVERIFY(!h.Enabled("editTag"));
    QVERIFY(h.Checked("amplify"));
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("250"));

    const QStringList options = Entries(h.Child<QComboBox>("encodingOptions"));
    QCOMPARE(options,
             QStringList({"Auto", "11025 Hz, 16 kbps, Mono (low quality, smaller file size)",
                          "22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)",
                          "32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)",
                          "44100Hz, 128 kbps, Joint Stereo (close to CD-quality, large size)",
                          "Custom"}));
    const QStringList bitrates = Entries(h.Child<QComboBox>("bitrate"));
    QCOMPARE(bitrates.size(), 19);
    QCOMPARE(bitrates.front(), QString("8 kbps"));
    QCOMPARE(bitrates[17], QString("320 kbps"));
    QCOMPARE(bitrates.back(), QString("Same as original file"));
    const QStringList rates = Entries(h.Child<QComboBox>("sampleRate"));
    QCOMPARE(rates,
             QStringList({"8000 Hz", "11025 Hz", "12000 Hz", "16000 Hz", "22050 Hz", "24000 Hz",
                          "32000 Hz", "44100 Hz", "48000 Hz", "Same as original file"}));
    QStringList radios;
    for (const char* name :
         {"channel0", "channel1", "channel2", "channel3", "tagChoice0", "tagChoice1", "tagChoice2",
          "id3Version0", "id3Version1", "id3Version2", "editTag"}) {
      radios << h.Child<QAbstractButton>(name)->text();
    }
    QCOMPARE(radios, QStringList({"&Joint Stereo", "&Stereo", "&Mono", "Same as &original file",
                                  "Add &ID3 tag", "T&ransfer ID3 tag from source file", "&None",
                                  "ID3v&1", "ID3v&2", "I&D3v1 && ID3v2", "Edit ID3 &tag"}));
    QCOMPARE(h.Child<QLabel>("versionLabel")->text(), QString("Write ID3 tag as:"));

    // A preset's three values show as that preset; Auto wins over everything.
    s.MP3BitRate = 32;
    s.MP3SampleRate = 22050;
    s.MP3ChannelMode = 1;
    s.MP3ID3TagType = 0;
    s.MP3WriteID3Version = 9;  // no radio: none checked
    Hosted<COptMp3Page> preset(s);
    QCOMPARE(preset.Shown("encodingOptions"),
             QString("22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)"));
    QVERIFY(preset.Checked("channel0"));
    QVERIFY(preset.Enabled("editTag"));
    QVERIFY(!preset.Checked("id3Version0") && !preset.Checked("id3Version1") &&
            !preset.Checked("id3Version2"));
    s.AutoDestMP3EncodingParam = 1;
    Hosted<COptMp3Page> automatic(s);
    QCOMPARE(automatic.Shown("encodingOptions"), QString("Auto"));
    QCOMPARE(automatic.Shown("bitrate"), QString("32 kbps"));
    QVERIFY(!automatic.Enabled("bitrate"));
  }

  void mp3StoresWhatTheUserChose() {
    ProfileScope profile;
    Settings s = CreateDefaultSettings();  // Auto, transfer tags, ID3v2
    Hosted<COptMp3Page> h(s);
    h.desktop.tagEdit = [](TagDefaults& t) {
      t.Artist = "Quartet";
      t.TrackNumType = 2;
      t.CustomTrackNum = 7;
    };
    Pick(h, "encodingOptions", "Custom");
    Pick(h, "sampleRate", "22050 Hz");
    Pick(h, "bitrate", "192 kbps");  // too much for MPEG-2: the rate moves up
    QCOMPARE(h.Shown("sampleRate"), QString("32000 Hz"));
    Click(h, "channel1");
    Click(h, "tagChoice0");
    Click(h, "editTag");
    QCOMPARE(h.desktop.tagEdits, 1);
    QVERIFY(h.desktop.tagEditShowCopyright);
    Click(h, "id3Version0");
    Click(h, "amplify");
    Type(h.Child<SpinEdit>("coefficient"), "300");
    QVERIFY(!h.page->LeavePage());
    h.page->StoreInto(s);

    const Settings stored = SaveAndReload(s);
    QCOMPARE(stored.AutoDestMP3EncodingParam, 0);
    QCOMPARE(stored.MP3BitRate, 192);
    QCOMPARE(stored.MP3SampleRate, 32000);
    QCOMPARE(stored.MP3ChannelMode, 0);  // LAME's stereo
    QCOMPARE(stored.MP3ID3TagType, 0);
    QCOMPARE(stored.MP3WriteID3Version, 0);
    QCOMPARE(stored.AmplifyMp3, 1);
    QCOMPARE(stored.AmplifyMp3Coeff, 300);
    QCOMPARE(stored.Mp3Tags.Artist, std::string("Quartet"));
    QCOMPARE(stored.Mp3Tags.TrackNumType, 2);
    QCOMPARE(stored.Mp3Tags.CustomTrackNum, 7);

    // The other channel radios map to LAME's numbers as well.
    const struct {
      const char* radio;
      int mode;
    } modes[] = {{"channel0", 1}, {"channel2", 3}, {"channel3", 4}};
    for (const auto& m : modes) {
      Click(h, m.radio);
      h.page->StoreInto(s);
      QCOMPARE(s.MP3ChannelMode, m.mode);
    }
    // A tag dialog closed with Cancel leaves the copy alone.
    h.desktop.tagEdit = nullptr;
    Click(h, "editTag");
    h.page->StoreInto(s);
    QCOMPARE(s.Mp3Tags.Artist, std::string("Quartet"));
  }

  void mp3AutoStoresOnlyTheFlag() {
    Settings s = CreateDefaultSettings();
    s.AutoDestMP3EncodingParam = 0;
    s.MP3BitRate = 96;
    s.MP3SampleRate = 32000;
    s.MP3ChannelMode = 0;
    Hosted<COptMp3Page> h(s);
    Pick(h, "encodingOptions", "11025 Hz, 16 kbps, Mono (low quality, smaller file size)");
    QCOMPARE(h.Shown("bitrate"), QString("16 kbps"));
    QCOMPARE(h.Shown("sampleRate"), QString("11025 Hz"));
    QVERIFY(h.Checked("channel2"));
    Pick(h, "encodingOptions", "Auto");
    Click(h, "tagChoice2");
    QVERIFY(!h.page->LeavePage());
    h.page->StoreInto(s);
    QCOMPARE(s.AutoDestMP3EncodingParam, 1);
    QCOMPARE(s.MP3BitRate, 96);
    QCOMPARE(s.MP3SampleRate, 32000);
    QCOMPARE(s.MP3ChannelMode, 0);
    QCOMPARE(s.MP3ID3TagType, 2);  // stored with Auto too
  }

  void mp3ChoicesMoveEachOther() {
    Settings s = CreateDefaultSettings();
    s.AutoDestMP3EncodingParam = 0;  // 128 kbps, 44100 Hz, joint stereo: the CD preset
    Hosted<COptMp3Page> h(s);
    QCOMPARE(h.Shown("encodingOptions"),
             QString("44100Hz, 128 kbps, Joint Stereo (close to CD-quality, large size)"));
    Pick(h, "bitrate", "24 kbps");  // low rates only at MPEG-2 rates
    QCOMPARE(h.Shown("sampleRate"), QString("24000 Hz"));
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    Pick(h, "sampleRate", "8000 Hz");
    QCOMPARE(h.Shown("bitrate"), QString("24 kbps"));
    Pick(h, "bitrate", "112 kbps");
    QCOMPARE(h.Shown("sampleRate"), QString("16000 Hz"));
    Pick(h, "sampleRate", "11025 Hz");
    QCOMPARE(h.Shown("bitrate"), QString("64 kbps"));
    Pick(h, "sampleRate", "48000 Hz");
    Pick(h, "bitrate", "8 kbps");
    QCOMPARE(h.Shown("sampleRate"), QString("24000 Hz"));
    Pick(h, "sampleRate", "32000 Hz");
    QCOMPARE(h.Shown("bitrate"), QString("32 kbps"));

    // "Same as original file" on either side adjusts nothing and keeps the entry.
    Pick(h, "encodingOptions", "22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)");
    Pick(h, "sampleRate", "Same as original file");
    QCOMPARE(h.Shown("encodingOptions"),
             QString("22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)"));
    Pick(h, "bitrate", "320 kbps");
    QCOMPARE(h.Shown("sampleRate"), QString("Same as original file"));
    QCOMPARE(h.Shown("encodingOptions"),
             QString("22050 Hz, 32 kbps, Joint Stereo (OK quality, small size)"));

    // A channel click that changes the choice is Custom; the same radio again is not.
    Pick(h, "encodingOptions", "32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)");
    Click(h, "channel0");
    QCOMPARE(h.Shown("encodingOptions"),
             QString("32000 Hz, 96 kbps, Joint Stereo (medium quality, normal size)"));
    Click(h, "channel1");
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    // "Custom" itself changes nothing.
    Pick(h, "encodingOptions", "Custom");
    QCOMPARE(h.Shown("bitrate"), QString("96 kbps"));
    QVERIFY(h.Checked("channel1"));
  }

  void mp3EnablingFollowsAutoAndTheTagChoice() {
    Hosted<COptMp3Page> h(CreateDefaultSettings());  // Auto, transfer
    for (const char* c : {"bitrate", "sampleRate", "channel0", "channel1", "channel2", "channel3"})
      QVERIFY2(!h.Enabled(c), c);
    QVERIFY(!h.Enabled("editTag"));
    QVERIFY(h.Enabled("id3Version0"));
    Pick(h, "encodingOptions", "Custom");
    for (const char* c : {"bitrate", "sampleRate", "channel0", "channel1", "channel2", "channel3"})
      QVERIFY2(h.Enabled(c), c);
    Click(h, "tagChoice0");
    QVERIFY(h.Enabled("editTag"));
    QVERIFY(h.Enabled("id3Version2"));
    Click(h, "tagChoice2");
    QVERIFY(!h.Enabled("editTag"));
    for (const char* c : {"id3Version0", "id3Version1", "id3Version2"}) QVERIFY2(!h.Enabled(c), c);
    Click(h, "tagChoice1");
    QVERIFY(!h.Enabled("editTag"));
    QVERIFY(h.Enabled("id3Version1"));
    QVERIFY(!h.Enabled("coefficient"));
    Click(h, "amplify");
    QVERIFY(h.Enabled("coefficient"));
    QCOMPARE(h.Focused(), h.Child<QWidget>("coefficient"));
  }

  void mp3LinksOpenTheHelp() {
    Hosted<COptMp3Page> h(CreateDefaultSettings());
    for (const char* name : {"jointStereoLink", "lameLink"}) {
      auto* link = h.Child<QLabel>(name);
      QTest::mouseClick(link, Qt::LeftButton, Qt::NoModifier, QPoint(4, link->height() / 2));
    }
    QCOMPARE(h.desktop.opened.size(), size_t(2));
    for (const std::string& opened : h.desktop.opened) {
      QVERIFY2(QString::fromStdString(opened).endsWith("/sonorell.html"), opened.c_str());
    }
    QVERIFY(h.Child<QLabel>("jointStereoLink")->text().contains("Joint Stereo vs. Stereo"));
    QVERIFY(h.Child<QLabel>("lameLink")->text().contains("The program uses LAME MP3 encoder."));
  }

  void mp3RefusesAWrongCoefficient_data() { WrongCoefficients(); }
  void mp3RefusesAWrongCoefficient() {
    QFETCH(QString, typed);
    ExpectGainRefusal<COptMp3Page>(typed);
  }

  // ---- WAV ----

  void wavOpensOnTheStoredValues() {
    Settings s = CreateDefaultSettings();
    s.AutoDestWAVEncodingParam = 0;
    s.WAVBitsPerSample = 24;  // no entry: the first shows
    s.WAVSampleRate = 44000;  // no entry: the first shows
    s.WAVChannelNum = 6;      // no radio: same as the source
    s.AmplifyWav = 1;
    s.AmplifyWavCoeff = 40;
    Hosted<COptWavPage> h(s);
    QCOMPARE(h.page->Title(), QString("WAV Options"));
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    QCOMPARE(h.Shown("bits"), QString("8 bits"));
    QCOMPARE(h.Shown("sampleRate"), QString("6000 Hz"));
    QVERIFY(h.Checked("channel2"));
    QVERIFY(h.Checked("amplify"));
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("40"));
    QCOMPARE(Entries(h.Child<QComboBox>("bits")),
             QStringList({"8 bits", "16 bits", "Same as original file"}));
    QCOMPARE(Entries(h.Child<QComboBox>("sampleRate")),
             QStringList({"6000 Hz", "8000 Hz", "11025 Hz", "12000 Hz", "16000 Hz", "22050 Hz",
                          "24000 Hz", "32000 Hz", "44100 Hz", "48000 Hz", "88200 Hz", "96000 Hz",
                          "Same as original file"}));
    QCOMPARE(Entries(h.Child<QComboBox>("encodingOptions")),
             QStringList({"Auto", "11025 Hz, 8 bits, Mono (low quality, smaller file size)",
                          "22050 Hz, 16 bits, Stereo (OK quality, small size)",
                          "32000 Hz, 16 bits, Stereo (medium quality, normal size)",
                          "44100Hz, 16 bits, Stereo (high quality, large size)", "Custom"}));
    QCOMPARE(h.Child<QAbstractButton>("channel0")->text(), QString("&Stereo"));
    QCOMPARE(h.Child<QAbstractButton>("channel1")->text(), QString("&Mono"));
    QCOMPARE(h.Child<QAbstractButton>("channel2")->text(), QString("Same as &original file"));

    s.WAVBitsPerSample = 8;
    s.WAVSampleRate = 11025;
    s.WAVChannelNum = 1;
    Hosted<COptWavPage> preset(s);
    QCOMPARE(preset.Shown("encodingOptions"),
             QString("11025 Hz, 8 bits, Mono (low quality, smaller file size)"));
    s.WAVBitsPerSample = 0;
    s.WAVSampleRate = 0;
    s.WAVChannelNum = 0;
    Hosted<COptWavPage> same(s);
    QCOMPARE(same.Shown("bits"), QString("Same as original file"));
    QCOMPARE(same.Shown("sampleRate"), QString("Same as original file"));
    QVERIFY(same.Checked("channel2"));
  }

  void wavStoresWhatTheUserChose() {
    ProfileScope profile;
    Settings s = CreateDefaultSettings();
    Hosted<COptWavPage> h(s);
    Pick(h, "encodingOptions", "32000 Hz, 16 bits, Stereo (medium quality, normal size)");
    QCOMPARE(h.Shown("sampleRate"), QString("32000 Hz"));
    Pick(h, "sampleRate", "96000 Hz");
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    Pick(h, "bits", "8 bits");
    Click(h, "channel1");
    Click(h, "amplify");
    Type(h.Child<SpinEdit>("coefficient"), "3000");
    QVERIFY(!h.page->LeavePage());
    h.page->StoreInto(s);
    const Settings stored = SaveAndReload(s);
    QCOMPARE(stored.AutoDestWAVEncodingParam, 0);
    QCOMPARE(stored.WAVBitsPerSample, 8);
    QCOMPARE(stored.WAVSampleRate, 96000);
    QCOMPARE(stored.WAVChannelNum, 1);
    QCOMPARE(stored.AmplifyWav, 1);
    QCOMPARE(stored.AmplifyWavCoeff, 3000);

    Click(h, "channel0");
    h.page->StoreInto(s);
    QCOMPARE(s.WAVChannelNum, 2);
    Click(h, "channel2");
    Pick(h, "bits", "Same as original file");
    h.page->StoreInto(s);
    QCOMPARE(s.WAVChannelNum, 0);
    QCOMPARE(s.WAVBitsPerSample, 0);
  }

  void wavAutoStoresOnlyTheFlag() {
    Settings s = CreateDefaultSettings();
    s.AutoDestWAVEncodingParam = 0;
    s.WAVBitsPerSample = 8;
    s.WAVSampleRate = 48000;
    s.WAVChannelNum = 1;
    Hosted<COptWavPage> h(s);
    Pick(h, "bits", "16 bits");
    Pick(h, "encodingOptions", "Auto");
    for (const char* c : {"bits", "sampleRate", "channel0", "channel1", "channel2"})
      QVERIFY2(!h.Enabled(c), c);
    Click(h, "amplify");
    QVERIFY(!h.page->LeavePage());
    h.page->StoreInto(s);
    QCOMPARE(s.AutoDestWAVEncodingParam, 1);
    QCOMPARE(s.WAVBitsPerSample, 8);
    QCOMPARE(s.WAVSampleRate, 48000);
    QCOMPARE(s.WAVChannelNum, 1);
    QCOMPARE(s.AmplifyWav, 1);  // stored with Auto too
    Pick(h, "encodingOptions", "Custom");
    for (const char* c : {"bits", "sampleRate", "channel0", "channel1", "channel2"})
      QVERIFY2(h.Enabled(c), c);
    QCOMPARE(h.Shown("bits"), QString("16 bits"));  // Custom changes nothing
  }

  void wavRefusesAWrongCoefficient_data() { WrongCoefficients(); }
  void wavRefusesAWrongCoefficient() {
    QFETCH(QString, typed);
    ExpectGainRefusal<COptWavPage>(typed);
  }

  // ---- OGG ----

  void oggOpensOnTheStoredValues() {
    Settings s = CreateDefaultSettings();
    s.AutoDestOGGEncodingParam = 0;
    s.OGGBitRate = 0;
    s.OGGSampleRate = 96000;  // no entry: the first shows
    s.OGGChannels = 1;
    s.OGGID3TagType = 0;
    s.AmplifyOGG = 0;
    s.AmplifyOGGCoeff = 5;  // shown, though only a ticked box would refuse it
    Hosted<COptOggPage> h(s);
    QCOMPARE(h.page->Title(), QString("OGG Options"));
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    QCOMPARE(h.Shown("bitrate"), QString("Same as original file"));
    QCOMPARE(h.Shown("sampleRate"), QString("8000 Hz"));
    QVERIFY(h.Checked("channel1"));
    QVERIFY(h.Checked("tagChoice0"));
    QVERIFY(h.Enabled("editTag"));
    QVERIFY(!h.Checked("amplify"));
    QCOMPARE(h.Child<SpinEdit>("coefficient")->text(), QString("5"));
    QVERIFY(!h.page->LeavePage());
    const QStringList bitrates = Entries(h.Child<QComboBox>("bitrate"));
    QCOMPARE(bitrates.size(), 21);
    QCOMPARE(bitrates[19], QString("480 kbps"));
    QCOMPARE(
        Entries(h.Child<QComboBox>("encodingOptions")),
        QStringList({"Auto", "11025 Hz, 16 kbps, Mono (low quality, smaller size)",
                     "22050 Hz, 32 kbps, Stereo (OK quality, small size)",
                     "32000 Hz, 96 kbps, Stereo (medium quality, normal size)",
                     "44100Hz, 128 kbps, Stereo (close to CD-quality, large size)", "Custom"}));
    QCOMPARE(h.Child<QAbstractButton>("tagChoice1")->text(),
             QString("T&ransfer ID3 tag from source file"));
    QCOMPARE(h.Child<QAbstractButton>("editTag")->text(), QString("Edit ID3 &tag"));

    s.OGGBitRate = 96;
    s.OGGSampleRate = 32000;
    s.OGGChannels = 2;
    s.OGGID3TagType = -3;  // no tag mode: None
    Hosted<COptOggPage> preset(s);
    QCOMPARE(preset.Shown("encodingOptions"),
             QString("32000 Hz, 96 kbps, Stereo (medium quality, normal size)"));
    QVERIFY(preset.Checked("tagChoice2"));
    QVERIFY(!preset.Enabled("editTag"));
  }

  void oggStoresWhatTheUserChose() {
    ProfileScope profile;
    Settings s = CreateDefaultSettings();
    Hosted<COptOggPage> h(s);
    h.desktop.tagEdit = [](TagDefaults& t) {
      t.Genre = "Jpop";
      t.TitleAsFileName = 0;
      t.Title = "Night";
    };
    Pick(h, "encodingOptions", "Custom");
    Pick(h, "sampleRate", "48000 Hz");
    Pick(h, "bitrate", "400 kbps");
    Click(h, "channel2");
    Click(h, "tagChoice0");
    Click(h, "editTag");
    QVERIFY(h.desktop.tagEditShowCopyright);
    Click(h, "amplify");
    Type(h.Child<SpinEdit>("coefficient"), "10");
    QVERIFY(!h.page->LeavePage());
    h.page->StoreInto(s);
    const Settings stored = SaveAndReload(s);
    QCOMPARE(stored.AutoDestOGGEncodingParam, 0);
    QCOMPARE(stored.OGGBitRate, 400);
    QCOMPARE(stored.OGGSampleRate, 48000);
    QCOMPARE(stored.OGGChannels, 0);
    QCOMPARE(stored.OGGID3TagType, 0);
    QCOMPARE(stored.AmplifyOGG, 1);
    QCOMPARE(stored.AmplifyOGGCoeff, 10);
    QCOMPARE(stored.OggTags.Genre, std::string("Jpop"));
    QCOMPARE(stored.OggTags.Title, std::string("Night"));
    QCOMPARE(stored.OggTags.TitleAsFileName, 0);
  }

  void oggAutoStoresOnlyTheFlag() {
    Settings s = CreateDefaultSettings();
    s.AutoDestOGGEncodingParam = 0;
    s.OGGBitRate = 64;
    s.OGGSampleRate = 22050;
    s.OGGChannels = 0;
    Hosted<COptOggPage> h(s);
    Pick(h, "encodingOptions", "44100Hz, 128 kbps, Stereo (close to CD-quality, large size)");
    Pick(h, "encodingOptions", "Auto");
    for (const char* c : {"bitrate", "sampleRate", "channel0", "channel1", "channel2"})
      QVERIFY2(!h.Enabled(c), c);
    Click(h, "tagChoice2");
    h.page->StoreInto(s);
    QCOMPARE(s.AutoDestOGGEncodingParam, 1);
    QCOMPARE(s.OGGBitRate, 64);
    QCOMPARE(s.OGGSampleRate, 22050);
    QCOMPARE(s.OGGChannels, 0);
    QCOMPARE(s.OGGID3TagType, 2);
  }

  void oggKeepsTheBitRateWithinWhatVorbisEncodes() {
    Settings s = CreateDefaultSettings();
    s.AutoDestOGGEncodingParam = 0;  // 128 kbps, 44100 Hz, stereo
    Hosted<COptOggPage> h(s);
    Pick(h, "bitrate", "8 kbps");
    QCOMPARE(h.Shown("bitrate"), QString("48 kbps"));
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    Pick(h, "bitrate", "480 kbps");
    Click(h, "channel1");  // mono carries at most 224 at 44100 Hz
    QCOMPARE(h.Shown("bitrate"), QString("224 kbps"));
    Pick(h, "sampleRate", "8000 Hz");
    QCOMPARE(h.Shown("bitrate"), QString("40 kbps"));
    Click(h, "channel0");
    QCOMPARE(h.Shown("bitrate"), QString("40 kbps"));
    Pick(h, "sampleRate", "32000 Hz");
    QCOMPARE(h.Shown("bitrate"), QString("40 kbps"));

    // Same as the source on any side: nothing moves, and only a channel click is Custom.
    Pick(h, "encodingOptions", "11025 Hz, 16 kbps, Mono (low quality, smaller size)");
    Click(h, "channel2");
    QCOMPARE(h.Shown("encodingOptions"), QString("Custom"));
    Pick(h, "bitrate", "480 kbps");
    QCOMPARE(h.Shown("bitrate"), QString("480 kbps"));
    Pick(h, "encodingOptions", "11025 Hz, 16 kbps, Mono (low quality, smaller size)");
    Pick(h, "sampleRate", "Same as original file");
    QCOMPARE(h.Shown("encodingOptions"),
             QString("11025 Hz, 16 kbps, Mono (low quality, smaller size)"));
    Pick(h, "bitrate", "480 kbps");
    QCOMPARE(h.Shown("bitrate"), QString("480 kbps"));
  }

  void oggRefusesAWrongCoefficient_data() { WrongCoefficients(); }
  void oggRefusesAWrongCoefficient() {
    QFETCH(QString, typed);
    ExpectGainRefusal<COptOggPage>(typed);
  }

  // ---- all three ----

  void nothingIsCutOff() {
    Settings s = CreateDefaultSettings();
    s.AutoDestMP3EncodingParam = s.AutoDestWAVEncodingParam = s.AutoDestOGGEncodingParam = 0;
    s.MP3ID3TagType = s.OGGID3TagType = 0;
    s.AmplifyMp3 = s.AmplifyWav = s.AmplifyOGG = 1;
    ExpectNothingCutOff<COptMp3Page>(s, "page-mp3");
    ExpectNothingCutOff<COptWavPage>(s, "page-wav");
    ExpectNothingCutOff<COptOggPage>(s, "page-ogg");
  }

 private:
  static void WrongCoefficients() {
    QTest::addColumn<QString>("typed");
    for (const char* typed : {"9", "3001", "", "abc", "-100"})
      QTest::addRow("'%s'", typed) << QString(typed);
  }
};

SONORELL_UI_TEST(Mp3WavOggPagesTest);

}  // namespace
}  // namespace sonorell

#include "mp3_wav_ogg_pages_test.moc"
