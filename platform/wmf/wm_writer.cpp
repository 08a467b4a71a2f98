#include "platform/wmf/wm_writer.h"

#include <array>
#include <cerrno>
#include <vector>

#include "platform/files/replace_file_head.h"
#include "platform/wmf/asf_header.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libavutil/channel_layout.h>
#include <libswresample/swresample.h>
}

namespace platform::wm {
namespace {

constexpr int kMaxInputChannels = 8;
constexpr int kMinInputRate = 1000;
constexpr int kMaxInputRate = 384000;

struct OutputCloser {
  void operator()(AVFormatContext* f) const {
    if (f->pb != nullptr && !(f->oformat->flags & AVFMT_NOFILE)) avio_closep(&f->pb);
    avformat_free_context(f);
  }
};
struct CodecFreer {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct ResamplerFreer {
  void operator()(SwrContext* s) const { swr_free(&s); }
};
struct FifoFreer {
  void operator()(AVAudioFifo* f) const { av_audio_fifo_free(f); }
};
struct FrameFreer {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

// A channel layout held by value and released with it.
class Layout {
 public:
  explicit Layout(int channels) { av_channel_layout_default(&layout_, channels); }
  ~Layout() { av_channel_layout_uninit(&layout_); }
  Layout(const Layout&) = delete;
  Layout& operator=(const Layout&) = delete;
  const AVChannelLayout* Get() const { return &layout_; }

 private:
  AVChannelLayout layout_{};
};

std::optional<AVCodecID> EncoderFor(const WM_MEDIA_TYPE& type) {
  if (type.majortype != MajorType::kAudio || !type.hasWaveFormat) return std::nullopt;
  if (type.subtype == WaveFormatSubtype(WAVE_FORMAT_WMAUDIO2) &&
      type.wave.wFormatTag == WAVE_FORMAT_WMAUDIO2) {
    return AV_CODEC_ID_WMAV2;
  }
  if (type.subtype == WaveFormatSubtype(WAVE_FORMAT_MSAUDIO1) &&
      type.wave.wFormatTag == WAVE_FORMAT_MSAUDIO1) {
    return AV_CODEC_ID_WMAV1;
  }
  return std::nullopt;  // Professional, Lossless and Voice have no encoder here
}

bool ValidPcmInput(const WM_MEDIA_TYPE& t) {
  const WAVEFORMATEX& w = t.wave;
  return t.majortype == MajorType::kAudio && t.hasWaveFormat &&
         t.subtype == WaveFormatSubtype(WAVE_FORMAT_PCM) && w.wFormatTag == WAVE_FORMAT_PCM &&
         w.nChannels >= 1 && w.nChannels <= kMaxInputChannels &&
         static_cast<int>(w.nSamplesPerSec) >= kMinInputRate &&
         static_cast<int>(w.nSamplesPerSec) <= kMaxInputRate &&
         (w.wBitsPerSample == 8 || w.wBitsPerSample == 16) &&
         w.nBlockAlign == w.nChannels * w.wBitsPerSample / 8;
}

// Rewrites the finished file with the attributes and the sound's duration in its header:
// the new header and the old file's data go to a temporary file beside it (with the old
// file's permissions), which then replaces it.
bool CompleteHeader(const std::string& path, const std::vector<AsfAttribute>& attributes,
                    uint64_t playDuration) {
  const std::optional<std::vector<uint8_t>> header = ReadAsfHeaderBytes(path);
  if (!header) return false;
  const std::optional<std::vector<uint8_t>> replaced =
      RewriteHeader(*header, attributes, playDuration);
  return replaced && ReplaceFileHead(path, header->size(), *replaced);
}

}  // namespace

struct WmWriter::State {
  bool haveStream = false;
  WM_MEDIA_TYPE codecType;
  uint32_t bitRate = 0;
  bool inputSet = false;
  WM_MEDIA_TYPE input;
  std::string path;
  std::vector<AsfAttribute> attributes;

  std::unique_ptr<AVFormatContext, OutputCloser> format;
  std::unique_ptr<AVCodecContext, CodecFreer> codec;
  std::unique_ptr<SwrContext, ResamplerFreer> resampler;
  std::unique_ptr<AVAudioFifo, FifoFreer> fifo;
  std::unique_ptr<AVFrame, FrameFreer> frame;
  std::unique_ptr<AVPacket, PacketFreer> packet;
  std::vector<std::vector<float>> planes;  // converted samples on their way to the FIFO
  int64_t nextPts = 0;
  uint64_t inputFrames = 0;  // PCM frames taken, at the input rate
  bool writing = false;
  bool failed = false;

  WM_MEDIA_TYPE DefaultInput() const {
    return PcmMediaType(codecType.wave.nChannels, static_cast<int>(codecType.wave.nSamplesPerSec),
                        16);
  }

  bool Open() {
    const std::optional<AVCodecID> id = EncoderFor(codecType);
    const AVCodec* encoder = id ? avcodec_find_encoder(*id) : nullptr;
    const AVOutputFormat* asf = av_guess_format("asf", nullptr, nullptr);
    if (encoder == nullptr || asf == nullptr) return false;

    AVFormatContext* rawFormat = nullptr;
    if (avformat_alloc_output_context2(&rawFormat, asf, nullptr, path.c_str()) < 0) return false;
    format.reset(rawFormat);
    format->flags |= AVFMT_FLAG_BITEXACT;  // no encoder tag of FFmpeg's own in the header

    codec.reset(avcodec_alloc_context3(encoder));
    if (!codec) return false;
    const int rate = static_cast<int>(codecType.wave.nSamplesPerSec);
    const Layout outLayout(codecType.wave.nChannels);
    codec->sample_rate = rate;
    codec->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec->bit_rate = bitRate;
    codec->time_base = AVRational{1, rate};
    codec->flags |= AV_CODEC_FLAG_BITEXACT;
    if (av_channel_layout_copy(&codec->ch_layout, outLayout.Get()) < 0) return false;
    if (format->oformat->flags & AVFMT_GLOBALHEADER) codec->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    if (avcodec_open2(codec.get(), encoder, nullptr) < 0 || codec->frame_size <= 0) return false;

    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    if (stream == nullptr || avcodec_parameters_from_context(stream->codecpar, codec.get()) < 0) {
      return false;
    }
    stream->time_base = codec->time_base;

    const Layout inLayout(input.wave.nChannels);
    SwrContext* rawResampler = nullptr;
    const AVSampleFormat inFormat =
        input.wave.wBitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    // The layouts are only copied; this FFmpeg declares them without const.
    if (swr_alloc_set_opts2(&rawResampler, const_cast<AVChannelLayout*>(outLayout.Get()),
                            AV_SAMPLE_FMT_FLTP, rate, const_cast<AVChannelLayout*>(inLayout.Get()),
                            inFormat, static_cast<int>(input.wave.nSamplesPerSec), 0,
                            nullptr) < 0) {
      return false;
    }
    resampler.reset(rawResampler);
    if (swr_init(resampler.get()) < 0) return false;

    fifo.reset(av_audio_fifo_alloc(AV_SAMPLE_FMT_FLTP, codec->ch_layout.nb_channels,
                                   codec->frame_size * 2));
    frame.reset(av_frame_alloc());
    packet.reset(av_packet_alloc());
    if (!fifo || !frame || !packet) return false;
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->nb_samples = codec->frame_size;
    frame->sample_rate = rate;
    if (av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0) {
      return false;
    }
    planes.resize(static_cast<size_t>(codec->ch_layout.nb_channels));

    if (avio_open(&format->pb, path.c_str(), AVIO_FLAG_WRITE) < 0) return false;
    if (avformat_write_header(format.get(), nullptr) < 0) return false;
    // WMA decoders give out nothing of a stream's first frame (it only primes the overlap),
    // so one frame of silence goes first and the source's first samples are heard.
    std::array<float*, kMaxInputChannels> silence{};
    std::vector<float> zeros(static_cast<size_t>(codec->frame_size), 0.0f);
    for (size_t c = 0; c < planes.size(); ++c) silence[c] = zeros.data();
    return av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(silence.data()),
                               codec->frame_size) == codec->frame_size;
  }

  bool DrainPackets() {
    for (;;) {
      const int result = avcodec_receive_packet(codec.get(), packet.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return true;
      if (result < 0) return false;
      av_packet_rescale_ts(packet.get(), codec->time_base, format->streams[0]->time_base);
      packet->stream_index = 0;
      if (av_interleaved_write_frame(format.get(), packet.get()) < 0) return false;
    }
  }

  // Encodes one frame from the FIFO, padded with silence when the FIFO holds less.
  bool EncodeFrame() {
    if (av_frame_make_writable(frame.get()) < 0) return false;
    const int want = codec->frame_size;
    const int got = av_audio_fifo_read(fifo.get(), reinterpret_cast<void**>(frame->data), want);
    if (got < 0) return false;
    for (int c = 0; c < codec->ch_layout.nb_channels; ++c) {
      auto* plane = reinterpret_cast<float*>(frame->data[c]);
      for (int i = got; i < want; ++i) plane[i] = 0.0f;
    }
    frame->pts = nextPts;
    nextPts += want;
    return avcodec_send_frame(codec.get(), frame.get()) >= 0 && DrainPackets();
  }

  // Converts input (null: what the resampler still holds) into the FIFO and encodes every
  // whole frame.
  bool Take(const uint8_t* data, int frames) {
    const int capacity = swr_get_out_samples(resampler.get(), frames);
    if (capacity < 0) return false;
    if (capacity > 0) {
      std::array<uint8_t*, kMaxInputChannels> outs{};
      for (size_t c = 0; c < planes.size(); ++c) {
        planes[c].resize(static_cast<size_t>(capacity));
        outs[c] = reinterpret_cast<uint8_t*>(planes[c].data());
      }
      const uint8_t* ins[1] = {data};
      const int converted =
          swr_convert(resampler.get(), outs.data(), capacity, data ? ins : nullptr, frames);
      if (converted < 0) return false;
      if (converted > 0 && av_audio_fifo_write(fifo.get(), reinterpret_cast<void**>(outs.data()),
                                               converted) != converted) {
        return false;
      }
    }
    while (av_audio_fifo_size(fifo.get()) >= codec->frame_size) {
      if (!EncodeFrame()) return false;
    }
    return true;
  }

  bool Finish() {
    if (!Take(nullptr, 0)) return false;
    if (av_audio_fifo_size(fifo.get()) > 0 && !EncodeFrame()) return false;
    if (avcodec_send_frame(codec.get(), nullptr) < 0 || !DrainPackets()) return false;
    if (av_write_trailer(format.get()) < 0) return false;
    avio_flush(format->pb);
    const bool written = format->pb->error == 0;
    const bool closed = avio_closep(&format->pb) == 0;
    return written && closed;
  }
};

WmWriter::WmWriter() : state_(std::make_unique<State>()) {}
WmWriter::~WmWriter() = default;

HRESULT WmWriter::SetProfile(const WmProfile& profile) {
  State& s = *state_;
  if (s.writing) return E_UNEXPECTED;
  const std::vector<WmStreamConfig>& streams = profile.Streams();
  if (streams.size() != 1 || streams[0].Type() != MajorType::kAudio) return E_INVALIDARG;
  WM_MEDIA_TYPE type;
  uint32_t bitRate = 0;
  streams[0].GetMediaType(&type);
  streams[0].GetBitrate(&bitRate);
  if (!EncoderFor(type) || type.wave.nChannels < 1 || type.wave.nChannels > 2 ||
      type.wave.nSamplesPerSec == 0 || bitRate == 0) {
    return NS_E_INVALID_INPUT_FORMAT;
  }
  s.codecType = type;
  s.bitRate = bitRate;
  s.haveStream = true;
  s.inputSet = false;
  return S_OK;
}

HRESULT WmWriter::GetInputCount(uint32_t* inputs) const {
  if (inputs == nullptr) return E_INVALIDARG;
  *inputs = state_->haveStream ? 1 : 0;
  return S_OK;
}

HRESULT WmWriter::GetInputProps(uint32_t input, WmInputProps* props) const {
  const State& s = *state_;
  if (props == nullptr || !s.haveStream || input != 0) return E_INVALIDARG;
  props->type = MajorType::kAudio;
  props->mediaType = s.inputSet ? s.input : s.DefaultInput();
  return S_OK;
}

HRESULT WmWriter::SetInputProps(uint32_t input, const WmInputProps& props) {
  State& s = *state_;
  if (!s.haveStream || input != 0 || s.writing) return E_INVALIDARG;
  if (!ValidPcmInput(props.mediaType)) return NS_E_INVALID_INPUT_FORMAT;
  s.input = props.mediaType;
  s.inputSet = true;
  return S_OK;
}

HRESULT WmWriter::SetOutputFilename(const std::string& path) {
  if (state_->writing || path.empty()) return E_INVALIDARG;
  state_->path = path;
  return S_OK;
}

HRESULT WmWriter::BeginWriting() {
  State& s = *state_;
  if (s.writing || !s.haveStream || s.path.empty()) return E_UNEXPECTED;
  if (!s.inputSet) {
    s.input = s.DefaultInput();
    s.inputSet = true;
  }
  if (!s.Open()) {
    s.format.reset();
    s.codec.reset();
    return NS_E_FILE_OPEN_FAILED;
  }
  s.writing = true;
  s.failed = false;
  s.nextPts = 0;
  s.inputFrames = 0;
  return S_OK;
}

HRESULT WmWriter::AllocateSample(uint32_t size, std::unique_ptr<SampleBuffer>* sample) const {
  if (sample == nullptr) return E_INVALIDARG;
  *sample = std::make_unique<SampleBuffer>(size);
  return S_OK;
}

HRESULT WmWriter::WriteSample(uint32_t input, uint64_t /*sampleTime*/, uint32_t /*flags*/,
                              const SampleBuffer& sample) {
  State& s = *state_;
  if (!s.writing || input != 0) return E_UNEXPECTED;
  if (s.failed) return NS_E_FILE_WRITE;
  const uint32_t blockAlign = s.input.wave.nBlockAlign;
  if (sample.Length() % blockAlign != 0) return E_INVALIDARG;
  const auto frames = static_cast<int>(sample.Length() / blockAlign);
  if (frames == 0) return S_OK;
  s.inputFrames += static_cast<uint64_t>(frames);
  if (!s.Take(sample.Buffer(), frames)) {
    s.failed = true;
    return NS_E_FILE_WRITE;
  }
  return S_OK;
}

HRESULT WmWriter::EndWriting() {
  State& s = *state_;
  if (!s.writing) return E_UNEXPECTED;
  s.writing = false;
  bool ok = !s.failed && s.Finish();
  s.format.reset();
  s.codec.reset();
  s.resampler.reset();
  s.fifo.reset();
  // The header says how long the sound is, not how long its padded last frame lasts.
  const uint64_t played = s.inputFrames * 10'000'000 / s.input.wave.nSamplesPerSec;
  ok = ok && CompleteHeader(s.path, s.attributes, played);
  return ok ? S_OK : NS_E_FILE_WRITE;
}

HRESULT WmWriter::AddAttribute(uint16_t streamNumber, std::u16string_view name, uint16_t* index,
                               WMT_ATTR_DATATYPE type, uint16_t /*languageIndex*/,
                               const uint8_t* value, uint32_t length) {
  State& s = *state_;
  if (streamNumber != 0 || name.empty() || length > 0xFFFF || (length > 0 && value == nullptr) ||
      s.attributes.size() >= 0xFFFF) {
    return E_INVALIDARG;
  }
  const uint32_t fixed = type == WMT_TYPE_DWORD || type == WMT_TYPE_BOOL ? 4
                         : type == WMT_TYPE_QWORD                        ? 8
                         : type == WMT_TYPE_WORD                         ? 2
                         : type == WMT_TYPE_GUID                         ? 16
                                                                         : 0;
  if ((fixed != 0 && length != fixed) || (type == WMT_TYPE_STRING && length % 2 != 0) ||
      type > WMT_TYPE_GUID) {
    return E_INVALIDARG;
  }
  AsfAttribute a;
  a.name.assign(name.begin(), name.end());
  a.type = type;
  if (length > 0) a.value.assign(value, value + length);
  s.attributes.push_back(std::move(a));
  if (index != nullptr) *index = static_cast<uint16_t>(s.attributes.size() - 1);
  return S_OK;
}

}  // namespace platform::wm
