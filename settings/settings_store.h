#pragma once

#include <functional>
#include <string>

#include "settings/settings.h"
#include "settings/tag_defaults.h"

namespace sonorell {

// Where the options live in the per-user store; tag sets are sub-keys "<family>Tag".
inline constexpr char kOptionsKeyPath[] = "Software\\Quillmark\\Sonorell\\Options";

// Groups of SaveSettings; bits combine.
inline constexpr unsigned kSaveFormatAndPage = 0x10;  // OutputFormat, OptStartPageIndex
inline constexpr unsigned kSaveFolder = 0x4;          // Folder
inline constexpr unsigned kSaveOptions = 0x8;         // everything else, tag sets included
inline constexpr unsigned kSaveEverything = kSaveFormatAndPage | kSaveFolder | kSaveOptions;

// The record's defaults, with the output going to the user's documents folder (created when
// missing) when one is known, else beside each source file.
Settings CreateDefaultSettings();

// Overwrites each field whose value is stored, correcting out-of-range values, then loads
// the four tag sets and rebuilds ExtensionFilter. A missing options key changes nothing.
void LoadSettings(Settings& settings);

// Writes the groups named by mask. 1 when it ran (even if the store could not be written),
// 0 when mask is 0.
int SaveSettings(const Settings& settings, unsigned mask);

// family is MP3, OGG, WMA or M4A. 1 on success, 0 when the sub-key cannot be opened/created.
int LoadTagDefaults(TagDefaults& tags, const std::string& family);
int SaveTagDefaults(const TagDefaults& tags, const std::string& family);

// ExtensionFilter = lower-cased FilterExts split at every comma (empty pieces kept) when
// EnableExtFilter is on, else empty.
void BuildExtensionFilter(Settings& settings);

// True on the first start (or whenever the store cannot be written); then openHelp is called
// and the start is recorded so the next one is not a first start.
bool HandleFirstRun(const std::function<void()>& openHelp);

}  // namespace sonorell
