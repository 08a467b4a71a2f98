#include "settings/settings_store.h"

#include <cstdint>
#include <iterator>
#include <optional>

#include "platform/desktop/documents_folder.h"
#include "platform/registry/registry_key.h"
#include "settings/files_at_once.h"
#include "settings/settings_fields.h"

namespace sonorell {
namespace {

using settings_fields::Field;
using settings_fields::Fix;
using settings_fields::kFields;
using settings_fields::kTagFamilies;
using settings_fields::kTagNumbers;
using settings_fields::kTagTextNames;
using settings_fields::kTagTexts;
using settings_fields::TagFamily;
using settings_fields::TagNumber;

// The value read from the store, repaired as the field's table row says.
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
    case Fix::kFilesAtOnce:
      return CorrectedFilesAtOnce(value);
    case Fix::kFlacLevel:
      return (value >= 0 && value <= 8) ? value : 5;
    case Fix::kOpusBitRate:
      return (value == 0 || (value >= 6 && value <= 510)) ? value : 0;
    case Fix::kRateControl012:
      return (value >= 0 && value <= 2) ? value : 0;
    case Fix::kComplexity:
      return (value >= 0 && value <= 10) ? value : 10;
  }
  return value;
}

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
  settings.FilesAtOnce = DefaultFilesAtOnce();
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
