#include "platform/faac/faac.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

namespace platform {
namespace {

constexpr int kFrameSamples = 1024;  // per channel, AAC-LC
constexpr int kAdtsHeaderBytes = 7;
// FFmpeg's encoder reserves this much per channel for one frame.
constexpr unsigned long kMaxFrameBytesPerChannel = 8192;

constexpr std::array<int, 13> kSampleRates{96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                           22050, 16000, 12000, 11025, 8000,  7350};

int RateIndex(unsigned long rate) {
  for (size_t i = 0; i < kSampleRates.size(); ++i) {
    if (static_cast<unsigned long>(kSampleRates[i]) == rate) return static_cast<int>(i);
  }
  return -1;
}

struct FreeContext {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FreeFrame {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct FreePacket {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

}  // namespace

struct FaacEncoder {
  faacEncConfiguration config;
  int rate = 0;
  int rateIndex = 0;
  int channels = 0;
  std::unique_ptr<AVCodecContext, FreeContext> context;
  std::unique_ptr<AVFrame, FreeFrame> frame;
  std::unique_ptr<AVPacket, FreePacket> packet;
  std::deque<std::vector<uint8_t>> pending;  // frames received but not yet handed out
  int64_t nextPts = 0;
  bool started = false;  // a frame has gone into the encoder
  bool inputEnded = false;
  bool flushSent = false;
  bool drained = false;
  bool failed = false;
};

namespace {

// Checks the configuration against what the backing encoder can honour and opens it.
bool OpenContext(FaacEncoder& e) {
  const faacEncConfiguration& c = e.config;
  if (c.aacObjectType != LOW) return false;
  if (c.mpegVersion != MPEG2 && c.mpegVersion != MPEG4) return false;
  if (c.shortctl != SHORTCTL_NORMAL) return false;
  if (c.inputFormat != FAAC_INPUT_16BIT && c.inputFormat != FAAC_INPUT_FLOAT) return false;
  if (c.outputFormat != RAW_STREAM && c.outputFormat != ADTS_STREAM) return false;
  if (c.bitRate == 0 && (c.quantqual < 10 || c.quantqual > 500)) return false;

  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (codec == nullptr) return false;
  std::unique_ptr<AVCodecContext, FreeContext> context(avcodec_alloc_context3(codec));
  if (!context) return false;
  context->sample_rate = e.rate;
  av_channel_layout_default(&context->ch_layout, e.channels);
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->time_base = AVRational{1, e.rate};
  context->profile = FF_PROFILE_AAC_LOW;
  if (c.bitRate != 0) {
    context->bit_rate = static_cast<int64_t>(c.bitRate) * e.channels;
  } else {
    // Quality mode: FAAC's 100 is the encoder's own default quality.
    context->flags |= AV_CODEC_FLAG_QSCALE;
    context->global_quality = static_cast<int>(c.quantqual) * FF_QP2LAMBDA / 100;
  }
  if (c.bandWidth != 0) context->cutoff = static_cast<int>(c.bandWidth);
  av_opt_set_int(context->priv_data, "aac_tns", c.useTns ? 1 : 0, 0);
  // 1 lets the encoder decide per band; forcing mid/side everywhere would be a different
  // choice than "allow".
  av_opt_set_int(context->priv_data, "aac_ms", c.allowMidside ? -1 : 0, 0);
  // Perceptual noise substitution is an MPEG-4 tool; MPEG-2 decoders do not know it.
  if (c.mpegVersion == MPEG2) av_opt_set_int(context->priv_data, "aac_pns", 0, 0);
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return false;
  if (context->frame_size != kFrameSamples) return false;

  std::unique_ptr<AVFrame, FreeFrame> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, FreePacket> packet(av_packet_alloc());
  if (!frame || !packet) return false;
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = e.rate;
  frame->nb_samples = kFrameSamples;
  if (av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0) return false;
  if (av_frame_get_buffer(frame.get(), 0) < 0) return false;
  e.context = std::move(context);
  e.frame = std::move(frame);
  e.packet = std::move(packet);
  return true;
}

void PutAdtsHeader(const FaacEncoder& e, size_t payload, uint8_t* out) {
  const unsigned length = static_cast<unsigned>(payload) + kAdtsHeaderBytes;
  const unsigned id = e.config.mpegVersion == MPEG2 ? 1 : 0;
  const unsigned profile = e.config.aacObjectType - 1;
  const unsigned index = static_cast<unsigned>(e.rateIndex);
  const unsigned channels = static_cast<unsigned>(e.channels);
  out[0] = 0xFF;
  out[1] = static_cast<uint8_t>(0xF0 | (id << 3) | 0x01);  // layer 0, no CRC
  out[2] = static_cast<uint8_t>((profile << 6) | (index << 2) | ((channels >> 2) & 1));
  out[3] = static_cast<uint8_t>(((channels & 3) << 6) | ((length >> 11) & 3));
  out[4] = static_cast<uint8_t>((length >> 3) & 0xFF);
  out[5] = static_cast<uint8_t>(((length & 7) << 5) | 0x1F);  // buffer fullness 0x7FF: VBR
  out[6] = 0xFC;                                              // one raw data block
}

// Moves every packet the encoder has ready into the pending queue.
bool Receive(FaacEncoder& e) {
  for (;;) {
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
}

bool Send(FaacEncoder& e, const int32_t* input, unsigned samples) {
  const int frames = static_cast<int>(samples) / e.channels;
  if (av_frame_make_writable(e.frame.get()) < 0) return false;
  e.frame->nb_samples = frames;
  const bool floats = e.config.inputFormat == FAAC_INPUT_FLOAT;
  const auto* shorts = reinterpret_cast<const int16_t*>(input);
  const auto* reals = reinterpret_cast<const float*>(input);
  for (int ch = 0; ch < e.channels; ++ch) {
    auto* plane = reinterpret_cast<float*>(e.frame->extended_data[ch]);
    for (int i = 0; i < frames; ++i) {
      const size_t at =
          static_cast<size_t>(i) * static_cast<size_t>(e.channels) + static_cast<size_t>(ch);
      plane[i] = (floats ? reals[at] : static_cast<float>(shorts[at])) * (1.0f / 32768.0f);
    }
  }
  e.frame->pts = e.nextPts;
  e.nextPts += frames;
  return avcodec_send_frame(e.context.get(), e.frame.get()) >= 0;
}

}  // namespace

faacEncHandle faacEncOpen(unsigned long sampleRate, unsigned int numChannels,
                          unsigned long* inputSamples, unsigned long* maxOutputBytes) {
  const int index = RateIndex(sampleRate);
  if (index < 0 || numChannels < 1 || numChannels > 6 || inputSamples == nullptr ||
      maxOutputBytes == nullptr) {
    return nullptr;
  }
  if (avcodec_find_encoder_by_name("aac") == nullptr) return nullptr;
  auto e = std::make_unique<FaacEncoder>();
  e->rate = static_cast<int>(sampleRate);
  e->rateIndex = index;
  e->channels = static_cast<int>(numChannels);
  *inputSamples = static_cast<unsigned long>(kFrameSamples) * numChannels;
  *maxOutputBytes = kMaxFrameBytesPerChannel * numChannels + kAdtsHeaderBytes;
  return e.release();
}

faacEncConfigurationPtr faacEncGetCurrentConfiguration(faacEncHandle hEncoder) {
  return hEncoder != nullptr ? &hEncoder->config : nullptr;
}

int faacEncSetConfiguration(faacEncHandle hEncoder, faacEncConfigurationPtr config) {
  if (hEncoder == nullptr || config == nullptr || hEncoder->started) return 0;
  const faacEncConfiguration previous = hEncoder->config;
  if (config != &hEncoder->config) hEncoder->config = *config;
  hEncoder->context.reset();
  if (!OpenContext(*hEncoder)) {
    hEncoder->config = previous;
    hEncoder->context.reset();
    return 0;
  }
  return 1;
}

int faacEncEncode(faacEncHandle hEncoder, int32_t* inputBuffer, unsigned int samplesInput,
                  unsigned char* outputBuffer, unsigned int bufferSize) {
  if (hEncoder == nullptr || outputBuffer == nullptr || hEncoder->failed) return -1;
  FaacEncoder& e = *hEncoder;
  if (!e.context && (e.started || !OpenContext(e))) {
    e.failed = true;
    return -1;
  }
  const unsigned full = static_cast<unsigned>(kFrameSamples * e.channels);
  if (samplesInput > 0) {
    // Whole frames, then at most one short last frame; input after the end is an error.
    if (inputBuffer == nullptr || e.inputEnded || samplesInput > full ||
        samplesInput % static_cast<unsigned>(e.channels) != 0) {
      e.failed = true;
      return -1;
    }
    e.started = true;
    if (samplesInput < full) e.inputEnded = true;
    if (!Send(e, inputBuffer, samplesInput)) {
      e.failed = true;
      return -1;
    }
  } else if (!e.flushSent) {
    e.inputEnded = true;
    e.flushSent = true;
    if (avcodec_send_frame(e.context.get(), nullptr) < 0) {
      e.failed = true;
      return -1;
    }
  }
  if (!e.drained && !Receive(e)) {
    e.failed = true;
    return -1;
  }
  if (e.pending.empty()) return 0;

  const std::vector<uint8_t>& payload = e.pending.front();
  const bool adts = e.config.outputFormat == ADTS_STREAM;
  const size_t total = payload.size() + (adts ? kAdtsHeaderBytes : 0);
  // ADTS frame lengths have 13 bits.
  if (total > bufferSize || (adts && total > 0x1FFF)) {
    e.failed = true;
    return -1;
  }
  uint8_t* out = outputBuffer;
  if (adts) {
    PutAdtsHeader(e, payload.size(), out);
    out += kAdtsHeaderBytes;
  }
  std::memcpy(out, payload.data(), payload.size());
  e.pending.pop_front();
  return static_cast<int>(total);
}

int faacEncGetDecoderSpecificInfo(faacEncHandle hEncoder, unsigned char** ppBuffer,
                                  unsigned long* pSizeOfDecoderSpecificInfo) {
  if (hEncoder == nullptr || ppBuffer == nullptr || pSizeOfDecoderSpecificInfo == nullptr ||
      !hEncoder->context || hEncoder->context->extradata == nullptr ||
      hEncoder->context->extradata_size <= 0) {
    return -1;
  }
  const size_t size = static_cast<size_t>(hEncoder->context->extradata_size);
  auto* copy = static_cast<unsigned char*>(std::malloc(size));
  if (copy == nullptr) return -1;
  std::memcpy(copy, hEncoder->context->extradata, size);
  *ppBuffer = copy;
  *pSizeOfDecoderSpecificInfo = static_cast<unsigned long>(size);
  return 0;
}

int faacEncClose(faacEncHandle hEncoder) {
  const std::unique_ptr<FaacEncoder> owned(hEncoder);
  return 0;
}

}  // namespace platform
