#pragma once

#include <string>

namespace platform {

// The folder of the running program, ending in "/"; files shipped beside the program
// (help, sound font) are looked up there. Empty when it cannot be determined.
std::string ProgramFolder();

// The folder of the files shipped with the program (help pages, the MIDI sound font),
// ending in "/": beside the program in a build tree, else the installed data folder
// "../share/sonorell/" beside the program's bin/ folder. Never a fixed system path, so an
// installed copy never stands in for the build tree's files.
std::string ShippedFilesFolder();

// The user's own data folder of the program, ending in "/": $XDG_DATA_HOME/sonorell/, by
// default ~/.local/share/sonorell/. Files a user adds without root (a sound font) go there.
// Empty when neither variable gives a folder.
std::string UserDataFolder();

}  // namespace platform
