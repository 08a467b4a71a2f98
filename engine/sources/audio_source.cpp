#include "engine/sources/audio_source.h"

namespace sonorell {

void AudioSource::ResetProperties() {
  length_ = 0;
  position_ = 0;
  duration_ = 0;
  sampleRate_ = 0;
  channels_ = 0;
  outputChannels_ = 0;
  bitsPerSample_ = 0;
  bytesPerSample_ = 0;
  bitrate_ = 0;
  channelMode_ = 4;
  dataEnd_ = DataEnd::kEnd;
  tagTextReplaced_ = false;
}

void AudioSource::SetFormat(int channels, int bitsPerSample, int sampleRate) {
  channels_ = channels;
  outputChannels_ = channels < 2 ? 1 : 2;
  bitsPerSample_ = bitsPerSample;
  bytesPerSample_ = bitsPerSample / 8;
  sampleRate_ = sampleRate;
}

}  // namespace sonorell
