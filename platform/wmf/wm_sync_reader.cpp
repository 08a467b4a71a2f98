#include "platform/wmf/wm_sync_reader.h"

#include <cstring>
#include <limits>
#include <optional>
#include <vector>

#include "platform/ffmpeg/audio_stream_decoder.h"
#include "platform/wmf/asf_header.h"

namespace platform::wm {
namespace {

constexpr uint64_t kHundredNsPerSecond = 10'000'000;

}  // namespace

struct WmSyncReader::State {
  AsfHeader header;
  ffmpeg::AudioStreamDecoder decoder;
  uint16_t decodedStream = 0;  // the first audio stream's number; 0 without audio
  bool decodedSelected = true;
  uint64_t framesDelivered = 0;
  bool ended = false;

  const AsfAttribute* Find(std::u16string_view name) const {
    for (const AsfAttribute& a : header.attributes) {
      if (a.stream == 0 && a.name == name) return &a;
    }
    return nullptr;
  }
};

WmSyncReader::WmSyncReader() = default;
WmSyncReader::~WmSyncReader() = default;

HRESULT WmSyncReader::Open(const std::string& path) {
  Close();
  const std::optional<std::vector<uint8_t>> bytes = ReadAsfHeaderBytes(path);
  if (!bytes) return NS_E_FILE_OPEN_FAILED;
  std::optional<AsfHeader> header = ParseAsfHeader(*bytes);
  if (!header) return NS_E_INVALID_DATA;
  auto state = std::make_unique<State>();
  state->header = std::move(*header);
  for (const AsfStream& s : state->header.streams) {
    if (s.type == MajorType::kAudio) {
      state->decodedStream = s.number;
      break;
    }
  }
  if (state->decodedStream != 0 && !state->decoder.Open(path, ffmpeg::SampleType::kS16)) {
    return NS_E_INVALID_DATA;  // a codec FFmpeg lacks, protected or damaged content
  }
  state_ = std::move(state);
  return S_OK;
}

HRESULT WmSyncReader::Close() {
  state_.reset();
  return S_OK;
}

HRESULT WmSyncReader::GetStreamCount(uint32_t* count) const {
  if (!state_ || count == nullptr) return E_UNEXPECTED;
  *count = static_cast<uint32_t>(state_->header.streams.size());
  return S_OK;
}

HRESULT WmSyncReader::GetStream(uint32_t index, MajorType* type, uint16_t* streamNumber) const {
  if (!state_ || type == nullptr || streamNumber == nullptr) return E_UNEXPECTED;
  if (index >= state_->header.streams.size()) return E_INVALIDARG;
  *type = state_->header.streams[index].type;
  *streamNumber = state_->header.streams[index].number;
  return S_OK;
}

HRESULT WmSyncReader::SetStreamsSelected(uint16_t streamNumber, bool selected) {
  if (!state_) return E_UNEXPECTED;
  for (const AsfStream& s : state_->header.streams) {
    if (s.number != streamNumber) continue;
    if (streamNumber == state_->decodedStream) state_->decodedSelected = selected;
    return S_OK;
  }
  return NS_E_INVALID_STREAM;
}

HRESULT WmSyncReader::SetReadStreamSamples(uint16_t streamNumber, bool compressed) {
  if (!state_) return E_UNEXPECTED;
  if (streamNumber == 0 || streamNumber != state_->decodedStream) return NS_E_INVALID_STREAM;
  return compressed ? E_INVALIDARG : S_OK;  // only decoded samples can be had here
}

HRESULT WmSyncReader::GetOutputCount(uint32_t* outputs) const {
  return GetStreamCount(outputs);
}

HRESULT WmSyncReader::GetOutputProps(uint32_t output, WM_MEDIA_TYPE* type) const {
  if (!state_ || type == nullptr) return E_UNEXPECTED;
  if (output >= state_->header.streams.size()) return E_INVALIDARG;
  const AsfStream& stream = state_->header.streams[output];
  if (stream.type == MajorType::kAudio) {
    // Every audio output is described by the decoded stream's format.
    *type = PcmMediaType(state_->decoder.Channels(), state_->decoder.SampleRate(), 16);
  } else {
    *type = WM_MEDIA_TYPE{};
    type->majortype = stream.type;
  }
  return S_OK;
}

HRESULT WmSyncReader::GetNextSample(uint16_t streamNumber, std::unique_ptr<SampleBuffer>* sample,
                                    uint64_t* sampleTime, uint64_t* duration, uint32_t* flags,
                                    uint32_t* outputNumber, uint16_t* streamOut) {
  if (!state_ || sample == nullptr) return E_UNEXPECTED;
  State& s = *state_;
  if (streamNumber != 0 && streamNumber != s.decodedStream) return NS_E_INVALID_STREAM;
  if (s.decodedStream == 0 || !s.decodedSelected || s.ended) return NS_E_NO_MORE_SAMPLES;
  const ffmpeg::PcmRun run = s.decoder.Next();
  const size_t frameBytes = static_cast<size_t>(s.decoder.Channels()) * 2;
  if (run.frames == 0 || run.frames > std::numeric_limits<uint32_t>::max() / frameBytes) {
    s.ended = true;
    return NS_E_NO_MORE_SAMPLES;
  }
  const auto bytes = static_cast<uint32_t>(run.frames * frameBytes);
  auto buffer = std::make_unique<SampleBuffer>(bytes);
  std::memcpy(buffer->Buffer(), run.data, bytes);
  buffer->SetLength(bytes);
  const auto rate = static_cast<uint64_t>(s.decoder.SampleRate());
  if (sampleTime) *sampleTime = s.framesDelivered * kHundredNsPerSecond / rate;
  if (duration) *duration = run.frames * kHundredNsPerSecond / rate;
  if (flags) *flags = 0;
  if (outputNumber) {
    *outputNumber = 0;
    for (uint32_t i = 0; i < s.header.streams.size(); ++i) {
      if (s.header.streams[i].number == s.decodedStream) *outputNumber = i;
    }
  }
  if (streamOut) *streamOut = s.decodedStream;
  s.framesDelivered += run.frames;
  *sample = std::move(buffer);
  return S_OK;
}

HRESULT WmSyncReader::GetAttributeByName(uint16_t* streamNumber, std::u16string_view name,
                                         WMT_ATTR_DATATYPE* type, uint8_t* value,
                                         uint16_t* length) const {
  if (!state_ || streamNumber == nullptr || type == nullptr || length == nullptr) {
    return E_UNEXPECTED;
  }
  if (*streamNumber != 0) return ASF_E_NOTFOUND;  // only file-level attributes are asked for
  const AsfHeader& h = state_->header;
  std::vector<uint8_t> computed;
  const std::vector<uint8_t>* bytes = nullptr;
  auto putLe = [&computed](uint64_t v, int n) {
    for (int i = 0; i < n; ++i) computed.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  if (name == u"Duration") {
    const uint64_t preroll = h.prerollMs * 10'000;
    putLe(h.playDuration > preroll ? h.playDuration - preroll : 0, 8);
    *type = WMT_TYPE_QWORD;
    bytes = &computed;
  } else if (name == u"Bitrate") {
    putLe(h.maxBitrate, 4);
    *type = WMT_TYPE_DWORD;
    bytes = &computed;
  } else if (const AsfAttribute* a = state_->Find(name)) {
    *type = a->type;
    bytes = &a->value;
  } else {
    return ASF_E_NOTFOUND;
  }
  if (bytes->size() > 0xFFFF) return ASF_E_BUFFERTOOSMALL;  // no 16-bit length can hold it
  const auto needed = static_cast<uint16_t>(bytes->size());
  if (value == nullptr) {
    *length = needed;
    return S_OK;
  }
  if (*length < needed) return ASF_E_BUFFERTOOSMALL;
  if (needed > 0) std::memcpy(value, bytes->data(), needed);
  *length = needed;
  return S_OK;
}

}  // namespace platform::wm
