#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/bass/bass_channel.h"

namespace platform::bass {

// A standard MIDI file rendered by FluidSynth at rate Hz, stereo 16-bit, with the given
// sound fonts (the first one wins where several hold the same preset). The stream lasts
// exactly the song's playing time from its tempo map; notes still sounding at the end are
// cut there. Null with error set to a BASS error code when the file cannot be rendered.
std::unique_ptr<Channel> OpenMidiChannel(const std::string& path, uint32_t rate,
                                         const std::vector<std::string>& soundFonts, int& error);

// True when the file is a SoundFont 2 that FluidSynth can load.
bool IsSoundFont(const std::string& path);

// The rates FluidSynth renders at.
inline constexpr uint32_t kMinMidiRate = 8000;
inline constexpr uint32_t kMaxMidiRate = 96000;

}  // namespace platform::bass
