#include "platform/ffmpeg/audio_stream_decoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/ffmpeg/mpeg_audio_header.h"
#include "platform/ffmpeg/owned_dictionary.h"
#include "platform/ffmpeg/stated_data_size.h"
#include "platform/ogg/ogg_tail.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/intreadwrite.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

namespace platform::ffmpeg {
namespace {

struct CodecContextFreer {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct PacketFreer {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct FrameFreer {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct ResamplerFreer {
  void operator()(SwrContext* resampler) const { swr_free(&resampler); }
};

// A channel layout held by value; layouts with a custom channel order own memory.
class OwnedLayout {
 public:
  OwnedLayout() = default;
  OwnedLayout(const OwnedLayout&) = delete;
  OwnedLayout& operator=(const OwnedLayout&) = delete;
  ~OwnedLayout() { av_channel_layout_uninit(&layout_); }

  bool CopyFrom(const AVChannelLayout& from) {
    av_channel_layout_uninit(&layout_);
    return av_channel_layout_copy(&layout_, &from) == 0;
  }
  const AVChannelLayout& Get() const { return layout_; }

 private:
  AVChannelLayout layout_{};
};

// How many failed attempts to take a frame from the decoder, without any new input given to
// it in between, are taken for a decoder that is stuck.
constexpr int kMaxFailuresInARow = 1000;

// The packed layout a decoder's sample format is handed out in; every format has one.
std::optional<SampleType> PackedTypeFor(int format) {
  switch (format) {
    case AV_SAMPLE_FMT_U8:
    case AV_SAMPLE_FMT_U8P:
      return SampleType::kU8;
    case AV_SAMPLE_FMT_S16:
    case AV_SAMPLE_FMT_S16P:
      return SampleType::kS16;
    case AV_SAMPLE_FMT_S32:
    case AV_SAMPLE_FMT_S32P:
    case AV_SAMPLE_FMT_S64:
    case AV_SAMPLE_FMT_S64P:
      return SampleType::kS32;
    case AV_SAMPLE_FMT_FLT:
    case AV_SAMPLE_FMT_FLTP:
    case AV_SAMPLE_FMT_DBL:
    case AV_SAMPLE_FMT_DBLP:
      return SampleType::kFloat;
    default:
      return std::nullopt;
  }
}

AVSampleFormat PackedFormat(SampleType type) {
  switch (type) {
    case SampleType::kU8:
      return AV_SAMPLE_FMT_U8;
    case SampleType::kS16:
      return AV_SAMPLE_FMT_S16;
    case SampleType::kS32:
      return AV_SAMPLE_FMT_S32;
    case SampleType::kFloat:
      return AV_SAMPLE_FMT_FLT;
  }
  return AV_SAMPLE_FMT_S16;
}

// The samples a packet tells the decoder to drop at its start and at its end (encoder delay
// and padding), in samples of the stream.
struct Skip {
  int64_t start = 0;
  int64_t end = 0;
};

// A stream clock whose tick is longer than this cannot give a length to within a few
// hundredths of a second (the Musepack SV8 demuxer counts in packets of 1.7 s).
constexpr double kCoarsestUsableTick = 0.030;

bool CoarseClock(const AVStream& stream) {
  return stream.time_base.num <= 0 || stream.time_base.den <= 0 ||
         av_q2d(stream.time_base) > kCoarsestUsableTick;
}

// Containers whose stated length is exact, and whose packets carry their own place in the
// stream (so a damaged stretch dropped in the middle does not move the later ones): the
// sound ends there and nowhere earlier. MP3 packets are only counted, and say nothing.
constexpr std::string_view kExactLengthFormats[] = {
    "w64", "caf", "flac", "mov,mp4,m4a,3gp,3g2,mj2", "wv", "ape", "tta",
};

bool StatesExactLength(std::string_view format) {
  return std::find(std::begin(kExactLengthFormats), std::end(kExactLengthFormats), format) !=
         std::end(kExactLengthFormats);
}

Skip SkipOf(const AVPacket& packet) {
  size_t size = 0;
  const uint8_t* data = av_packet_get_side_data(&packet, AV_PKT_DATA_SKIP_SAMPLES, &size);
  if (data == nullptr || size < 8) return {};
  return {AV_RL32(data), AV_RL32(data + 4)};
}

}  // namespace

int BytesPerSample(SampleType type) {
  switch (type) {
    case SampleType::kU8:
      return 1;
    case SampleType::kS16:
      return 2;
    case SampleType::kS32:
    case SampleType::kFloat:
      return 4;
  }
  return 2;
}

struct AudioStreamDecoder::State {
  AVFormatContext* format = nullptr;  // owned by the decoder's MediaFile
  AVStream* stream = nullptr;
  std::unique_ptr<AVCodecContext, CodecContextFreer> codec;
  std::unique_ptr<AVPacket, PacketFreer> packet;
  std::unique_ptr<AVFrame, FrameFreer> frame;

  // The delivered format, fixed by the first decoded frame.
  SampleType type = SampleType::kS16;
  int channels = 0;
  int rate = 0;
  OwnedLayout layout;

  // Converts frames whose format is not the delivered one, set up for the input it last saw.
  std::unique_ptr<SwrContext, ResamplerFreer> resampler;
  int resamplerFormat = -1;
  int resamplerRate = 0;
  OwnedLayout resamplerLayout;
  std::vector<uint8_t> converted;  // only grows

  bool firstFramePending = false;  // decoded by Open, not delivered yet
  bool draining = false;           // every packet has been given to the decoder
  bool ended = false;
  bool resamplerFlushed = false;
  bool sawPacket = false;
  int packetLimit = 0;  // the most packets Feed gives before it drains; 0: no limit
  int packetsFed = 0;
  int64_t firstPacketPosition = -1;
  int64_t skipAtStart = 0;

  // How the data ended.
  bool deliveredAll = false;  // Next has handed out its last frames
  bool readFailed = false;    // the input could no longer be read
  // Where the packets reached in the stream's time: a damaged stretch the decoder drops
  // in the middle does not shorten it, data that ends early does.
  int64_t packetsEnd = AV_NOPTS_VALUE;
  int64_t longestPacket = 0;
  std::array<uint8_t, 4> lastPacketStart{};
  int lastPacketSize = 0;

  int FrameRate(const AVFrame& f) const {
    return f.sample_rate > 0 ? f.sample_rate : codec->sample_rate;
  }

  // Takes the next frame from the decoder into frame, feeding it packets as it asks for
  // them. Each pass either gets a frame, gives the decoder new input, or counts a failure,
  // so the loop cannot turn forever. False at the end of the data.
  bool Decode() {
    int failuresInARow = 0;
    while (!ended) {
      const int result = avcodec_receive_frame(codec.get(), frame.get());
      if (result == 0) return true;
      if (result == AVERROR_EOF) break;
      if (result == AVERROR(EAGAIN)) {
        if (draining) break;
        Feed();
        failuresInARow = 0;
      } else if (++failuresInARow > kMaxFailuresInARow) {
        break;  // a damaged frame is dropped by the decoder; one that never moves on ends it
      }
    }
    ended = true;
    return false;
  }

  // Gives the decoder the next packet of the stream, or, when there is none, the empty
  // packet that makes it hand out the frames it still holds.
  void Feed() {
    for (;;) {
      const int read = packetLimit > 0 && packetsFed >= packetLimit
                           ? AVERROR_EOF
                           : av_read_frame(format, packet.get());
      if (read < 0) {
        // The end of the file, or bytes no demuxer makes sense of, end the packets; a read
        // that fails (a removed medium, an I/O error) cuts them off.
        readFailed = read != AVERROR_EOF && read != AVERROR_INVALIDDATA;
        avcodec_send_packet(codec.get(), nullptr);
        draining = true;
        return;
      }
      // An empty packet would tell the decoder that the stream has ended.
      if (packet->stream_index != stream->index || packet->size <= 0) {
        av_packet_unref(packet.get());
        continue;
      }
      if (!sawPacket) {
        sawPacket = true;
        firstPacketPosition = packet->pos;
        skipAtStart = SkipOf(*packet).start;
      }
      lastPacketSize = packet->size;
      if (packet->pts != AV_NOPTS_VALUE && packet->duration > 0 &&
          packet->pts <= std::numeric_limits<int64_t>::max() - packet->duration) {
        packetsEnd = std::max(packetsEnd == AV_NOPTS_VALUE ? packet->pts : packetsEnd,
                              packet->pts + packet->duration);
        longestPacket = std::max(longestPacket, packet->duration);
      }
      std::memcpy(lastPacketStart.data(), packet->data,
                  std::min<size_t>(lastPacketStart.size(), static_cast<size_t>(packet->size)));
      // The decoder just asked for input, so it takes the packet, or refuses it as damaged
      // (or, against its word, as not wanted now): a refused packet is dropped either way,
      // and the next call reads the following one.
      avcodec_send_packet(codec.get(), packet.get());
      av_packet_unref(packet.get());
      ++packetsFed;
      return;
    }
  }

  bool SetUpResampler(const AVFrame& f, int inRate, const AVChannelLayout& out) {
    if (resampler && resamplerFormat == f.format && resamplerRate == inRate &&
        av_channel_layout_compare(&resamplerLayout.Get(), &f.ch_layout) == 0) {
      return true;
    }
    resampler.reset();
    SwrContext* raw = nullptr;
    // The layouts are only copied; this FFmpeg declares them without const.
    if (swr_alloc_set_opts2(&raw, const_cast<AVChannelLayout*>(&out), PackedFormat(type), rate,
                            const_cast<AVChannelLayout*>(&f.ch_layout),
                            static_cast<AVSampleFormat>(f.format), inRate, 0, nullptr) < 0) {
      return false;  // FFmpeg frees the context itself on failure
    }
    std::unique_ptr<SwrContext, ResamplerFreer> owned(raw);
    if (swr_init(raw) < 0 || !resamplerLayout.CopyFrom(f.ch_layout)) return false;
    resampler = std::move(owned);
    resamplerFormat = f.format;
    resamplerRate = inRate;
    return true;
  }

  uint8_t* ConversionBuffer(int frames) {
    const size_t bytes = static_cast<size_t>(frames) * static_cast<size_t>(channels) *
                         static_cast<size_t>(BytesPerSample(type));
    if (converted.size() < bytes) converted.resize(bytes);
    return converted.data();
  }

  // The frame held in frame, in the delivered format. A frame that is already packed in it
  // is handed out as it is; others go through the resampler, which converts the sample
  // layout only, unless the decoder changed its channel count or rate in mid-stream.
  PcmRun Convert() {
    const AVFrame& f = *frame;
    const int inChannels = f.ch_layout.nb_channels;
    const int inRate = FrameRate(f);
    if (f.nb_samples <= 0 || inChannels <= 0 || inRate <= 0 || f.extended_data == nullptr) {
      return {};
    }
    if (f.format == PackedFormat(type) && inChannels == channels && inRate == rate) {
      return {f.data[0], static_cast<size_t>(f.nb_samples)};
    }
    const AVChannelLayout& out = inChannels == channels ? f.ch_layout : layout.Get();
    if (!SetUpResampler(f, inRate, out)) return {};
    const int capacity = swr_get_out_samples(resampler.get(), f.nb_samples);
    if (capacity <= 0) return {};
    uint8_t* target = ConversionBuffer(capacity);
    const int got = swr_convert(resampler.get(), &target, capacity,
                                const_cast<const uint8_t**>(f.extended_data), f.nb_samples);
    if (got <= 0) return {};
    return {converted.data(), static_cast<size_t>(got)};
  }

  // What a resampler still holds at the end of the data (only when it changed the rate).
  PcmRun FlushResampler() {
    if (!resampler || resamplerFlushed) return {};
    resamplerFlushed = true;
    const int capacity = swr_get_out_samples(resampler.get(), 0);
    if (capacity <= 0) return {};
    uint8_t* target = ConversionBuffer(capacity);
    const int got = swr_convert(resampler.get(), &target, capacity, nullptr, 0);
    if (got <= 0) return {};
    return {converted.data(), static_cast<size_t>(got)};
  }
};

AudioStreamDecoder::AudioStreamDecoder() = default;
AudioStreamDecoder::~AudioStreamDecoder() = default;

bool AudioStreamDecoder::Open(const std::string& path, std::optional<SampleType> deliver,
                              int firstSoundWithin) {
  Close();
  path_ = path;
  if (!file_.Open(path) || file_.AudioStream().index < 0) {
    Close();
    return false;
  }
  auto s = std::make_unique<State>();
  s->format = file_.context_.get();
  s->stream = s->format->streams[file_.AudioStream().index];
  const AVCodecParameters* par = s->stream->codecpar;
  const AVCodec* decoder = avcodec_find_decoder(par->codec_id);
  if (decoder != nullptr) s->codec.reset(avcodec_alloc_context3(decoder));
  s->packet.reset(av_packet_alloc());
  s->frame.reset(av_frame_alloc());
  if (!s->codec || !s->packet || !s->frame ||
      avcodec_parameters_to_context(s->codec.get(), par) < 0) {
    Close();
    return false;
  }
  s->codec->pkt_timebase = s->stream->time_base;
  // Decoders that can (AC-3, E-AC-3, DTS, TrueHD) mix their surround channels to stereo;
  // others ignore the option and are delivered with all their channels.
  OwnedDictionary options;
  if (par->ch_layout.nb_channels > 2) options.Set("downmix", "stereo");
  if (avcodec_open2(s->codec.get(), decoder, options.Address()) < 0) {
    Close();
    return false;
  }

  // The first frame fixes what is delivered: some decoders know their real output (a
  // downmix, a different rate) only once they have decoded something.
  s->packetLimit = firstSoundWithin;
  while (s->Decode()) {
    const AVFrame& f = *s->frame;
    const std::optional<SampleType> type = PackedTypeFor(f.format);
    const int rate = s->FrameRate(f);
    if (f.nb_samples > 0 && type && f.ch_layout.nb_channels > 0 && rate > 0 &&
        s->layout.CopyFrom(f.ch_layout)) {
      s->type = deliver.value_or(*type);
      s->channels = f.ch_layout.nb_channels;
      s->rate = rate;
      s->firstFramePending = true;
      break;
    }
  }
  if (!s->firstFramePending) {
    s.reset();
    Close();
    return false;
  }
  s->packetLimit = 0;  // the rest of the stream is read to its end
  state_ = std::move(s);
  return true;
}

void AudioStreamDecoder::Close() {
  state_.reset();  // before the container its streams belong to
  file_.Close();
}

bool AudioStreamDecoder::IsOpen() const {
  return state_ != nullptr;
}

SampleType AudioStreamDecoder::Type() const {
  return state_ ? state_->type : SampleType::kS16;
}

int AudioStreamDecoder::BitsPerRawSample() const {
  return state_ && state_->codec ? state_->codec->bits_per_raw_sample : 0;
}

int AudioStreamDecoder::Channels() const {
  return state_ ? state_->channels : 0;
}

int AudioStreamDecoder::SampleRate() const {
  return state_ ? state_->rate : 0;
}

PcmRun AudioStreamDecoder::Next() {
  if (!state_) return {};
  State& s = *state_;
  const auto counted = [&s](const PcmRun& run) {
    if (run.frames == 0) s.deliveredAll = true;
    return run;
  };
  if (s.firstFramePending) {
    s.firstFramePending = false;
    const PcmRun run = s.Convert();
    if (run.frames > 0) return counted(run);
  }
  while (s.Decode()) {
    const PcmRun run = s.Convert();
    if (run.frames > 0) return counted(run);
  }
  return counted(s.FlushResampler());
}

bool AudioStreamDecoder::BrokeOff() const {
  if (!state_ || !state_->deliveredAll) return false;
  const State& s = *state_;
  if (s.readFailed) return true;
  const std::string& format = file_.FormatName();
  if (format == "ogg") return ogg::FileEndsInCutPage(path_);
  if (format == "mp3" && s.lastPacketSize >= 4) {
    const auto header = ParseMpegAudioHeader(s.lastPacketStart.data());
    if (header && static_cast<size_t>(s.lastPacketSize) < header->FrameBytes()) return true;
  }
  if (format == "wav" || format == "aiff") {
    // FFmpeg shortens a stated size to the file; the header itself tells.
    const std::optional<StatedData> data = ReadStatedData(path_);
    const int64_t size = file_.FileSize();
    const auto unit = static_cast<uint64_t>(std::max(s.codec->block_align, 1));
    if (data && size > 0 && data->offset + data->bytes > static_cast<uint64_t>(size) + unit) {
      return true;
    }
  }
  if (!StatesExactLength(format) || file_.DurationFromBitRate()) return false;
  const AVStream& st = *s.stream;
  if (st.duration == AV_NOPTS_VALUE || st.duration <= 0 || s.packetsEnd == AV_NOPTS_VALUE) {
    return false;
  }
  // Both in the stream's own clock, from where its first packet starts; the last packet may
  // end up to a packet short of the stated end (padding the container counts).
  const int64_t start = st.start_time != AV_NOPTS_VALUE ? st.start_time : 0;
  const int64_t reached = s.packetsEnd - std::min(start, s.packetsEnd);
  return reached + s.longestPacket < st.duration;
}

int64_t AudioStreamDecoder::FirstPacketPosition() const {
  return state_ ? state_->firstPacketPosition : -1;
}

std::optional<int64_t> AudioStreamDecoder::ExpectedFrames() const {
  if (!state_ || file_.DurationFromBitRate()) return std::nullopt;
  const State& s = *state_;
  const AVStream* st = s.stream;
  if (CoarseClock(*st)) return std::nullopt;
  const AVRational delivered{1, s.rate};
  int64_t frames;
  if (st->duration != AV_NOPTS_VALUE && st->duration > 0) {
    frames = av_rescale_q(st->duration, st->time_base, delivered);
  } else if (s.format->duration != AV_NOPTS_VALUE && s.format->duration > 0) {
    frames = av_rescale_q(s.format->duration, AV_TIME_BASE_Q, delivered);
  } else {
    return std::nullopt;
  }
  // A container whose clock starts after the samples the decoder drops (the MP3 encoder
  // delay named in a LAME header) counts them in its duration too.
  const int codecRate = st->codecpar->sample_rate > 0 ? st->codecpar->sample_rate : s.rate;
  if (s.skipAtStart > 0 && st->start_time != AV_NOPTS_VALUE && st->start_time > 0) {
    const int64_t start = av_rescale_q(st->start_time, st->time_base, AVRational{1, codecRate});
    if (std::llabs(start - s.skipAtStart) <= 1) {
      frames -= av_rescale(s.skipAtStart, s.rate, codecRate);
    }
  }
  return frames > 0 ? frames : 0;
}

std::optional<int64_t> ScanAudioFrames(const std::string& path, int rate) {
  MediaFile file;
  if (rate <= 0 || !file.Open(path) || file.audio_.index < 0) return std::nullopt;
  AVFormatContext* format = file.context_.get();
  const AVStream* stream = format->streams[file.audio_.index];
  if (CoarseClock(*stream)) return std::nullopt;
  std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
  if (!packet) return std::nullopt;
  int64_t total = 0;
  int64_t skipped = 0;
  bool first = true;
  bool usable = true;
  while (usable && av_read_frame(format, packet.get()) >= 0) {
    if (packet->stream_index == stream->index && packet->size > 0) {
      const Skip skip = SkipOf(*packet);
      if (packet->duration <= 0 || packet->duration > std::numeric_limits<int64_t>::max() - total) {
        usable = false;
      } else {
        total += packet->duration;
        skipped += (first ? skip.start : 0) + skip.end;
      }
      first = false;
    }
    av_packet_unref(packet.get());
  }
  if (!usable || total == 0) return std::nullopt;
  const int codecRate = stream->codecpar->sample_rate > 0 ? stream->codecpar->sample_rate : rate;
  const int64_t frames = av_rescale_q(total, stream->time_base, AVRational{1, rate}) -
                         av_rescale(skipped, rate, codecRate);
  return frames > 0 ? frames : 0;
}

std::optional<int64_t> CountDecodedFrames(const std::string& path) {
  AudioStreamDecoder decoder;
  if (!decoder.Open(path)) return std::nullopt;
  int64_t frames = 0;
  for (PcmRun run; (run = decoder.Next()).frames > 0;) frames += static_cast<int64_t>(run.frames);
  return frames;
}

}  // namespace platform::ffmpeg
