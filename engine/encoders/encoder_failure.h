#pragma once

#include <string>

namespace sonorell {

// Where a codec library gave up on a file.
enum class EncoderFailure { kNotStarted, kOnTheAudio, kAtTheEnd };

// Leaves the failure note every encoder words alike: "the MP3 encoder could not be started",
// "the FLAC encoder failed on the audio", "the Opus encoder failed at the end of the audio".
void NoteEncoderFailure(const std::string& encoder, EncoderFailure failure);

}  // namespace sonorell
