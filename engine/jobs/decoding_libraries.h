#pragma once

#include <string>

namespace sonorell {

// Starts the decoding library on its no-sound device at 44100 Hz and loads its decoder
// families. False with a message when the library is not the version this program was
// built for, or cannot start; nothing then decodes through it.
bool StartDecodingLibraries(std::string& error);

// Releases the decoder families and the library, in that order.
void StopDecodingLibraries();

}  // namespace sonorell
