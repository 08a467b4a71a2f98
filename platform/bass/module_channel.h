#pragma once

#include <memory>
#include <string>

#include "platform/bass/bass_channel.h"

namespace platform::bass {

// A tracker module (MOD, XM, IT, S3M, MTM, UMX, MO3 and whatever else libopenmpt reads)
// rendered once through to its end at rate Hz, stereo 16-bit. Null with error set to a
// BASS error code when the file is no module libopenmpt can play.
std::unique_ptr<Channel> OpenModuleChannel(const std::string& path, uint32_t rate, bool ramping,
                                           int& error);

// True when libopenmpt takes the file for a module it can load.
bool LooksLikeModule(const std::string& path);

}  // namespace platform::bass
