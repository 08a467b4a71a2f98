#include "platform/wmf/wm_profile.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <span>

namespace platform::wm {
namespace {

struct CodecFormat {
  int sampleRate;
  int channels;
  int kbps;
  bool withVideo;  // also listed as an "(A/V)" format
};

// What FFmpeg's WMA encoders write well: nothing under their 24 kbit/s floor, nothing above
// 48 kHz, one or two channels. Ascending rate, then channels, then bit rate.
constexpr std::array<CodecFormat, 41> kFormats{{
    {8000, 1, 24, false},   {8000, 2, 24, false},   {8000, 2, 32, false},   {11025, 1, 24, false},
    {11025, 2, 24, false},  {11025, 2, 32, false},  {16000, 1, 24, false},  {16000, 1, 32, false},
    {16000, 2, 24, false},  {16000, 2, 32, true},   {16000, 2, 40, false},  {22050, 1, 24, false},
    {22050, 1, 32, true},   {22050, 2, 24, false},  {22050, 2, 32, true},   {22050, 2, 40, false},
    {22050, 2, 48, false},  {32000, 1, 32, false},  {32000, 1, 48, false},  {32000, 2, 32, false},
    {32000, 2, 40, false},  {32000, 2, 48, true},   {32000, 2, 64, false},  {44100, 1, 32, false},
    {44100, 1, 48, true},   {44100, 1, 64, false},  {44100, 2, 48, true},   {44100, 2, 64, true},
    {44100, 2, 80, false},  {44100, 2, 96, true},   {44100, 2, 128, true},  {44100, 2, 160, false},
    {44100, 2, 192, false}, {44100, 2, 256, false}, {44100, 2, 320, false}, {48000, 1, 48, false},
    {48000, 1, 64, false},  {48000, 2, 64, false},  {48000, 2, 96, false},  {48000, 2, 128, false},
    {48000, 2, 192, false},
}};

struct Codec {
  uint16_t formatTag;
};
constexpr std::array<Codec, 2> kCodecs{{{WAVE_FORMAT_WMAUDIO2}, {WAVE_FORMAT_MSAUDIO1}}};

// Each codec lists every format, then the "(A/V)" variants.
struct Listed {
  const CodecFormat* format;
  bool audioVideo;
};
const std::vector<Listed>& ListedFormats() {
  static const std::vector<Listed> listed = [] {
    std::vector<Listed> all;
    all.reserve(kFormats.size() * 2);
    for (const CodecFormat& f : kFormats) all.push_back({&f, false});
    for (const CodecFormat& f : kFormats) {
      if (f.withVideo) all.push_back({&f, true});
    }
    return all;
  }();
  return listed;
}

std::u16string Describe(const CodecFormat& f, bool audioVideo) {
  char text[96];
  std::snprintf(text, sizeof text, "%d kbps, %d kHz, %s%s 1-pass CBR", f.kbps, f.sampleRate / 1000,
                f.channels == 1 ? "mono" : "stereo", audioVideo ? " (A/V)" : "");
  return {text, text + std::char_traits<char>::length(text)};
}

// Samples per WMA frame at a rate (the encoders' own choice).
int FrameLength(int sampleRate) {
  if (sampleRate <= 16000) return 512;
  if (sampleRate <= 22050) return 1024;
  return 2048;
}

}  // namespace

WM_MEDIA_TYPE WmaCodecMediaType(uint16_t formatTag, int channels, int sampleRate,
                                uint32_t bitsPerSecond) {
  const uint64_t blockAlign = sampleRate > 0 ? static_cast<uint64_t>(bitsPerSecond) *
                                                   static_cast<uint64_t>(FrameLength(sampleRate)) /
                                                   (static_cast<uint64_t>(sampleRate) * 8)
                                             : 0;
  WAVEFORMATEX w;
  w.wFormatTag = formatTag;
  w.nChannels = static_cast<uint16_t>(channels);
  w.nSamplesPerSec = static_cast<uint32_t>(sampleRate);
  w.nAvgBytesPerSec = bitsPerSecond / 8;
  w.nBlockAlign = static_cast<uint16_t>(std::min<uint64_t>(blockAlign, 0xFFFF));
  w.wBitsPerSample = 16;
  w.cbSize = formatTag == WAVE_FORMAT_WMAUDIO2 ? 10 : 4;
  return AudioMediaType(w);
}

HRESULT WmStreamConfig::GetMediaType(WM_MEDIA_TYPE* type) const {
  if (type == nullptr) return E_INVALIDARG;
  *type = type_;
  return S_OK;
}

HRESULT WmStreamConfig::SetMediaType(const WM_MEDIA_TYPE& type) {
  if (type.majortype != MajorType::kAudio || !type.hasWaveFormat) return E_INVALIDARG;
  type_ = type;
  return S_OK;
}

HRESULT WmStreamConfig::GetBitrate(uint32_t* bitsPerSecond) const {
  if (bitsPerSecond == nullptr) return E_INVALIDARG;
  *bitsPerSecond = bitRate_;
  return S_OK;
}

HRESULT WmStreamConfig::SetBitrate(uint32_t bitsPerSecond) {
  bitRate_ = bitsPerSecond;
  return S_OK;
}

HRESULT WmStreamConfig::GetStreamNumber(uint16_t* number) const {
  if (number == nullptr) return E_INVALIDARG;
  *number = number_;
  return S_OK;
}

HRESULT WmStreamConfig::SetStreamNumber(uint16_t number) {
  if (number < 1 || number > 127) return E_INVALIDARG;
  number_ = number;
  return S_OK;
}

HRESULT WmStreamConfig::SetStreamName(const std::u16string& name) {
  streamName_ = name;
  return S_OK;
}

HRESULT WmStreamConfig::SetConnectionName(const std::u16string& name) {
  connectionName_ = name;
  return S_OK;
}

HRESULT WmStreamConfig::SetBufferWindow(uint32_t milliseconds) {
  bufferWindow_ = milliseconds;
  return S_OK;
}

HRESULT WmProfile::CreateNewStream(MajorType type, std::unique_ptr<WmStreamConfig>* stream) const {
  if (stream == nullptr) return E_INVALIDARG;
  if (type != MajorType::kAudio) return E_INVALIDARG;  // no video encoder behind this runtime
  *stream = std::make_unique<WmStreamConfig>();
  WM_MEDIA_TYPE audio;
  audio.majortype = MajorType::kAudio;
  audio.hasWaveFormat = true;
  (*stream)->SetMediaType(audio);
  return S_OK;
}

HRESULT WmProfile::AddStream(const WmStreamConfig& stream) {
  uint16_t number = 0;
  stream.GetStreamNumber(&number);
  if (number == 0) return E_INVALIDARG;
  for (const WmStreamConfig& s : streams_) {
    uint16_t other = 0;
    s.GetStreamNumber(&other);
    if (other == number) return E_INVALIDARG;
  }
  streams_.push_back(stream);
  return S_OK;
}

HRESULT WmProfile::GetStreamCount(uint32_t* count) const {
  if (count == nullptr) return E_INVALIDARG;
  *count = static_cast<uint32_t>(streams_.size());
  return S_OK;
}

HRESULT WmProfileManager::CreateEmptyProfile(uint32_t version,
                                             std::unique_ptr<WmProfile>* profile) const {
  if (profile == nullptr) return E_INVALIDARG;
  if (version != WMT_VER_9_0) return E_INVALIDARG;
  *profile = std::make_unique<WmProfile>(version);
  return S_OK;
}

HRESULT WmProfileManager::GetCodecInfoCount(MajorType type, uint32_t* codecs) const {
  if (codecs == nullptr) return E_INVALIDARG;
  *codecs = type == MajorType::kAudio ? static_cast<uint32_t>(kCodecs.size()) : 0;
  return S_OK;
}

HRESULT WmProfileManager::GetCodecFormatCount(MajorType type, uint32_t codec,
                                              uint32_t* formats) const {
  if (formats == nullptr || type != MajorType::kAudio || codec >= kCodecs.size()) {
    return E_INVALIDARG;
  }
  *formats = static_cast<uint32_t>(ListedFormats().size());
  return S_OK;
}

HRESULT WmProfileManager::GetCodecFormatDesc(MajorType type, uint32_t codec, uint32_t format,
                                             std::unique_ptr<WmStreamConfig>* config,
                                             char16_t* description,
                                             uint32_t* descriptionChars) const {
  const std::vector<Listed>& listed = ListedFormats();
  if (type != MajorType::kAudio || codec >= kCodecs.size() || format >= listed.size() ||
      descriptionChars == nullptr) {
    return E_INVALIDARG;
  }
  const CodecFormat& f = *listed[format].format;
  const std::u16string text = Describe(f, listed[format].audioVideo);
  const auto needed = static_cast<uint32_t>(text.size() + 1);
  if (description != nullptr) {
    if (*descriptionChars < needed) return ASF_E_BUFFERTOOSMALL;
    std::copy(text.begin(), text.end(), description);
    description[text.size()] = u'\0';
  }
  *descriptionChars = needed;
  if (config != nullptr) {
    auto stream = std::make_unique<WmStreamConfig>();
    const auto bitRate = static_cast<uint32_t>(f.kbps * 1000);
    stream->SetMediaType(
        WmaCodecMediaType(kCodecs[codec].formatTag, f.channels, f.sampleRate, bitRate));
    stream->SetBitrate(bitRate);
    *config = std::move(stream);
  }
  return S_OK;
}

}  // namespace platform::wm
