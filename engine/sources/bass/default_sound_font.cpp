#include "engine/sources/bass/default_sound_font.h"

#include <vector>

#include "platform/bass/bass.h"
#include "platform/desktop/program_folder.h"

namespace sonorell {
namespace {

bool InstallFont(const std::string& path) {
  const platform::HSOUNDFONT font = platform::BASS_MIDI_FontInit(path.c_str(), 0);
  if (font == 0) return false;
  const platform::BASS_MIDI_FONT entry{font, -1, 0};
  if (platform::BASS_MIDI_StreamSetFonts(0, &entry, 1)) return true;
  platform::BASS_MIDI_FontFree(font);
  return false;
}

}  // namespace

bool LoadDefaultSoundFont(const std::string& programFolderPath) {
  std::vector<std::string> candidates;
  if (!programFolderPath.empty()) {
    std::string folder = programFolderPath;
    if (folder.back() != '/') folder += '/';
    candidates.push_back(folder + kSoundFontFileName);
  }
  // A font the user added without root.
  if (const std::string user = platform::UserDataFolder(); !user.empty()) {
    candidates.push_back(user + kSoundFontFileName);
  }
  for (const char* path : kSystemSoundFonts) candidates.emplace_back(path);
  for (const std::string& path : candidates) {
    if (InstallFont(path)) return true;
  }
  return false;
}

}  // namespace sonorell
