#include "engine/sources/audio_source.h"

#include <array>

namespace sonorell {

int AudioSource::ReadWide(int32_t* left, int32_t* right) {
  std::array<int16_t, BlockFrames> l{};
  std::array<int16_t, BlockFrames> r{};
  const bool stereo = GetOutputChannels() == 2 && right != nullptr;
  const int frames = Read(l.data(), stereo ? r.data() : nullptr);
  if (left == nullptr || frames <= 0 || frames > BlockFrames) return frames;
  const auto widen = [&](const std::array<int16_t, BlockFrames>& in, int32_t* out) {
    if (GetBitsPerSample() == 8) {
      const auto* bytes = reinterpret_cast<const uint8_t*>(in.data());
      for (int i = 0; i < frames; ++i) out[i] = (bytes[i] - 128) * 256;
    } else {
      for (int i = 0; i < frames; ++i) out[i] = in[static_cast<size_t>(i)];
    }
  };
  widen(l, left);
  if (stereo) widen(r, right);
  return frames;
}

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
