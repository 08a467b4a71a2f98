#include "platform/faac/faac.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <utility>
#include <vector>

namespace platform {
namespace {

// The AAC sampling-frequency table; a rate's position is the index that ADTS headers and
// the AudioSpecificConfig carry.
constexpr std::array<unsigned long, 13> kSampleRates = {
    96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};

constexpr unsigned int kMaxChannels = 6;
constexpr int kFrameSamples = 1024;  // per channel, one AAC-LC frame
constexpr int kAdtsHeaderBytes = 7;
// The largest packet libavcodec's AAC encoder allocates, per channel.
constexpr unsigned long kMaxPacketBytesPerChannel = 8192;
// ADTS frame_length is 13 bits and counts the header.
constexpr size_t kMaxAdtsFrameBytes = 8191;
// An AAC channel may carry at most 6144 bits per 1024-sample frame; the encoder clamps
// anything above that silently, so such bit rates are refused instead.
constexpr unsigned long kMaxBitsPerChannelFrame = 6144;
constexpr unsigned long kMinQuantqual = 10;
constexpr unsigned long kMaxQuantqual = 500;
constexpr unsigned long kDefaultQuantqual = 100;

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};
using CodecContextPtr = std::unique_ptr<AVCodecContext, CodecContextFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;

int SampleRateIndex(unsigned long rate) {
  for (size_t i = 0; i < kSampleRates.size(); ++i) {
    if (kSampleRates[i] == rate) return static_cast<int>(i);
  }
  return -1;
}

bool Acceptable(const faacEncConfiguration& c, unsigned long rate) {
  if (c.aacObjectType != LOW) return false;
  if (c.mpegVersion != MPEG4 && c.mpegVersion != MPEG2) return false;
  if (c.shortctl != SHORTCTL_NORMAL) return false;
  if (c.inputFormat != FAAC_INPUT_16BIT && c.inputFormat != FAAC_INPUT_FLOAT) return false;
  if (c.outputFormat != RAW_STREAM && c.outputFormat != ADTS_STREAM) return false;
  if (c.bitRate == 0) return c.quantqual >= kMinQuantqual && c.quantqual <= kMaxQuantqual;
  return c.bitRate <= kMaxBitsPerChannelFrame * rate / kFrameSamples;
}

}  // namespace

struct FaacEncoder {
  const AVCodec* codec = nullptr;
  unsigned long sampleRate = 0;
  unsigned int channels = 0;
  unsigned long inputSamples = 0;
  unsigned long maxOutputBytes = 0;
  faacEncConfiguration config;
  // The configuration the open encoder was made with (the caller may edit `config` again).
  faacEncConfiguration applied;
  AVChannelLayout layout{};

  CodecContextPtr context;
  FramePtr frame;
  PacketPtr packet;
  // Frames the encoder has given and the caller has not fetched yet.
  std::deque<std::vector<unsigned char>> pending;
  int64_t nextPts = 0;
  bool started = false;     // the first faacEncEncode call happened: configuration is fixed
  bool inputEnded = false;  // a short frame or a flush has been sent
  bool drained = false;     // the encoder reported its end
  bool failed = false;

  ~FaacEncoder() { av_channel_layout_uninit(&layout); }
};

namespace {

// The channel layout the encoder knows for this many channels; it only takes the layouts
// it lists, so the generic default is the last resort.
void ChooseLayout(const AVCodec* codec, unsigned int channels, AVChannelLayout* out) {
  if (codec->ch_layouts != nullptr) {
    for (const AVChannelLayout* l = codec->ch_layouts; l->nb_channels != 0; ++l) {
      if (static_cast<unsigned int>(l->nb_channels) == channels &&
          av_channel_layout_copy(out, l) == 0) {
        return;
      }
    }
  }
  av_channel_layout_default(out, static_cast<int>(channels));
}

CodecContextPtr OpenContext(const FaacEncoder& e, const faacEncConfiguration& c) {
  CodecContextPtr ctx(avcodec_alloc_context3(e.codec));
  if (!ctx) return nullptr;
  ctx->sample_rate = static_cast<int>(e.sampleRate);
  ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
  ctx->time_base = AVRational{1, static_cast<int>(e.sampleRate)};
  ctx->profile = FF_PROFILE_AAC_LOW;
  ctx->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
  if (av_channel_layout_copy(&ctx->ch_layout, &e.layout) != 0) return nullptr;
  if (c.bitRate != 0) {
    ctx->bit_rate = static_cast<int64_t>(c.bitRate) * e.channels;
  } else {
    ctx->flags |= AV_CODEC_FLAG_QSCALE;
    ctx->global_quality = static_cast<int>(c.quantqual * FF_QP2LAMBDA / kDefaultQuantqual);
  }
  if (c.bandWidth != 0) {
    ctx->cutoff = static_cast<int>(std::min<unsigned long>(c.bandWidth, e.sampleRate / 2));
  }
  void* options = ctx->priv_data;
  if (av_opt_set_int(options, "aac_tns", c.useTns ? 1 : 0, 0) < 0 ||
      av_opt_set_int(options, "aac_ms", c.allowMidside ? -1 : 0, 0) < 0 ||
      // Perceptual noise substitution is an MPEG-4 tool; MPEG-2 decoders do not know it.
      av_opt_set_int(options, "aac_pns", c.mpegVersion == MPEG2 ? 0 : 1, 0) < 0) {
    return nullptr;
  }
  if (avcodec_open2(ctx.get(), e.codec, nullptr) < 0) return nullptr;
  if (ctx->frame_size != kFrameSamples) return nullptr;
  return ctx;
}

bool Configure(FaacEncoder& e, const faacEncConfiguration& c) {
  if (e.started || !Acceptable(c, e.sampleRate)) return false;
  CodecContextPtr ctx = OpenContext(e, c);
  if (!ctx) return false;
  e.context = std::move(ctx);
  e.applied = c;
  return true;
}

// Moves every packet the encoder has ready into the queue. False on an encoder error.
bool Collect(FaacEncoder& e) {
  while (!e.drained) {
    const int r = avcodec_receive_packet(e.context.get(), e.packet.get());
    if (r == AVERROR(EAGAIN)) return true;
    if (r == AVERROR_EOF) {
      e.drained = true;
      return true;
    }
    if (r < 0) return false;
    e.pending.emplace_back(e.packet->data, e.packet->data + e.packet->size);
    av_packet_unref(e.packet.get());
  }
  return true;
}

bool Send(FaacEncoder& e, const AVFrame* frame) {
  int r = avcodec_send_frame(e.context.get(), frame);
  if (r == AVERROR(EAGAIN)) {
    if (!Collect(e)) return false;
    r = avcodec_send_frame(e.context.get(), frame);
  }
  return r >= 0;
}

// Fills the planar float frame from interleaved samples in the configured input format.
bool FillFrame(FaacEncoder& e, const unsigned char* input, int frames) {
  if (!e.frame) {
    e.frame.reset(av_frame_alloc());
    if (!e.frame) return false;
    e.frame->format = AV_SAMPLE_FMT_FLTP;
    e.frame->sample_rate = static_cast<int>(e.sampleRate);
    e.frame->nb_samples = kFrameSamples;
    if (av_channel_layout_copy(&e.frame->ch_layout, &e.layout) != 0 ||
        av_frame_get_buffer(e.frame.get(), 0) < 0) {
      e.frame.reset();
      return false;
    }
  }
  // The encoder may still hold the previous frame's buffers.
  if (av_frame_make_writable(e.frame.get()) < 0) return false;
  e.frame->nb_samples = frames;
  e.frame->pts = e.nextPts;
  e.nextPts += frames;
  const size_t channels = e.channels;
  const bool isFloat = e.applied.inputFormat == FAAC_INPUT_FLOAT;
  const size_t width = isFloat ? sizeof(float) : sizeof(int16_t);
  for (size_t ch = 0; ch < channels; ++ch) {
    auto* plane = reinterpret_cast<float*>(e.frame->extended_data[ch]);
    for (size_t i = 0; i < static_cast<size_t>(frames); ++i) {
      const unsigned char* at = input + (i * channels + ch) * width;
      if (isFloat) {
        float v;
        std::memcpy(&v, at, sizeof v);
        plane[i] = v / 32768.0f;
      } else {
        int16_t v;
        std::memcpy(&v, at, sizeof v);
        plane[i] = static_cast<float>(v) / 32768.0f;
      }
    }
  }
  return true;
}

// The 7-byte ADTS header (no CRC) for a frame of payload bytes.
void WriteAdtsHeader(const FaacEncoder& e, size_t payload, unsigned char* out) {
  const size_t length = payload + kAdtsHeaderBytes;
  const unsigned int profile = e.applied.aacObjectType - 1;
  const auto index = static_cast<unsigned int>(SampleRateIndex(e.sampleRate));
  // The channel configuration the encoder itself signals, so ADTS and ASC agree.
  unsigned int channelConfig = e.channels;
  const AVCodecContext* ctx = e.context.get();
  if (ctx->extradata_size >= 2) {
    channelConfig = (ctx->extradata[1] >> 3) & 0x0F;
  }
  out[0] = 0xFF;
  out[1] = static_cast<unsigned char>(0xF0 | (e.applied.mpegVersion == MPEG2 ? 0x08 : 0) | 0x01);
  out[2] = static_cast<unsigned char>((profile << 6) | (index << 2) | ((channelConfig >> 2) & 1));
  out[3] = static_cast<unsigned char>(((channelConfig & 3) << 6) | ((length >> 11) & 0x03));
  out[4] = static_cast<unsigned char>((length >> 3) & 0xFF);
  out[5] = static_cast<unsigned char>(((length & 0x07) << 5) | 0x1F);  // fullness 0x7FF
  out[6] = 0xFC;  // fullness continued, one raw data block
}

}  // namespace

faacEncHandle faacEncOpen(unsigned long sampleRate, unsigned int numChannels,
                          unsigned long* inputSamples, unsigned long* maxOutputBytes) {
  if (SampleRateIndex(sampleRate) < 0 || numChannels < 1 || numChannels > kMaxChannels) {
    return nullptr;
  }
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (codec == nullptr) return nullptr;
  auto e = std::make_unique<FaacEncoder>();
  e->codec = codec;
  e->sampleRate = sampleRate;
  e->channels = numChannels;
  e->inputSamples = static_cast<unsigned long>(kFrameSamples) * numChannels;
  e->maxOutputBytes = kMaxPacketBytesPerChannel * numChannels + kAdtsHeaderBytes;
  e->applied = e->config;
  ChooseLayout(codec, numChannels, &e->layout);
  e->packet.reset(av_packet_alloc());
  if (!e->packet || static_cast<unsigned int>(e->layout.nb_channels) != numChannels) {
    return nullptr;
  }
  if (inputSamples != nullptr) *inputSamples = e->inputSamples;
  if (maxOutputBytes != nullptr) *maxOutputBytes = e->maxOutputBytes;
  return e.release();
}

faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle hEncoder) {
  return hEncoder != nullptr ? &hEncoder->config : nullptr;
}

int faacEncSetConfiguration(faacEncHandle hEncoder, faacEncConfigurationPtr config) {
  if (hEncoder == nullptr || config == nullptr) return 0;
  const faacEncConfiguration wanted = *config;
  if (!Configure(*hEncoder, wanted)) return 0;
  hEncoder->config = wanted;
  return 1;
}

int faacEncEncode(faacEncHandle hEncoder, int32_t* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize) {
  if (hEncoder == nullptr || outputBuffer == nullptr) return -1;
  FaacEncoder& e = *hEncoder;
  if (e.failed) return -1;
  if (samplesInput > e.inputSamples || samplesInput % e.channels != 0) return -1;
  if (samplesInput > 0 && (inputBuffer == nullptr || e.inputEnded)) return -1;
  if (!e.context && !Configure(e, e.config)) return -1;
  e.started = true;

  if (samplesInput > 0) {
    const int frames = static_cast<int>(samplesInput / e.channels);
    if (!FillFrame(e, reinterpret_cast<const unsigned char*>(inputBuffer), frames) ||
        !Send(e, e.frame.get())) {
      e.failed = true;
      return -1;
    }
    // A short frame is the last one: flush at once, so that every frame still inside
    // the encoder comes out on the calls that follow and a 0 result means the end.
    if (samplesInput < e.inputSamples) {
      e.inputEnded = true;
      if (!Send(e, nullptr)) {
        e.failed = true;
        return -1;
      }
    }
  } else if (!e.inputEnded) {
    e.inputEnded = true;
    if (!Send(e, nullptr)) {
      e.failed = true;
      return -1;
    }
  }
  if (!Collect(e)) {
    e.failed = true;
    return -1;
  }
  if (e.pending.empty()) return 0;

  // A frame that does not fit stays queued, so a caller with a bigger buffer loses nothing.
  const std::vector<unsigned char>& payload = e.pending.front();
  const bool adts = e.applied.outputFormat == ADTS_STREAM;
  const size_t total = payload.size() + (adts ? kAdtsHeaderBytes : 0);
  if (total > bufferSize || (adts && total > kMaxAdtsFrameBytes)) return -1;
  unsigned char* at = outputBuffer;
  if (adts) {
    WriteAdtsHeader(e, payload.size(), at);
    at += kAdtsHeaderBytes;
  }
  if (!payload.empty()) std::memcpy(at, payload.data(), payload.size());
  e.pending.pop_front();
  return static_cast<int>(total);
}

int faacEncGetDecoderSpecificInfo(faacEncHandle hEncoder, unsigned char** ppBuffer,
                                  unsigned long* pSizeOfDecoderSpecificInfo) {
  if (hEncoder == nullptr || ppBuffer == nullptr || pSizeOfDecoderSpecificInfo == nullptr) {
    return -1;
  }
  *ppBuffer = nullptr;
  *pSizeOfDecoderSpecificInfo = 0;
  const AVCodecContext* ctx = hEncoder->context.get();
  if (ctx == nullptr || ctx->extradata == nullptr || ctx->extradata_size <= 0) return -1;
  const auto size = static_cast<size_t>(ctx->extradata_size);
  auto* copy = static_cast<unsigned char*>(std::malloc(size));
  if (copy == nullptr) return -1;
  std::memcpy(copy, ctx->extradata, size);
  *ppBuffer = copy;
  *pSizeOfDecoderSpecificInfo = size;
  return 0;
}

int faacEncClose(faacEncHandle hEncoder) {
  std::unique_ptr<FaacEncoder> owned(hEncoder);
  return 0;
}

}  // namespace platform
