#pragma once

namespace sonorell {

// The help shipped beside the program: the main page, and a page of its own for each
// section a question of the program sends the user to, so that every opener shows that
// section (some drop the "#section" of a file address).
inline constexpr const char* kHelpFileName = "sonorell.html";
inline constexpr const char* kWmRuntimeHelpPage = "sonorell-windows-media.html";
inline constexpr const char* kSoundFontHelpPage = "sonorell-sound-font.html";

}  // namespace sonorell
