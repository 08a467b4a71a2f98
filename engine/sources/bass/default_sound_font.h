#pragma once

#include <string>

namespace sonorell {

// The sound font shipped beside the program.
inline constexpr char kSoundFontFileName[] = "ct4mgm.sf2";
// General MIDI fonts the system may have: the small one Sonorell depends on, then whichever
// one the system has chosen as its default.
inline constexpr const char* kSystemSoundFonts[] = {"/usr/share/sounds/sf2/TimGM6mb.sf2",
                                                    "/usr/share/sounds/sf2/default-GM.sf2"};

// Makes a sound font the default of every MIDI stream: "ct4mgm.sf2" in the given folder (the
// shipped files' folder) or in the user's data folder when it is there and loads, else the
// system's General MIDI font. True once one is set.
bool LoadDefaultSoundFont(const std::string& programFolderPath);

}  // namespace sonorell
