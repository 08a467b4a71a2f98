#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "platform/registry/registry_key.h"
#include "settings/files_at_once.h"
#include "tests/settings/non_default_settings.h"
#include "tests/support/temp_profile.h"

namespace sonorell {
namespace {

using platform::RegistryKey;
using sonorell::testing::NonDefaultSettings;
using sonorell::testing::NonDefaultTags;

// Every value of the options key, by name and kind, as the option pages expect them.
const char* const kNumberNames[] = {"DestOutputFolderOpt",
                                    "CreateDirs",
                                    "BrowseOutputFolder",
                                    "OutputFiles2MyDocuments",
                                    "TargetExistsOpt",
                                    "MonoType",
                                    "EnableExtFilter",
                                    "FilesAtOnce",
                                    "OutputFormat",
                                    "OptStartPageIndex",
                                    "AutoDestMP3EncodingParam",
                                    "MP3BitRate",
                                    "MP3SampleRate",
                                    "MP3ChannelMode",
                                    "MP3ID3TagType",
                                    "MP3WriteID3Version",
                                    "AmplifyMp3",
                                    "AmplifyMp3Coeff",
                                    "AutoDestWAVEncodingParam",
                                    "WAVBitsPerSample",
                                    "WAVSampleRate",
                                    "WAVChannelNum",
                                    "AmplifyWav",
                                    "AmplifyWavCoeff",
                                    "AutoDestWMAEncodingParam",
                                    "WMABitRate",
                                    "WMASampleRate",
                                    "WMAChannels",
                                    "WMAID3TagType",
                                    "AmplifyWMA",
                                    "AmplifyWMACoeff",
                                    "AutoDestOGGEncodingParam",
                                    "OGGBitRate",
                                    "OGGSampleRate",
                                    "OGGChannels",
                                    "OGGID3TagType",
                                    "AmplifyOGG",
                                    "AmplifyOGGCoeff",
                                    "AutoDestAACEncodingParam",
                                    "AACVBR",
                                    "AACVBRQuality",
                                    "AACABRBitRate",
                                    "AACMpegVersion",
                                    "AACEnableTNS",
                                    "AACEnableMidside",
                                    "AACBlockType",
                                    "AmplifyAAC",
                                    "AmplifyAACCoef",
                                    "AutoDestM4AEncodingParam",
                                    "M4AVBR",
                                    "M4AVBRQuality",
                                    "M4AABRBitRate",
                                    "M4AEnableTNS",
                                    "M4AEnableMidside",
                                    "M4ABlockType",
                                    "AmplifyM4A",
                                    "AmplifyM4ACoef",
                                    "M4AID3TagType",
                                    "AMRMode",
                                    "AMRWBMode",
                                    "AMRDTX",
                                    "AMRType",
                                    "AWBMode",
                                    "AWBDTX",
                                    "AmplifyAMR",
                                    "AmplifyAMRCoef",
                                    "FLACCompression",
                                    "FLACSampleRate",
                                    "FLACChannels",
                                    "FLACID3TagType",
                                    "AmplifyFLAC",
                                    "AmplifyFLACCoeff",
                                    "OpusBitRate",
                                    "OpusRateControl",
                                    "OpusComplexity",
                                    "OpusChannels",
                                    "OpusID3TagType",
                                    "AmplifyOpus",
                                    "AmplifyOpusCoeff"};
const char* const kTextNames[] = {"Folder", "DestSpecifiedFolder", "FilterExts"};
const char* const kTagFamilies[] = {"MP3", "OGG", "WMA", "M4A", "FLAC", "OPUS"};

std::string TagKey(const std::string& family) {
  return std::string(kOptionsKeyPath) + "\\" + family + "Tag";
}

// The machine's cores within 1..64: what an unset or damaged FilesAtOnce stands for.
int Cores() {
  return static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 64u));
}

class SettingsStoreTest : public sonorell::testing::TempProfileTest {
 protected:
  static void StoreNumber(const std::string& name, uint32_t value) {
    auto key = RegistryKey::Create(kOptionsKeyPath);
    ASSERT_TRUE(key.has_value());
    key->SetDword(name, value);
  }
  static Settings Loaded() {
    Settings s;
    LoadSettings(s);
    return s;
  }
};

// --- defaults --------------------------------------------------------------------------

TEST_F(SettingsStoreTest, FreshProfileWritesToTheDocumentsFolder) {
  const Settings defaults = CreateDefaultSettings();
  EXPECT_EQ(defaults.DestOutputFolderOpt, kOutputToCustomFolder);
  EXPECT_EQ(defaults.DestSpecifiedFolder, home_ + "/Documents");
  EXPECT_TRUE(std::filesystem::is_directory(home_ + "/Documents"));

  // As many files at once as the machine has cores, within 1..64.
  const int cores = Cores();
  EXPECT_EQ(defaults.FilesAtOnce, cores);

  Settings expected;  // Everything else is the plain record's default.
  expected.DestOutputFolderOpt = kOutputToCustomFolder;
  expected.DestSpecifiedFolder = home_ + "/Documents";
  expected.FilesAtOnce = cores;
  EXPECT_EQ(defaults, expected);

  Settings loaded = defaults;
  LoadSettings(loaded);
  EXPECT_EQ(loaded, defaults);
  EXPECT_FALSE(std::filesystem::exists(OptionsFile()));  // Loading writes nothing.
}

TEST_F(SettingsStoreTest, WithoutADocumentsFolderOutputGoesBesideTheSource) {
  WriteBytes(root_ + "/not-a-folder", "x");
  setenv("HOME", (root_ + "/not-a-folder").c_str(), 1);
  const Settings defaults = CreateDefaultSettings();
  EXPECT_EQ(defaults.DestOutputFolderOpt, kOutputToSourceFolder);
  EXPECT_EQ(defaults.DestSpecifiedFolder, "");
}

// --- round trip and layout -------------------------------------------------------------

TEST_F(SettingsStoreTest, EveryFieldSurvivesSaveAndLoad) {
  const Settings saved = NonDefaultSettings();
  ASSERT_EQ(SaveSettings(saved, kSaveEverything), 1);
  Settings loaded;
  LoadSettings(loaded);
  EXPECT_EQ(loaded, saved);
  EXPECT_EQ(loaded.Folder.size(), saved.Folder.size());  // Long paths are not cut short.
  EXPECT_EQ(loaded.Mp3Tags.Comment, saved.Mp3Tags.Comment);
}

TEST_F(SettingsStoreTest, ValuesAreStoredUnderTheirNamesAndTypes) {
  ASSERT_EQ(SaveSettings(NonDefaultSettings(), kSaveEverything), 1);
  auto key = RegistryKey::Open("Software\\Quillmark\\Sonorell\\Options");
  ASSERT_TRUE(key.has_value());
  for (const char* name : kNumberNames) EXPECT_TRUE(key->QueryDword(name).has_value()) << name;
  for (const char* name : kTextNames) EXPECT_TRUE(key->QueryString(name).has_value()) << name;
  EXPECT_EQ(key->QueryDword("AmplifyAMRCoef"), 0xFFFFFFF9u);  // -7 as 32 bits

  for (const char* family : kTagFamilies) {
    auto tags =
        RegistryKey::Open(std::string("Software\\Quillmark\\Sonorell\\Options\\") + family + "Tag");
    ASSERT_TRUE(tags.has_value()) << family;
    for (const char* name : {"TitleAsFileName", "TrackNumType", "CustomTrackNum"}) {
      EXPECT_TRUE(tags->QueryDword(name).has_value()) << family << name;
    }
    for (const char* name :
         {"Title", "Artist", "Album", "Year", "Genre", "Comment", "Composer", "Copyright"}) {
      EXPECT_TRUE(tags->QueryString(name).has_value()) << family << name;
    }
  }
}

TEST_F(SettingsStoreTest, AllOnesReadsAsMinusOne) {
  StoreNumber("MP3BitRate", 0xFFFFFFFFu);
  StoreNumber("CreateDirs", 0x80000000u);
  const Settings s = Loaded();
  EXPECT_EQ(s.MP3BitRate, -1);
  EXPECT_EQ(s.CreateDirs, INT32_MIN);
}

// --- corrections on load ---------------------------------------------------------------

struct Correction {
  const char* name;
  uint32_t stored;
  int Settings::*field;
  int expected;
};

TEST_F(SettingsStoreTest, OutOfRangeValuesAreCorrectedOnLoad) {
  const Correction cases[] = {
      {"MP3ChannelMode", 2, &Settings::MP3ChannelMode, 1},
      {"MP3ChannelMode", 5, &Settings::MP3ChannelMode, 1},
      {"MP3ChannelMode", 0, &Settings::MP3ChannelMode, 0},
      {"MP3ChannelMode", 3, &Settings::MP3ChannelMode, 3},
      {"MP3ChannelMode", 4, &Settings::MP3ChannelMode, 4},
      {"WAVChannelNum", 7, &Settings::WAVChannelNum, 2},
      {"WAVChannelNum", 0xFFFFFFFFu, &Settings::WAVChannelNum, 2},
      {"WAVChannelNum", 0, &Settings::WAVChannelNum, 0},
      {"WMAChannels", 0, &Settings::WMAChannels, 2},
      {"WMAChannels", 1, &Settings::WMAChannels, 1},
      {"WMAChannels", 3, &Settings::WMAChannels, 2},
      {"WMAID3TagType", 3, &Settings::WMAID3TagType, 2},
      {"WMAID3TagType", 0xFFFFFFFFu, &Settings::WMAID3TagType, 2},
      {"WMAID3TagType", 0, &Settings::WMAID3TagType, 0},
      {"M4AID3TagType", 3, &Settings::M4AID3TagType, 2},
      {"M4AID3TagType", 0xFFFFFFFFu, &Settings::M4AID3TagType, 2},
      {"M4AID3TagType", 0, &Settings::M4AID3TagType, 0},
      {"OGGChannels", 3, &Settings::OGGChannels, 2},
      {"OGGChannels", 0, &Settings::OGGChannels, 0},
      {"AmplifyMp3Coeff", 5, &Settings::AmplifyMp3Coeff, 10},
      {"AmplifyMp3Coeff", 5000, &Settings::AmplifyMp3Coeff, 3000},
      {"AmplifyMp3Coeff", 0xFFFFFFFFu, &Settings::AmplifyMp3Coeff, 10},
      {"AmplifyWavCoeff", 9, &Settings::AmplifyWavCoeff, 10},
      {"AmplifyWavCoeff", 3001, &Settings::AmplifyWavCoeff, 3000},
      {"AmplifyWMACoeff", 0, &Settings::AmplifyWMACoeff, 10},
      {"AmplifyWMACoeff", 3000, &Settings::AmplifyWMACoeff, 3000},
      {"AmplifyOGGCoeff", 1, &Settings::AmplifyOGGCoeff, 10},
      {"AmplifyOGGCoeff", 99999, &Settings::AmplifyOGGCoeff, 3000},
      {"AmplifyAACCoef", 5, &Settings::AmplifyAACCoef, 5},
      {"AmplifyM4ACoef", 5000, &Settings::AmplifyM4ACoef, 5000},
      {"AmplifyAMRCoef", 5, &Settings::AmplifyAMRCoef, 5},
      {"OGGBitRate", 192000, &Settings::OGGBitRate, 192},
      {"OGGBitRate", 1000, &Settings::OGGBitRate, 1000},
      {"OGGBitRate", 1001, &Settings::OGGBitRate, 1},
      {"OGGBitRate", 1999, &Settings::OGGBitRate, 1},
      {"MP3BitRate", 192000, &Settings::MP3BitRate, 192000},
      {"FilesAtOnce", 1, &Settings::FilesAtOnce, 1},
      {"FilesAtOnce", 64, &Settings::FilesAtOnce, 64},
      {"FilesAtOnce", 65, &Settings::FilesAtOnce, 64},
      {"FilesAtOnce", 0x7FFFFFFFu, &Settings::FilesAtOnce, 64},
      {"FilesAtOnce", 0, &Settings::FilesAtOnce, Cores()},
      {"FilesAtOnce", 0xFFFFFFFFu, &Settings::FilesAtOnce, Cores()},
      {"FilesAtOnce", 0x80000000u, &Settings::FilesAtOnce, Cores()},
      {"FLACCompression", 9, &Settings::FLACCompression, 5},
      {"FLACCompression", 0, &Settings::FLACCompression, 0},
      {"OpusBitRate", 5, &Settings::OpusBitRate, 0},
      {"OpusBitRate", 511, &Settings::OpusBitRate, 0},
      {"OpusBitRate", 6, &Settings::OpusBitRate, 6},
      {"OpusRateControl", 3, &Settings::OpusRateControl, 0},
      {"OpusComplexity", 0xFFFFFFFFu, &Settings::OpusComplexity, 10},
      {"OpusComplexity", 0, &Settings::OpusComplexity, 0},
  };
  for (const Correction& c : cases) {
    StoreNumber(c.name, c.stored);
    EXPECT_EQ(Loaded().*c.field, c.expected) << c.name << " stored as " << c.stored;
  }
}

TEST(FilesAtOnceTest, UnsetOrOutOfRangeCountsAreUsedWithinTheRange) {
  EXPECT_EQ(EffectiveFilesAtOnce(Settings()), Cores());  // The plain record leaves it unset.
  const struct {
    int stored;
    int used;
  } cases[] = {
      {1, 1}, {7, 7}, {64, 64}, {65, 64}, {INT32_MAX, 64}, {-1, Cores()}, {INT32_MIN, Cores()}};
  for (const auto& c : cases) {
    Settings s;
    s.FilesAtOnce = c.stored;
    EXPECT_EQ(EffectiveFilesAtOnce(s), c.used) << c.stored;
  }
}

// --- extension filter ------------------------------------------------------------------

TEST_F(SettingsStoreTest, FilterKeepsEveryPieceBetweenCommas) {
  Settings s;
  s.EnableExtFilter = 1;
  s.FilterExts = "mp3,WAV,,m4a";
  BuildExtensionFilter(s);
  EXPECT_EQ(s.ExtensionFilter, (std::vector<std::string>{"mp3", "wav", "", "m4a"}));

  s.FilterExts = "FLAC,";
  BuildExtensionFilter(s);
  EXPECT_EQ(s.ExtensionFilter, (std::vector<std::string>{"flac", ""}));

  s.FilterExts = " Mp3 ,ÄAC";
  BuildExtensionFilter(s);
  EXPECT_EQ(s.ExtensionFilter, (std::vector<std::string>{" mp3 ", "Äac"}));

  s.EnableExtFilter = 0;
  BuildExtensionFilter(s);
  EXPECT_TRUE(s.ExtensionFilter.empty());
}

TEST_F(SettingsStoreTest, LoadingRebuildsTheFilter) {
  {
    auto key = RegistryKey::Create(kOptionsKeyPath);
    key->SetDword("EnableExtFilter", 1);
    key->SetString("FilterExts", "mp3,WAV,,m4a");
  }
  EXPECT_EQ(Loaded().ExtensionFilter, (std::vector<std::string>{"mp3", "wav", "", "m4a"}));

  StoreNumber("EnableExtFilter", 0);
  Settings stale;
  stale.ExtensionFilter = {"old"};
  LoadSettings(stale);
  EXPECT_TRUE(stale.ExtensionFilter.empty());
}

// --- first run -------------------------------------------------------------------------

TEST_F(SettingsStoreTest, HelpOpensOnTheFirstStartOnly) {
  int opened = 0;
  const auto openHelp = [&opened] { ++opened; };
  EXPECT_TRUE(HandleFirstRun(openHelp));
  EXPECT_EQ(opened, 1);
  EXPECT_FALSE(HandleFirstRun(openHelp));
  EXPECT_FALSE(HandleFirstRun(openHelp));
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(RegistryKey::Open(kOptionsKeyPath)->QueryDword("FirstRun"), 0u);
}

TEST_F(SettingsStoreTest, FirstRunKeepsTheOtherOptions) {
  ASSERT_EQ(SaveSettings(NonDefaultSettings(), kSaveEverything), 1);
  StoreNumber("FirstRun", 5);  // Any non-zero value still means "not started before".
  int opened = 0;
  EXPECT_TRUE(HandleFirstRun([&opened] { ++opened; }));
  EXPECT_EQ(opened, 1);
  EXPECT_EQ(Loaded(), NonDefaultSettings());
}

TEST_F(SettingsStoreTest, AnUnwritableStoreOpensHelpEveryTime) {
  WriteBytes(root_ + "/plainfile", "x");
  setenv("XDG_CONFIG_HOME", (root_ + "/plainfile/config").c_str(), 1);
  int opened = 0;
  EXPECT_TRUE(HandleFirstRun([&opened] { ++opened; }));
  EXPECT_TRUE(HandleFirstRun([&opened] { ++opened; }));
  EXPECT_EQ(opened, 2);
  EXPECT_TRUE(HandleFirstRun(nullptr));  // No opener given: nothing to call, no crash.
}

// --- which groups are written ----------------------------------------------------------

TEST_F(SettingsStoreTest, AnEmptyMaskWritesNothing) {
  EXPECT_EQ(SaveSettings(NonDefaultSettings(), 0), 0);
  EXPECT_FALSE(std::filesystem::exists(StoreFolder()));
}

TEST_F(SettingsStoreTest, FormatGroupWritesOnlyFormatAndPage) {
  ASSERT_EQ(SaveSettings(NonDefaultSettings(), kSaveFormatAndPage), 1);
  auto key = RegistryKey::Open(kOptionsKeyPath);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->QueryDword("OutputFormat"), 1003u);
  EXPECT_EQ(key->QueryDword("OptStartPageIndex"), 4u);
  EXPECT_FALSE(key->QueryDword("MP3BitRate").has_value());
  EXPECT_FALSE(key->QueryDword("DestOutputFolderOpt").has_value());
  EXPECT_FALSE(key->QueryString("Folder").has_value());
  EXPECT_FALSE(key->QueryString("FilterExts").has_value());
  EXPECT_FALSE(RegistryKey::Open(TagKey("MP3")).has_value());
}

TEST_F(SettingsStoreTest, FolderGroupWritesOnlyTheFolder) {
  ASSERT_EQ(SaveSettings(NonDefaultSettings(), kSaveFolder), 1);
  auto key = RegistryKey::Open(kOptionsKeyPath);
  ASSERT_TRUE(key.has_value());
  EXPECT_EQ(key->QueryString("Folder"), NonDefaultSettings().Folder);
  EXPECT_FALSE(key->QueryDword("OutputFormat").has_value());
  EXPECT_FALSE(key->QueryString("DestSpecifiedFolder").has_value());
  EXPECT_FALSE(key->QueryDword("AMRMode").has_value());
  EXPECT_FALSE(RegistryKey::Open(TagKey("OGG")).has_value());
}

TEST_F(SettingsStoreTest, OptionsGroupWritesEverythingElse) {
  const Settings saved = NonDefaultSettings();
  ASSERT_EQ(SaveSettings(saved, kSaveOptions), 1);
  auto key = RegistryKey::Open(kOptionsKeyPath);
  ASSERT_TRUE(key.has_value());
  EXPECT_FALSE(key->QueryString("Folder").has_value());
  EXPECT_FALSE(key->QueryDword("OutputFormat").has_value());
  EXPECT_FALSE(key->QueryDword("OptStartPageIndex").has_value());
  EXPECT_EQ(key->QueryDword("MP3BitRate"), 320u);
  EXPECT_EQ(key->QueryString("DestSpecifiedFolder"), saved.DestSpecifiedFolder);

  Settings expected = saved;  // Loaded over plain defaults, the other groups stay default.
  expected.Folder = Settings().Folder;
  expected.OutputFormat = Settings().OutputFormat;
  expected.OptStartPageIndex = Settings().OptStartPageIndex;
  EXPECT_EQ(Loaded(), expected);
}

TEST_F(SettingsStoreTest, SavingOneGroupKeepsTheOthersStored) {
  const Settings first = NonDefaultSettings();
  ASSERT_EQ(SaveSettings(first, kSaveEverything), 1);
  Settings second = first;
  second.OutputFormat = 1007;
  second.MP3BitRate = 64;
  second.Folder = "/elsewhere";
  ASSERT_EQ(SaveSettings(second, kSaveFormatAndPage), 1);

  Settings expected = first;
  expected.OutputFormat = 1007;
  EXPECT_EQ(Loaded(), expected);
}

// --- wrong types and damaged stores ----------------------------------------------------

TEST_F(SettingsStoreTest, WronglyTypedValuesKeepTheirDefaults) {
  {
    auto key = RegistryKey::Create(kOptionsKeyPath);
    key->SetString("MP3BitRate", "192");
    key->SetString("MP3ChannelMode", "2");
    key->SetDword("Folder", 7);
    key->SetDword("FilterExts", 1);
    key->SetDword("WAVSampleRate", 22050);
  }
  {
    auto tags = RegistryKey::Create(TagKey("MP3"));
    tags->SetDword("Title", 5);
    tags->SetString("TrackNumType", "2");
    tags->SetString("Artist", "Someone");
  }
  Settings expected;
  expected.WAVSampleRate = 22050;
  expected.Mp3Tags.Artist = "Someone";
  EXPECT_EQ(Loaded(), expected);
}

TEST_F(SettingsStoreTest, ADamagedOptionsFileIsSetAsideAndDefaultsLoad) {
  for (const std::string& damage :
       {std::string("garbage\n"), std::string("REGKEY 1\ndword \"MP3BitRate\" 3"),
        std::string("\x7f"
                    "ELF\0\0\0\x01\x02",
                    9)}) {
    WriteBytes(OptionsFile(), damage);
    Settings s;
    s.MP3BitRate = 99;  // Anything already in the record stays.
    LoadSettings(s);
    Settings expected;
    expected.MP3BitRate = 99;
    EXPECT_EQ(s, expected);
    EXPECT_FALSE(std::filesystem::exists(OptionsFile()));
    const auto bad = FilesStartingWith(StoreFolder(), "Options.reg.bad-");
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_EQ(ReadBytes(StoreFolder() + "/" + bad.front()), damage);
    std::filesystem::remove(StoreFolder() + "/" + bad.front());
  }
  // The next save starts a clean store.
  ASSERT_EQ(SaveSettings(NonDefaultSettings(), kSaveEverything), 1);
  EXPECT_EQ(Loaded(), NonDefaultSettings());
}

TEST_F(SettingsStoreTest, ADamagedTagSetLeavesTheOtherSetsLoading) {
  const Settings saved = NonDefaultSettings();
  ASSERT_EQ(SaveSettings(saved, kSaveEverything), 1);
  const std::string tagFile = StoreFolder() + "/Options/WMATag.reg";
  const std::string good = ReadBytes(tagFile);
  WriteBytes(tagFile, good.substr(0, good.size() / 2));

  Settings expected = saved;
  expected.WmaTags = TagDefaults();
  EXPECT_EQ(Loaded(), expected);
  EXPECT_EQ(FilesStartingWith(StoreFolder() + "/Options", "WMATag.reg.bad-").size(), 1u);
}

TEST_F(SettingsStoreTest, ASaveThatFailsHalfWayLeavesTheOldStore) {
  const Settings first = NonDefaultSettings();
  ASSERT_EQ(SaveSettings(first, kSaveEverything), 1);
  const std::string options = ReadBytes(OptionsFile());
  const std::string mp3Tags = ReadBytes(StoreFolder() + "/Options/MP3Tag.reg");

  Settings second = CreateDefaultSettings();
  second.Mp3Tags.Comment = std::string(20000, 'z');
  {
    sonorell::testing::FileSizeLimit limit(64);
    EXPECT_EQ(SaveSettings(second, kSaveEverything), 1);
  }
  EXPECT_EQ(ReadBytes(OptionsFile()), options);
  EXPECT_EQ(ReadBytes(StoreFolder() + "/Options/MP3Tag.reg"), mp3Tags);
  EXPECT_TRUE(FilesStartingWith(StoreFolder(), "Options.reg.tmp").empty());
  EXPECT_TRUE(FilesStartingWith(StoreFolder() + "/Options", "MP3Tag.reg.tmp").empty());
  EXPECT_EQ(Loaded(), first);
}

TEST_F(SettingsStoreTest, AStoreThatCannotBeCreatedIsSilent) {
  WriteBytes(root_ + "/plainfile", "x");
  setenv("XDG_CONFIG_HOME", (root_ + "/plainfile").c_str(), 1);
  EXPECT_EQ(SaveSettings(NonDefaultSettings(), kSaveEverything), 1);
  EXPECT_EQ(SaveTagDefaults(NonDefaultTags("x"), "MP3"), 0);
  TagDefaults tags = NonDefaultTags("kept");
  EXPECT_EQ(LoadTagDefaults(tags, "MP3"), 0);
  EXPECT_EQ(tags, NonDefaultTags("kept"));
  EXPECT_EQ(ReadBytes(root_ + "/plainfile"), "x");
}

// --- tag sets --------------------------------------------------------------------------

TEST_F(SettingsStoreTest, TagSetsRoundTripPerFamily) {
  ASSERT_EQ(SaveTagDefaults(NonDefaultTags("one"), "OGG"), 1);
  ASSERT_EQ(SaveTagDefaults(NonDefaultTags("two"), "M4A"), 1);
  TagDefaults ogg, m4a, wma;
  EXPECT_EQ(LoadTagDefaults(ogg, "OGG"), 1);
  EXPECT_EQ(LoadTagDefaults(m4a, "M4A"), 1);
  EXPECT_EQ(LoadTagDefaults(wma, "WMA"), 0);
  EXPECT_EQ(ogg, NonDefaultTags("one"));
  EXPECT_EQ(m4a, NonDefaultTags("two"));
  EXPECT_EQ(wma, TagDefaults());
}

TEST_F(SettingsStoreTest, EmptyOrMissingTagTextsLoadAsEmpty) {
  {
    auto key = RegistryKey::Create(TagKey("MP3"));
    key->SetString("Title", "");
    key->SetString("Artist", "A");
    key->SetDword("CustomTrackNum", 9);
  }
  TagDefaults tags = NonDefaultTags("old");
  EXPECT_EQ(LoadTagDefaults(tags, "MP3"), 1);
  TagDefaults expected = NonDefaultTags("old");
  expected.Title = "";
  expected.Artist = "A";
  expected.Album = expected.Year = expected.Genre = expected.Comment = "";
  expected.Composer = expected.Copyright = expected.CoverPicture = "";
  expected.CustomTrackNum = 9;  // Numbers change only when stored.
  EXPECT_EQ(tags, expected);
}

TEST_F(SettingsStoreTest, AFamilyNameCannotReachOutsideTheOptionsKey) {
  TagDefaults tags;
  EXPECT_EQ(SaveTagDefaults(tags, ""), 0);
  EXPECT_EQ(SaveTagDefaults(tags, "..\\..\\Evil"), 0);
  EXPECT_EQ(LoadTagDefaults(tags, "MP3\\Deeper"), 0);
  EXPECT_FALSE(std::filesystem::exists(StoreFolder()));
}

TEST_F(SettingsStoreTest, TextsEndAtAZeroByte) {
  Settings s;
  s.Folder = std::string("/music\0hidden", 13);
  ASSERT_EQ(SaveSettings(s, kSaveFolder), 1);
  EXPECT_EQ(Loaded().Folder, "/music");
}

}  // namespace
}  // namespace sonorell
