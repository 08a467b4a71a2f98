#include "settings/settings_store.h"

#include <cstdint>
#include <iterator>
#include <optional>

#include "platform/desktop/documents_folder.h"
#include "platform/registry/registry_key.h"

namespace sonorell {
namespace {

// Repairs applied to a value just read, so that a hand-edited or outdated store cannot
// hand the encoders a mode they do not know.
enum class Fix {
  kNone,
  kMp3ChannelMode,  // 0, 1, 3, 4; else joint stereo
  kChannels012,     // 0 same as source, 1, 2; else stereo
  kWmaChannels,     // 1, 2; else stereo
  kTagType012,      // 0..2; else 2
  kGainPercent,     // 10..3000
  kOggBitRate,      // old stores hold bit/s: above 1000 is read as kbit/s
};

int Corrected(int value, Fix fix) {
  switch (fix) {
    case Fix::kNone:
      return value;
    case Fix::kMp3ChannelMode:
      return (value == 0 || value == 1 || value == 3 || value == 4) ? value : 1;
    case Fix::kChannels012:
      return (value >= 0 && value <= 2) ? value : 2;
    case Fix::kWmaChannels:
      return (value == 1 || value == 2) ? value : 2;
    case Fix::kTagType012:
      return (value >= 0 && value <= 2) ? value : 2;
    case Fix::kGainPercent:
      return value < 10 ? 10 : (value > 3000 ? 3000 : value);
    case Fix::kOggBitRate:
      return value > 1000 ? value / 1000 : value;
  }
  return value;
}

// One stored value: exactly one of number/text is set.
struct Field {
  const char* name;
  unsigned group;
  int Settings::*number = nullptr;
  std::string Settings::*text = nullptr;
  Fix fix = Fix::kNone;
};

constexpr unsigned kF = kSaveFormatAndPage;
constexpr unsigned kD = kSaveFolder;
constexpr unsigned kO = kSaveOptions;

// In the order the values are read and written.
const Field kFields[] = {
    {"Folder", kD, nullptr, &Settings::Folder},
    {"DestOutputFolderOpt", kO, &Settings::DestOutputFolderOpt},
    {"DestSpecifiedFolder", kO, nullptr, &Settings::DestSpecifiedFolder},
    {"CreateDirs", kO, &Settings::CreateDirs},
    {"BrowseOutputFolder", kO, &Settings::BrowseOutputFolder},
    {"OutputFiles2MyDocuments", kO, &Settings::OutputFiles2MyDocuments},
    {"TargetExistsOpt", kO, &Settings::TargetExistsOpt},
    {"MonoType", kO, &Settings::MonoType},
    {"EnableExtFilter", kO, &Settings::EnableExtFilter},
    {"FilterExts", kO, nullptr, &Settings::FilterExts},
    {"OutputFormat", kF, &Settings::OutputFormat},
    {"OptStartPageIndex", kF, &Settings::OptStartPageIndex},

    {"AutoDestMP3EncodingParam", kO, &Settings::AutoDestMP3EncodingParam},
    {"MP3BitRate", kO, &Settings::MP3BitRate},
    {"MP3SampleRate", kO, &Settings::MP3SampleRate},
    {"MP3ChannelMode", kO, &Settings::MP3ChannelMode, nullptr, Fix::kMp3ChannelMode},
    {"MP3ID3TagType", kO, &Settings::MP3ID3TagType},
    {"MP3WriteID3Version", kO, &Settings::MP3WriteID3Version},
    {"AmplifyMp3", kO, &Settings::AmplifyMp3},
    {"AmplifyMp3Coeff", kO, &Settings::AmplifyMp3Coeff, nullptr, Fix::kGainPercent},

    {"AutoDestWAVEncodingParam", kO, &Settings::AutoDestWAVEncodingParam},
    {"WAVBitsPerSample", kO, &Settings::WAVBitsPerSample},
    {"WAVSampleRate", kO, &Settings::WAVSampleRate},
    {"WAVChannelNum", kO, &Settings::WAVChannelNum, nullptr, Fix::kChannels012},
    {"AmplifyWav", kO, &Settings::AmplifyWav},
    {"AmplifyWavCoeff", kO, &Settings::AmplifyWavCoeff, nullptr, Fix::kGainPercent},

    {"AutoDestWMAEncodingParam", kO, &Settings::AutoDestWMAEncodingParam},
    {"WMABitRate", kO, &Settings::WMABitRate},
    {"WMASampleRate", kO, &Settings::WMASampleRate},
    {"WMAChannels", kO, &Settings::WMAChannels, nullptr, Fix::kWmaChannels},
    {"WMAID3TagType", kO, &Settings::WMAID3TagType, nullptr, Fix::kTagType012},
    {"AmplifyWMA", kO, &Settings::AmplifyWMA},
    {"AmplifyWMACoeff", kO, &Settings::AmplifyWMACoeff, nullptr, Fix::kGainPercent},

    {"AutoDestOGGEncodingParam", kO, &Settings::AutoDestOGGEncodingParam},
    {"OGGBitRate", kO, &Settings::OGGBitRate, nullptr, Fix::kOggBitRate},
    {"OGGSampleRate", kO, &Settings::OGGSampleRate},
    {"OGGChannels", kO, &Settings::OGGChannels, nullptr, Fix::kChannels012},
    {"OGGID3TagType", kO, &Settings::OGGID3TagType},
    {"AmplifyOGG", kO, &Settings::AmplifyOGG},
    {"AmplifyOGGCoeff", kO, &Settings::AmplifyOGGCoeff, nullptr, Fix::kGainPercent},

    {"AutoDestAACEncodingParam", kO, &Settings::AutoDestAACEncodingParam},
    {"AACVBR", kO, &Settings::AACVBR},
    {"AACVBRQuality", kO, &Settings::AACVBRQuality},
    {"AACABRBitRate", kO, &Settings::AACABRBitRate},
    {"AACMpegVersion", kO, &Settings::AACMpegVersion},
    {"AACEnableTNS", kO, &Settings::AACEnableTNS},
    {"AACEnableMidside", kO, &Settings::AACEnableMidside},
    {"AACBlockType", kO, &Settings::AACBlockType},
    {"AmplifyAAC", kO, &Settings::AmplifyAAC},
    {"AmplifyAACCoef", kO, &Settings::AmplifyAACCoef},

    {"AutoDestM4AEncodingParam", kO, &Settings::AutoDestM4AEncodingParam},
    {"M4AVBR", kO, &Settings::M4AVBR},
    {"M4AVBRQuality", kO, &Settings::M4AVBRQuality},
    {"M4AABRBitRate", kO, &Settings::M4AABRBitRate},
    {"M4AEnableTNS", kO, &Settings::M4AEnableTNS},
    {"M4AEnableMidside", kO, &Settings::M4AEnableMidside},
    {"M4ABlockType", kO, &Settings::M4ABlockType},
    {"AmplifyM4A", kO, &Settings::AmplifyM4A},
    {"AmplifyM4ACoef", kO, &Settings::AmplifyM4ACoef},
    {"M4AID3TagType", kO, &Settings::M4AID3TagType, nullptr, Fix::kTagType012},

    {"AMRMode", kO, &Settings::AMRMode},
    {"AMRWBMode", kO, &Settings::AMRWBMode},
    {"AMRDTX", kO, &Settings::AMRDTX},
    {"AMRType", kO, &Settings::AMRType},
    {"AWBMode", kO, &Settings::AWBMode},
    {"AWBDTX", kO, &Settings::AWBDTX},
    {"AmplifyAMR", kO, &Settings::AmplifyAMR},
    {"AmplifyAMRCoef", kO, &Settings::AmplifyAMRCoef},
};

std::string TagDefaults::*const kTagTexts[] = {
    &TagDefaults::Title, &TagDefaults::Artist,  &TagDefaults::Album,    &TagDefaults::Year,
    &TagDefaults::Genre, &TagDefaults::Comment, &TagDefaults::Composer, &TagDefaults::Copyright,
};
const char* const kTagTextNames[] = {"Title", "Artist",  "Album",    "Year",
                                     "Genre", "Comment", "Composer", "Copyright"};
static_assert(std::size(kTagTexts) == std::size(kTagTextNames));

struct TagNumber {
  const char* name;
  int TagDefaults::*field;
};
const TagNumber kTagNumbers[] = {
    {"TitleAsFileName", &TagDefaults::TitleAsFileName},
    {"TrackNumType", &TagDefaults::TrackNumType},
    {"CustomTrackNum", &TagDefaults::CustomTrackNum},
};

struct TagFamily {
  const char* name;
  TagDefaults Settings::*tags;
};
const TagFamily kTagFamilies[] = {
    {"MP3", &Settings::Mp3Tags},
    {"OGG", &Settings::OggTags},
    {"WMA", &Settings::WmaTags},
    {"M4A", &Settings::M4aTags},
};

constexpr char kFirstRunName[] = "FirstRun";

std::optional<std::string> TagKeyPath(const std::string& family) {
  // The family names one sub-key directly below the options key, nothing deeper.
  if (family.empty() || family.find('\\') != std::string::npos) return std::nullopt;
  return std::string(kOptionsKeyPath) + "\\" + family + "Tag";
}

// Stored texts end at their first zero byte, as the options pages would have written them.
std::string AsStoredText(const std::string& text) {
  return text.substr(0, text.find('\0'));
}

}  // namespace

Settings CreateDefaultSettings() {
  Settings settings;
  const std::optional<std::string> documents = platform::UserDocumentsFolder(true);
  if (documents && !documents->empty()) {
    settings.DestOutputFolderOpt = kOutputToCustomFolder;
    settings.DestSpecifiedFolder = *documents;
  } else {
    settings.DestOutputFolderOpt = kOutputToSourceFolder;
    settings.DestSpecifiedFolder.clear();
  }
  return settings;
}

void LoadSettings(Settings& settings) {
  {
    const std::optional<platform::RegistryKey> key = platform::RegistryKey::Open(kOptionsKeyPath);
    if (!key) return;
    for (const Field& field : kFields) {
      if (field.number) {
        if (const auto stored = key->QueryDword(field.name)) {
          // Stored as 32 bits; 0xFFFFFFFF reads back as -1.
          settings.*field.number = Corrected(static_cast<int>(*stored), field.fix);
        }
      } else if (auto stored = key->QueryString(field.name)) {
        settings.*field.text = std::move(*stored);
      }
    }
    BuildExtensionFilter(settings);
  }
  for (const TagFamily& family : kTagFamilies) LoadTagDefaults(settings.*family.tags, family.name);
}

int SaveSettings(const Settings& settings, unsigned mask) {
  if (mask == 0) return 0;
  std::optional<platform::RegistryKey> key = platform::RegistryKey::Create(kOptionsKeyPath);
  if (!key) return 1;  // Nothing can be stored; the run goes on with the values in memory.
  for (const unsigned group : {kSaveFormatAndPage, kSaveFolder, kSaveOptions}) {
    if (!(mask & group)) continue;
    for (const Field& field : kFields) {
      if (field.group != group) continue;
      if (field.number) {
        key->SetDword(field.name, static_cast<uint32_t>(settings.*field.number));
      } else {
        key->SetString(field.name, AsStoredText(settings.*field.text));
      }
    }
  }
  key->Flush();
  if (mask & kSaveOptions) {
    for (const TagFamily& family : kTagFamilies) {
      SaveTagDefaults(settings.*family.tags, family.name);
    }
  }
  return 1;
}

int LoadTagDefaults(TagDefaults& tags, const std::string& family) {
  const std::optional<std::string> path = TagKeyPath(family);
  if (!path) return 0;
  const std::optional<platform::RegistryKey> key = platform::RegistryKey::Open(*path);
  if (!key) return 0;
  for (size_t i = 0; i < std::size(kTagTexts); ++i) {
    // A missing, empty or wrongly typed text clears the field.
    tags.*kTagTexts[i] = key->QueryString(kTagTextNames[i]).value_or(std::string());
  }
  for (const TagNumber& number : kTagNumbers) {
    if (const auto stored = key->QueryDword(number.name)) {
      tags.*number.field = static_cast<int>(*stored);
    }
  }
  return 1;
}

int SaveTagDefaults(const TagDefaults& tags, const std::string& family) {
  const std::optional<std::string> path = TagKeyPath(family);
  if (!path) return 0;
  std::optional<platform::RegistryKey> key = platform::RegistryKey::Create(*path);
  if (!key) return 0;
  for (size_t i = 0; i < std::size(kTagTexts); ++i) {
    key->SetString(kTagTextNames[i], AsStoredText(tags.*kTagTexts[i]));
  }
  for (const TagNumber& number : kTagNumbers) {
    key->SetDword(number.name, static_cast<uint32_t>(tags.*number.field));
  }
  return key->Flush() ? 1 : 0;
}

void BuildExtensionFilter(Settings& settings) {
  settings.ExtensionFilter.clear();
  if (!settings.EnableExtFilter) return;
  std::string lower = settings.FilterExts;
  for (char& c : lower) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  size_t start = 0;
  while (true) {
    const size_t comma = lower.find(',', start);
    if (comma == std::string::npos) {
      settings.ExtensionFilter.push_back(lower.substr(start));
      break;
    }
    settings.ExtensionFilter.push_back(lower.substr(start, comma - start));
    start = comma + 1;
  }
}

bool HandleFirstRun(const std::function<void()>& openHelp) {
  bool first = true;
  if (std::optional<platform::RegistryKey> key = platform::RegistryKey::Create(kOptionsKeyPath)) {
    first = key->QueryDword(kFirstRunName).value_or(1) != 0;
    if (first) {
      key->SetDword(kFirstRunName, 0);
      key->Flush();
    }
  }
  if (first && openHelp) openHelp();
  return first;
}

}  // namespace sonorell
