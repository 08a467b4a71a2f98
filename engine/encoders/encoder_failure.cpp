#include "engine/encoders/encoder_failure.h"

#include "engine/sources/failure_note.h"

namespace sonorell {

void NoteEncoderFailure(const std::string& encoder, EncoderFailure failure) {
  const char* what = failure == EncoderFailure::kNotStarted ? " encoder could not be started"
                     : failure == EncoderFailure::kOnTheAudio
                         ? " encoder failed on the audio"
                         : " encoder failed at the end of the audio";
  SetFailureNote("the " + encoder + what);
}

}  // namespace sonorell
