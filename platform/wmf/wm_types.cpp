#include "platform/wmf/wm_types.h"

namespace platform::wm {

WM_MEDIA_TYPE PcmMediaType(int channels, int sampleRate, int bitsPerSample) {
  WM_MEDIA_TYPE type;
  type.majortype = MajorType::kAudio;
  type.subtype = WaveFormatSubtype(WAVE_FORMAT_PCM);
  type.bFixedSizeSamples = true;
  type.bTemporalCompression = false;
  type.hasWaveFormat = true;
  WAVEFORMATEX& w = type.wave;
  w.wFormatTag = WAVE_FORMAT_PCM;
  w.nChannels = static_cast<uint16_t>(channels);
  w.nSamplesPerSec = static_cast<uint32_t>(sampleRate);
  w.wBitsPerSample = static_cast<uint16_t>(bitsPerSample);
  w.nBlockAlign = static_cast<uint16_t>(bitsPerSample * channels / 8);
  w.nAvgBytesPerSec = w.nBlockAlign * w.nSamplesPerSec;
  w.cbSize = 0;
  type.lSampleSize = w.nBlockAlign;
  return type;
}

}  // namespace platform::wm
