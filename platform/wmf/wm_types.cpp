#include "platform/wmf/wm_types.h"

namespace platform::wm {

WM_MEDIA_TYPE AudioMediaType(const WAVEFORMATEX& wave) {
  WM_MEDIA_TYPE type;
  type.majortype = MajorType::kAudio;
  type.subtype = WaveFormatSubtype(wave.wFormatTag);
  type.bFixedSizeSamples = true;
  type.bTemporalCompression = false;
  type.hasWaveFormat = true;
  type.wave = wave;
  type.lSampleSize = wave.nBlockAlign;
  return type;
}

WM_MEDIA_TYPE PcmMediaType(int channels, int sampleRate, int bitsPerSample) {
  WAVEFORMATEX w;
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = static_cast<uint16_t>(channels);
  w.nSamplesPerSec = static_cast<uint32_t>(sampleRate);
  w.wBitsPerSample = static_cast<uint16_t>(bitsPerSample);
  w.nBlockAlign = static_cast<uint16_t>(bitsPerSample * channels / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * w.nSamplesPerSec;
  return AudioMediaType(w);
}

}  // namespace platform::wm
