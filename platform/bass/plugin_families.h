#pragma once

#include <string>

namespace platform::bass {

// The decoder family that a BASS plug-in file name stands for (compared without regard to
// case, folder ignored): CD audio, FLAC, WMA, WavPack, AAC, ADX, ALAC, Monkey's Audio,
// Musepack, Speex, TTA. -1 for a name no family goes by.
int PluginFamily(const std::string& pluginPath);

// Whether this build decodes that family: the demuxer and decoder FFmpeg needs for it are
// present (CD audio is read through libcdio-paranoia, which the build always has).
bool FamilyAvailable(int family);

}  // namespace platform::bass
