#pragma once

// The records and result codes of the Windows Media runtime's calls, as Sonorell uses them.
#include <array>
#include <cstdint>

namespace platform::wm {

// Results: 0 is success, anything negative a failure.
using HRESULT = int32_t;
inline constexpr HRESULT S_OK = 0;
inline constexpr HRESULT E_FAIL = static_cast<HRESULT>(0x80004005u);
inline constexpr HRESULT E_INVALIDARG = static_cast<HRESULT>(0x80070057u);
inline constexpr HRESULT E_OUTOFMEMORY = static_cast<HRESULT>(0x8007000Eu);
inline constexpr HRESULT E_UNEXPECTED = static_cast<HRESULT>(0x8000FFFFu);
inline constexpr HRESULT NS_E_FILE_OPEN_FAILED = static_cast<HRESULT>(0xC00D001Du);
inline constexpr HRESULT NS_E_INVALID_DATA = static_cast<HRESULT>(0xC00D002Fu);
inline constexpr HRESULT NS_E_NO_MORE_SAMPLES = static_cast<HRESULT>(0xC00D0BCFu);
inline constexpr HRESULT NS_E_INVALID_INPUT_FORMAT = static_cast<HRESULT>(0xC00D0BB8u);
inline constexpr HRESULT NS_E_INVALID_STREAM = static_cast<HRESULT>(0xC00D0BBEu);
inline constexpr HRESULT NS_E_FILE_WRITE = static_cast<HRESULT>(0xC00D001Au);
inline constexpr HRESULT ASF_E_NOTFOUND = static_cast<HRESULT>(0xC00D07F0u);
inline constexpr HRESULT ASF_E_BUFFERTOOSMALL = static_cast<HRESULT>(0xC00D07D1u);

inline constexpr bool SUCCEEDED(HRESULT hr) {
  return hr >= 0;
}
inline constexpr bool FAILED(HRESULT hr) {
  return hr < 0;
}

// Profile version 9.0.
inline constexpr uint32_t WMT_VER_9_0 = 0x00090000;

// Types of header attributes, with the runtime's values.
enum WMT_ATTR_DATATYPE : uint16_t {
  WMT_TYPE_DWORD = 0,
  WMT_TYPE_STRING = 1,
  WMT_TYPE_BINARY = 2,
  WMT_TYPE_BOOL = 3,
  WMT_TYPE_QWORD = 4,
  WMT_TYPE_WORD = 5,
  WMT_TYPE_GUID = 6,
};

// A GUID in its memory layout (Data1..Data3 little-endian, Data4 as bytes).
struct GUID {
  uint32_t Data1 = 0;
  uint16_t Data2 = 0;
  uint16_t Data3 = 0;
  std::array<uint8_t, 8> Data4{};
  bool operator==(const GUID&) const = default;
};

// Media subtypes of audio formats are the wave format tag in the standard base GUID
// XXXXXXXX-0000-0010-8000-00AA00389B71.
constexpr GUID WaveFormatSubtype(uint16_t formatTag) {
  return GUID{formatTag, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
}

inline constexpr uint16_t WAVE_FORMAT_PCM = 0x0001;
inline constexpr uint16_t WAVE_FORMAT_MSAUDIO1 = 0x0160;  // Windows Media Audio version 1
inline constexpr uint16_t WAVE_FORMAT_WMAUDIO2 = 0x0161;  // Windows Media Audio (standard)
inline constexpr uint16_t WAVE_FORMAT_WMAUDIO3 = 0x0162;  // Windows Media Audio Professional

struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
  bool operator==(const WAVEFORMATEX&) const = default;
};

enum class MajorType { kNone, kAudio, kVideo, kOther };

// A media type. Audio types carry a wave format record; others none.
struct WM_MEDIA_TYPE {
  MajorType majortype = MajorType::kNone;
  GUID subtype;
  bool bFixedSizeSamples = false;
  bool bTemporalCompression = false;
  uint32_t lSampleSize = 0;
  bool hasWaveFormat = false;  // format type "wave format"
  WAVEFORMATEX wave;
  bool operator==(const WM_MEDIA_TYPE&) const = default;
};

// The media type of fixed-size audio samples in a wave format (its tag gives the subtype).
WM_MEDIA_TYPE AudioMediaType(const WAVEFORMATEX& wave);

// The PCM input or output record of a stream: 8 or 16-bit samples, interleaved.
WM_MEDIA_TYPE PcmMediaType(int channels, int sampleRate, int bitsPerSample);

}  // namespace platform::wm
