#include "engine/encoders/ogg_stream_serial.h"

#include <mutex>

namespace sonorell {

int OggSerialSequence::Next() {
  state_ = state_ * 214013u + 2531011u;
  return static_cast<int>((state_ >> 16) & 0x7FFF);
}

int NextOggStreamSerial() {
  // One sequence for the whole process, safe to draw from on any thread.
  static std::mutex guard;
  static OggSerialSequence sequence;
  const std::lock_guard<std::mutex> lock(guard);
  return sequence.Next();
}

}  // namespace sonorell
