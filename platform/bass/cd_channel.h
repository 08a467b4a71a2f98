#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/bass/bass_channel.h"

namespace platform::bass {

// The track number of a CD audio track file: the 44-byte ".cda" stub that stands for a
// track of the disc in the drive ("RIFF", size, "CDDA", "fmt " chunk with the track number).
// nullopt for any other file.
std::optional<int> CdaTrackNumber(const std::string& path);

// That track read from the CD drive through cdparanoia's verified reading: 44100 Hz stereo
// 16-bit. Null with error BASS_ERROR_FILEOPEN when there is no drive or no audio disc in it,
// BASS_ERROR_FILEFORM when the disc has no such audio track.
std::unique_ptr<Channel> OpenCdChannel(int track, int& error);

}  // namespace platform::bass
